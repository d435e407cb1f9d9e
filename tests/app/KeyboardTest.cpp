// The program from the keyboard: in every window each accelerator leads to
// one control only (an MDI child's also not to a menu of the frame), each
// dialog and wizard page has the default button that Enter presses, F1
// on a modal page brings help where it can be read and used, a list whose
// double click acts takes its framed row on Return, Alt and a key that no
// control answers types nothing, the Window menu's digits bring a window
// forward, Esc out of a menu gives the keys back to the window, and a box
// the keys come back to keeps its caret.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTreeWidget>
#include <QtTest>
#include <functional>
#include <map>
#include <memory>

#include "AppTestSupport.h"
#include "CurrentDatabase.h"
#include "shell/MDIMain.h"
#include "ScenarioSchema.h"
#include "ScenarioTables.h"
#include "dao/Dao.h"
#include "forms/frmAbout.h"
#include "forms/frmDuplicate.h"
#include "forms/frmErrorHandler.h"
#include "forms/frmGenerateCode.h"
#include "forms/frmHelp.h"
#include "forms/frmOpenDatabase.h"
#include "forms/frmOptions.h"
#include "forms/frmQuarn_Calculator.h"
#include "forms/frmStatMain.h"
#include "services/AltKeyFilter.h"
#include "services/FocusBack.h"
#include "services/HelpKey.h"
#include "services/QtUi.h"
#include "wizard/CZantelsPropWiz.h"
#include "wizard/frmIgnore.h"
#include "wizard/frmQuarn_Create.h"
#include "wizard/frmQuarn_Fields.h"
#include "wizard/frmQuarn_Finish.h"
#include "wizard/frmQuarn_Options.h"
#include "wizard/frmQuarn_SelectTable.h"

namespace {

// Shows the window and makes it the active one, as a click on it would;
// false when it did not become active within the test's wait.
bool ShowActive(QWidget& w) {
    w.show();
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

// Accelerator key -> the controls that answer it, among the controls of
// `window` that show with it (an overlaid frame that is hidden offers none).
std::map<QString, QStringList> Accelerators(QWidget* window) {
    std::map<QString, QStringList> keys;
    auto add = [&](QWidget* w, const QString& text) {
        if (w != window && !w->isVisibleTo(window)) return;
        const QKeySequence key = QKeySequence::mnemonic(text);
        if (!key.isEmpty()) keys[key.toString()] << (w->objectName().isEmpty() ? text : w->objectName());
    };
    for (auto* b : window->findChildren<QAbstractButton*>()) add(b, b->text());
    for (auto* l : window->findChildren<QLabel*>())
        if (l->buddy()) add(l, l->text());
    for (auto* g : window->findChildren<QGroupBox*>()) add(g, g->title());
    for (auto* t : window->findChildren<QTabBar*>())
        for (int i = 0; i < t->count(); ++i) add(t, t->tabText(i));
    return keys;
}

// The clashes of a window as "Alt+N: lblTable, cmdNav_2"; `more` are keys
// taken already (the frame's menus for a child window).
QStringList Clashes(QWidget* window, const std::map<QString, QStringList>& more = {}) {
    std::map<QString, QStringList> keys = Accelerators(window);
    for (const auto& [key, owners] : more) keys[key] << owners;
    QStringList clashes;
    for (const auto& [key, owners] : keys)
        if (owners.size() > 1) clashes << key + ": " + owners.join(", ");
    return clashes;
}

QString DefaultButton(QWidget* window) {
    for (auto* b : window->findChildren<QPushButton*>())
        if (b->isDefault() && b->isVisibleTo(window)) return b->objectName();
    return "<none>";
}

}  // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    ui::RecordingUi rec_;
    std::unique_ptr<ui::ScopedUi> installed_;
    dao::DatabasePtr db_;
    AltKeyFilter altKeys_;

private slots:
    void initTestCase() {
        installed_ = std::make_unique<ui::ScopedUi>(rec_);
        SetErrStack(std::make_shared<CErr_Zelk>());
        ErrStack().DisplayError(false);
        dao::WorkspacePtr ws = dao::DBEngine().Workspaces(0);
        db_ = ws->CreateDatabase(env_.Path().toStdString() + "/keys.db");
        store::SetCurrentDatabase(ws, db_);
        qApp->installEventFilter(&altKeys_);
        QVERIFY(store::CreateScenarioTables());
        dao::TableDefPtr study = db_->CreateTableDef("Study");
        for (const char* field : {"Age", "Weight", "Dose"})
            study->Fields()->Append(study->CreateField(field, dao::dbDouble));
        study->Fields()->Append(study->CreateField("Clinic", dao::dbText));
        db_->TableDefs()->Append(study);
    }
    void cleanup() { apptest::CheckModalAnswersUsed(); }
    void cleanupTestCase() {
        qApp->removeEventFilter(&altKeys_);
        store::ClearCurrentDatabase();
        db_->Close();
        SetErrStack(nullptr);
    }

    void everyWindowHasUniqueAcceleratorsAndADefaultButton() {
        struct Window {
            const char* name;
            std::function<QWidget*()> make;
            const char* defaultButton;
        };
        const std::vector<Window> windows = {
            {"frmAbout", [] { return new frmAbout; }, "cmdOK"},
            {"frmOptions", [] { return new frmOptions; }, "cmdOK"},
            {"frmDuplicate", [] { return new frmDuplicate; }, "cmdAction_0"},
            {"frmErrorHandler", [] { return new frmErrorHandler; }, "cmdAction_0"},
            {"frmOpenDatabase", [] { return new frmOpenDatabase; }, "cmdOK"},
            {"frmQuarn_Calculator", [] { return new frmQuarn_Calculator; }, "cmdCalculate"},
            {"frmGenerateCode", [] { return new frmGenerateCode; }, "cmdClose"},
            {"frmIgnore", [] { return new frmIgnore; }, "cmdOK"},
            {"frmQuarn_Create", [] { return new frmQuarn_Create; }, "cmdNav_2"},
            {"frmQuarn_SelectTable", [] { return new frmQuarn_SelectTable; }, "cmdNav_2"},
            {"frmQuarn_Finish", [] { return new frmQuarn_Finish; }, "cmdNav_3"},
        };
        // Every fault of every window, so that one run names them all.
        QStringList faults;
        auto check = [&faults](QWidget* window, const QString& defaultButton,
                               const std::map<QString, QStringList>& more = {}) {
            for (const QString& clash : Clashes(window, more)) faults << window->objectName() + " " + clash;
            if (DefaultButton(window) != defaultButton)
                faults << window->objectName() + " default button " + DefaultButton(window);
        };
        for (const Window& w : windows) {
            std::unique_ptr<QWidget> window(w.make());
            window->setObjectName(w.name);
            check(window.get(), w.defaultButton);
        }

        // The field page's frame and the option page of every analysis.
        for (const store::AnalysisDef& a : store::Analyses()) {
            const std::string analysis(a.subType);
            CZantelsPropWiz wiz;
            wiz.SetNewScenario(std::string(a.family), analysis);
            wiz.Table("Study");
            frmQuarn_Fields fields;
            fields.Wiz(&wiz);
            fields.setObjectName(QString("frmQuarn_Fields (%1)").arg(analysis.c_str()));
            check(&fields, "cmdNav_2");
            std::unique_ptr<QWidget> options(wizard::CreateOptionPage(wiz.GetOptionsPage(), nullptr));
            static_cast<CWizardPage*>(options.get())->Wiz(&wiz);
            check(options.get(), "cmdNav_2");
        }

        // The scenario list beside the frame's menus, which stay reachable.
        MDIMain frame;
        std::map<QString, QStringList> menus;
        for (QAction* menu : frame.menuBar()->actions())
            menus[QKeySequence::mnemonic(menu->text()).toString()] << menu->text();
        frmStatMain list;
        check(&list, "<none>", menus);
        for (const QString& fault : faults) qWarning("%s", qPrintable(fault));
        QVERIFY2(faults.isEmpty(), "the warnings above name each fault");
    }

    // Tabbed into, a list frames its first row without choosing it: the
    // arrows move from the framed row, Return takes it as a double click
    // would, in a list of one row too.
    void listsTakeTheFramedRowOnReturn() {
        auto choose = [](std::initializer_list<Qt::Key> keys) {
            CZantelsPropWiz wiz;
            frmQuarn_SelectTable page;
            page.Wiz(&wiz);
            page.show();
            page.activateWindow();
            if (!QTest::qWaitForWindowActive(&page)) return QString("<not active>");
            auto* tabs = page.findChild<QTabBar*>("tabSource");
            tabs->setFocus(Qt::TabFocusReason);
            QTest::keyClick(tabs, Qt::Key_Tab);
            for (Qt::Key key : keys) QTest::keyClick(QApplication::focusWidget(), key);
            return page.NavResult() == 2 && page.isHidden() ? QString::fromStdString(wiz.Table()) : "<stayed>";
        };
        QCOMPARE(choose({Qt::Key_Return}), QString("Study"));
        dao::TableDefPtr visits = db_->CreateTableDef("Visits");
        visits->Fields()->Append(visits->CreateField("Day", dao::dbDate));
        db_->TableDefs()->Append(visits);
        QCOMPARE(choose({Qt::Key_Down, Qt::Key_Return}), QString("Visits"));
        QCOMPARE(choose({Qt::Key_Down, Qt::Key_Up, Qt::Key_Return}), QString("Study"));
        db_->TableDefs()->Delete("Visits");

        // The field page's available list: Return assigns the framed field.
        CZantelsPropWiz wiz;
        wiz.SetNewScenario("P", "Describe");
        wiz.Table("Study");
        frmQuarn_Fields fields;
        fields.Wiz(&wiz);
        QVERIFY(ShowActive(fields));
        auto* available = fields.findChild<QTreeWidget*>("lvwAvailableFields");
        available->setFocus(Qt::TabFocusReason);
        available->clearSelection();  // framed, not chosen
        QTreeWidgetItem* framed = available->currentItem();
        QVERIFY(framed);
        const std::string name = framed->text(0).toStdString();
        QTest::keyClick(available, Qt::Key_Return);
        QCOMPARE(QString::fromStdString(wiz.ScenarioFields()->Item(vb::Variant(name))->Choice()), QString("X"));
        QVERIFY(fields.isVisible());
    }

    // Alt and a letter, digit or punctuation mark that no control answers
    // types nothing and beeps; the page's own access keys still work.
    void altWithAnUnansweredKeyTypesNothing() {
        CZantelsPropWiz wiz;
        wiz.SetNewScenario("P", "Describe");
        wiz.Table("Study");
        frmQuarn_Finish page;
        page.Wiz(&wiz);
        QVERIFY(ShowActive(page));
        auto* description = page.findChild<QLineEdit*>("txtDescription");
        description->setFocus();
        description->clear();
        rec_.Reset();
        QTest::keyClicks(description, "ab");
        const std::vector<Qt::Key> unanswered = {Qt::Key_C,     Qt::Key_F,           Qt::Key_7,     Qt::Key_Period,
                                                 Qt::Key_Minus, Qt::Key_Slash,       Qt::Key_Comma, Qt::Key_Semicolon,
                                                 Qt::Key_Equal, Qt::Key_BracketLeft, Qt::Key_Space};
        for (Qt::Key key : unanswered) QTest::keyClick(description, key, Qt::AltModifier);
        QCOMPARE(description->text(), QString("ab"));
        QCOMPARE(rec_.beeps, int(unanswered.size()));
        QTest::keyClick(description, Qt::Key_B, Qt::AltModifier);  // "< &Back"
        QTRY_COMPARE_WITH_TIMEOUT(page.NavResult(), long(wizard::kBack), 5000);
        QVERIFY(page.isHidden());
        QCOMPARE(rec_.beeps, int(unanswered.size()));
    }

    // The keys taken by another window and given back (Alt+Space opens the
    // window manager's menu, Esc closes it): the focused box keeps its
    // selection and caret, so the next key types where it did. Entering the
    // box with Tab still selects its whole text.
    void focusBackFromAnotherWindowKeepsTheCaret() {
        CZantelsPropWiz wiz;
        wiz.SetNewScenario("P", "Describe");
        wiz.Table("Study");
        wiz.SetProperty("FreqGroupRadio", vb::Variant(std::string("Specified")));
        frmQuarn_Fields fields;
        fields.Wiz(&wiz);
        std::unique_ptr<QWidget> options(wizard::CreateOptionPage(wiz.GetOptionsPage(), nullptr));
        static_cast<CWizardPage*>(options.get())->Wiz(&wiz);
        QWidget menu;  // the window manager's menu
        struct Case {
            QWidget* page;
            const char* box;
            int from, length;  // what the user left selected, or the caret at `from`
            QString typed;
        };
        for (const Case& c : {Case{&fields, "txtScenario_Description", 0, 5, "Mean pressure"},
                              Case{options.get(), "txtFreqInit", 2, 0, "121.5"}}) {
            c.page->show();
            c.page->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(c.page));
            auto* box = c.page->findChild<QLineEdit*>(c.box);
            QVERIFY2(box && box->isEnabled(), c.box);
            box->setText(c.from == 0 ? "Blood pressure" : "12.5");
            box->setFocus(Qt::TabFocusReason);
            QTRY_COMPARE_WITH_TIMEOUT(box->selectedText(), box->text(), 5000);
            QCoreApplication::processEvents();  // the entry's own selecting done
            if (c.length > 0)
                box->setSelection(c.from, c.length);
            else
                box->setCursorPosition(c.from);
            const QString selected = box->selectedText();
            QVERIFY(ShowActive(menu));
            menu.hide();
            c.page->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(c.page));
            QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), box, 5000);
            QCoreApplication::processEvents();  // what the focus-in deferred
            QCOMPARE(box->selectedText(), selected);
            QCOMPARE(box->cursorPosition(), c.from + c.length);
            QTest::keyClicks(box, c.length > 0 ? "Mean" : "1");
            QCOMPARE(box->text(), c.typed);
            c.page->hide();
        }
    }

    // The source page opens on its list, so typing a name's first letter
    // finds it; Tab on the field page goes through the roles in the order
    // they are drawn, the dependent field (Y) before the independent ones.
    void pagesTakeKeysWhereTheyAreDrawn() {
        CZantelsPropWiz wiz;
        wiz.SetNewScenario("P", "Regression");
        frmQuarn_SelectTable source;
        source.Wiz(&wiz);
        QVERIFY(ShowActive(source));
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), source.findChild<QTreeWidget*>("lvwTableQuery"), 5000);
        QTest::keyClicks(QApplication::focusWidget(), "S");
        QCOMPARE(source.findChild<QLineEdit*>("txtTable")->text(), QString("Study"));
        source.hide();

        wiz.Table("Study");
        frmQuarn_Fields fields;
        fields.Wiz(&wiz);
        QVERIFY(ShowActive(fields));
        fields.findChild<QPushButton*>("cmdIgnore")->setFocus();
        QStringList reached;
        for (int i = 0; i < 40 && QApplication::focusWidget() != fields.findChild<QWidget*>("cmdNav_0"); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached << QApplication::focusWidget()->objectName();
        }
        const qsizetype y = reached.indexOf("lisDependentField_3"), x = reached.indexOf("lisIndependentFields_3");
        QVERIFY2(y >= 0 && x > y, qPrintable(reached.join(", ")));
        fields.hide();
    }

    // Every way out of a window or a box gives the keys back to the window
    // the user came from: the wizard left by Cancel and Yes to "You have
    // made changes... exit?", with real boxes.
    void leavingTheWizardGivesTheKeysBack() {
        QtUi qt;
        ui::ScopedUi installed(qt);
        FocusBackFilter back;
        qApp->installEventFilter(&back);
        QWidget frame;
        auto* edit = new QLineEdit(&frame);
        QVERIFY(ShowActive(frame));
        edit->setFocus();
        CZantelsPropWiz wiz;
        wiz.SetNewScenario("P", "Describe");
        wiz.Table("Study");
        wiz.Changed(true);
        bool asked = false;
        apptest::WhenModalNamed("frmQuarn_Finish", [&](QWidget* page) {
            apptest::WhenModalNamed("MsgBox", [&](QWidget* box) {
                asked = true;
                QTest::keyClick(box, Qt::Key_Return);  // Yes, the default
            });
            auto* cancel = page->findChild<QPushButton*>("cmdNav_2");
            cancel->setFocus();
            QTest::keyClick(cancel, Qt::Key_Space);
        });
        const long result = wiz.ShowStatWizard(wizard::kFinishPage, &frame);
        qApp->removeEventFilter(&back);
        QCOMPARE(result, long(wizard::kClosedOnFinish));
        QVERIFY(asked);
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), &frame, 5000);
        QCOMPARE(QApplication::focusWidget(), edit);
    }

    void windowMenuKeysBringTheFirstNineForward() {
        MDIMain frame;
        frame.show();
        QList<QMdiSubWindow*> windows;
        for (int i = 1; i <= 11; ++i) {
            windows << frame.AddChild(new QWidget);
            windows.back()->setWindowTitle(QString("Window %1 & co").arg(i));
        }
        frame.MdiArea()->setActiveSubWindow(windows.back());
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        auto* menu = frame.findChild<QMenu*>("mnuWindow");
        // Alt+W, then one digit: its window comes forward and the menu closes.
        for (int i : {1, 9}) {
            QTest::keyClick(&frame, Qt::Key_W, Qt::AltModifier);
            QTRY_VERIFY_WITH_TIMEOUT(menu->isVisible(), 5000);
            QTest::keyClick(menu, Qt::Key(Qt::Key_0 + i));
            QTRY_VERIFY_WITH_TIMEOUT(!menu->isVisible(), 5000);
            QCOMPARE(frame.MdiArea()->activeSubWindow(), windows[i - 1]);
        }
        // The tenth and later windows take no key; a title's "&" is shown, not a key.
        QStringList listed;
        for (QAction* a : menu->actions())
            if (a->property("windowList").toBool() && !a->isSeparator()) listed << a->text();
        QCOMPARE(listed.size(), 11);
        QCOMPARE(listed[0], QString("&1 Window 1 && co"));
        QCOMPARE(listed[8], QString("&9 Window 9 && co"));
        QCOMPARE(listed[9], QString("10 Window 10 && co"));
        QCOMPARE(listed[10], QString("11 Window 11 && co"));

        // Esc out of the menu gives the keys back to the window that had them:
        // its access keys work and Down does not open the menu again.
        auto* content = new QWidget;
        auto* edit = new QLineEdit(content);
        auto* go = new QPushButton("&Go", content);
        go->move(0, 30);
        int pressed = 0;
        connect(go, &QPushButton::clicked, [&pressed] { ++pressed; });
        frame.MdiArea()->setActiveSubWindow(frame.AddChild(content));
        edit->setFocus();
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), edit, 5000);
        QTest::keyClick(edit, Qt::Key_W, Qt::AltModifier);
        QTRY_VERIFY_WITH_TIMEOUT(menu->isVisible(), 5000);
        QTest::keyClick(menu, Qt::Key_Escape);
        QVERIFY(!menu->isVisible());
        QCOMPARE(frame.focusWidget(), edit);
        frame.activateWindow();  // offscreen, the closed menu keeps the activation
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), edit, 5000);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QApplication::processEvents();
        QVERIFY(!menu->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_G, Qt::AltModifier);
        QTRY_COMPARE_WITH_TIMEOUT(pressed, 1, 5000);  // an access key clicks after a moment
    }

    void ctrlF4ClosesTheActiveChildWindow() {
        MDIMain frame;
        frame.show();
        QMdiSubWindow* first = frame.AddChild(new QWidget);
        QPointer<QMdiSubWindow> second = frame.AddChild(new QWidget);
        frame.MdiArea()->setActiveSubWindow(second);
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QTest::keyClick(&frame, Qt::Key_F4, Qt::ControlModifier);
        QTRY_VERIFY(!second);
        QCOMPARE(frame.MdiArea()->subWindowList(), QList<QMdiSubWindow*>({first}));
    }

    void helpFromAModalPageIsAboveItAndEscapeClosesIt() {
        QtUi qt;
        ui::ScopedUi installed(qt);
        HelpKeyFilter keys;
        qApp->installEventFilter(&keys);
        CZantelsPropWiz wiz;
        frmQuarn_Create page;
        page.Wiz(&wiz);
        QRect area;
        QPointer<frmHelp> help;
        bool above = false, inside = false, closed = false;
        int topic = 0;
        apptest::WhenModal([&](QWidget* modal) {
            // The page in the screen's lower right corner: help centred on it would run off.
            area = modal->screen()->availableGeometry();
            modal->move(area.bottomRight() - QPoint(modal->width(), modal->height()));
            QTest::keyClick(modal, Qt::Key_F1);
            help = frmHelp::Instance();
            topic = help->CurrentTopic();
            above = help->isVisible() && help->windowHandle()->transientParent() == modal->windowHandle();
            inside = area.contains(help->frameGeometry());
            QTest::keyClick(help, Qt::Key_Escape);
            closed = QTest::qWaitFor([&] { return !help || help->isHidden(); }, 5000);
            modal->hide();
        });
        page.ShowModal();
        qApp->removeEventFilter(&keys);
        QVERIFY(above);
        QVERIFY(inside);
        QCOMPARE(topic, page.property("HelpContextID").toInt());
        QVERIFY(closed);
    }
};

QTEST_MAIN(KeyboardTest)
#include "KeyboardTest.moc"
