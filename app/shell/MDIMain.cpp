#include "shell/MDIMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QResizeEvent>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <utility>
#include <vector>

#include "shell/AssignDatabase.h"
#include "CurrentDatabase.h"
#include "dao/Dao.h"
#include "shell/CCommandArgs.h"
#include "shell/CMRU.h"
#include "services/CShellExecute.h"
#include "services/CWinHelp.h"
#include "shell/CWinPos.h"
#include "ErrorStack.h"
#include "shell/Program.h"
#include "shell/WindowLayout.h"
#include "ProgramSettings.h"
#include "StatCommon.h"
#include "forms/frmAbout.h"
#include "forms/frmErrorHandler.h"
#include "forms/frmHelp.h"
#include "forms/frmOpenDatabase.h"
#include "forms/frmOptions.h"
#include "forms/frmQuarn_Calculator.h"
#include "forms/frmDataGrid.h"
#include "forms/frmStatMain.h"
#include "shell/modMerivox.h"
#include "services/ErrorBoundary.h"
#include "services/Glyphs.h"
#include "services/HelpKey.h"
#include "services/HelpTopics.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace {

// Division as the old runtime did it: by zero is error 11, not infinity.
double Divide(double numerator, double denominator) {
    if (denominator == 0) vb::Raise(vb::err::kDivisionByZero);
    return numerator / denominator;
}

}  // namespace

MDIMain::MDIMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName("MDIMain");
    setWindowTitle("Set in Code");
    setAttribute(Qt::WA_DeleteOnClose);
    setProperty("HelpContextID", help::kFrame);
    setWindowIcon(glyphs::Program());

    mdiArea_ = new QMdiArea;
    mdiArea_->setObjectName("mdiArea");
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdiArea_);
    mdiArea_->viewport()->installEventFilter(this);

    auto* staMain = new QStatusBar;
    staMain->setObjectName("staMain");
    staMainText_ = new QLabel;
    staMainText_->setObjectName("staMainPath");
    staMain->addWidget(staMainText_, 1);
    setStatusBar(staMain);

    BuildMenus();
    BuildToolbar();

    // Ctrl+F4 closes the active child window, as Ctrl+W does, where the
    // desktop's keys for Close (a child window's own) lack it.
    const QKeySequence ctrlF4(Qt::CTRL | Qt::Key_F4);
    if (!QKeySequence::keyBindings(QKeySequence::Close).contains(ctrlF4)) {
        auto* closeChild = new QAction(this);
        closeChild->setObjectName("actCloseChild");
        closeChild->setShortcut(ctrlF4);
        connect(closeChild, &QAction::triggered, mdiArea_, &QMdiArea::closeActiveSubWindow);
        addAction(closeChild);
    }
}

MDIMain::~MDIMain() {
    ReleaseErrorStack();
    if (program::MainWindow() == this) program::SetMainWindow(nullptr);
}

QAction* MDIMain::AddItem(QMenu* menu, const QString& group, int index, const QString& caption) {
    QAction* action = caption == "-" ? menu->addSeparator() : menu->addAction(caption);
    QString name = group + "_" + QString::number(index);
    action->setObjectName(name);
    actions_[name] = action;
    return action;
}

QAction* MDIMain::MenuAction(const QString& name) const {
    auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

void MDIMain::BuildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* mnufile = BuildFileMenu(bar);
    QMenu* mnuTools = BuildToolsMenu(bar);
    BuildWindowMenu(bar);
    QMenu* mnuHelp = BuildHelpMenu(bar);

    for (QMenu* menu : {mnufile, mnuTools, mnuWindow_, mnuHelp}) menu->installEventFilter(this);

    BuildRightClickMenu();
}

QMenu* MDIMain::BuildFileMenu(QMenuBar* bar) {
    QMenu* mnufile = bar->addMenu("&File");
    mnufile->setObjectName("mnufile");
    for (auto [index, caption] : std::initializer_list<std::pair<int, const char*>>{
             {100, "&Open Database..."}, {200, "&Close Database"}, {900, "-"}, {1000, "E&xit"}})
        connect(AddItem(mnufile, "mnufileItems", index, caption), &QAction::triggered, this,
                [this, index] { mnufileItems_Click(index); });
    m_MRU = std::make_unique<CMRU>();
    connect(m_MRU.get(), &CMRU::Changed, this, &MDIMain::ShowRecentList);
    for (int index = 0; index <= 4; ++index) {
        QAction* item = AddItem(mnufile, "mnuFileMRU", index, index == 0 ? "-" : QString("MRU%1").arg(index));
        item->setVisible(false);
        if (index > 0) connect(item, &QAction::triggered, this, [this, index] { mnuFileMRU_Click(index); });
    }
    connect(mnufile, &QMenu::aboutToShow, this, &MDIMain::UpdateFileMenu);
    return mnufile;
}

QMenu* MDIMain::BuildToolsMenu(QMenuBar* bar) {
    QMenu* mnuTools = bar->addMenu("&Tools");
    mnuTools->setObjectName("mnuTools");
    for (auto [index, caption] : std::initializer_list<std::pair<int, const char*>>{
             {0, "&Probability Calculator"}, {10, "&Options"}, {20, "&Generate C++ Code"}})
        connect(AddItem(mnuTools, "mnuToolsItems", index, caption), &QAction::triggered, this,
                [this, index] { mnuToolsItems_Click(index); });
    connect(mnuTools, &QMenu::aboutToShow, this, &MDIMain::UpdateToolsMenu);
    return mnuTools;
}

void MDIMain::BuildWindowMenu(QMenuBar* bar) {
    mnuWindow_ = bar->addMenu("&Window");
    mnuWindow_->setObjectName("mnuWindow");
    for (auto [index, caption] : std::initializer_list<std::pair<int, const char*>>{
             {0, "T&ile Horizontally"}, {10, "&Tile Vertically"}, {20, "&Cascade"}, {30, "&Arrange Icons"}})
        connect(AddItem(mnuWindow_, "mnuWindowItems", index, caption), &QAction::triggered, this,
                [this, index] { mnuWindowItems_Click(index); });
    connect(mnuWindow_, &QMenu::aboutToShow, this, &MDIMain::FillWindowMenu);
}

QMenu* MDIMain::BuildHelpMenu(QMenuBar* bar) {
    QMenu* mnuHelp = bar->addMenu("&Help");
    mnuHelp->setObjectName("mnuHelp");
    auto helpItem = [this, mnuHelp](int index, const char* caption) {
        QAction* a = AddItem(mnuHelp, "mnuHelpItems", index, caption);
        if (!a->isSeparator()) connect(a, &QAction::triggered, this, [this, index] { mnuHelpItems_Click(index); });
        return a;
    };
    helpItem(10, "&Contents and Index");
    helpItem(20, "-");
    QMenu* mnuOnWeb = mnuHelp->addMenu("Zelk On the &Web");
    mnuOnWeb->setObjectName("mnuOnWeb");
    mnuOnWeb->menuAction()->setObjectName("mnuHelpItems_30");
    actions_["mnuHelpItems_30"] = mnuOnWeb->menuAction();
    for (auto [index, caption] : std::initializer_list<std::pair<int, const char*>>{
             {10, "&Quantara"}, {20, "&Technical Support"}, {30, "-"}, {40, "&Zelk Home Page"}}) {
        QAction* a = AddItem(mnuOnWeb, "mnuOnWebItems", index, caption);
        if (!a->isSeparator()) connect(a, &QAction::triggered, this, [this, index] { mnuOnWebItems_Click(index); });
    }
    helpItem(40, "-");
    helpItem(50, "Contact &Zelk");
    helpItem(60, "-");
    helpItem(100, "&About");
    helpItem(999, "Hit Error")->setVisible(false);
    return mnuHelp;
}

void MDIMain::BuildRightClickMenu() {
    // Not in the menu bar: the scenario list shows it as its pop-up.
    mnuRightClick_ = new QMenu("RightClickMenu", this);
    mnuRightClick_->setObjectName("mnuRightClick");
    for (auto [index, caption] : std::initializer_list<std::pair<int, const char*>>{{0, "&Run"},
                                                                                    {10, "-"},
                                                                                    {20, "&Edit Fields"},
                                                                                    {30, "Edit &Options"},
                                                                                    {40, "Edit Out&put"},
                                                                                    {50, "-"},
                                                                                    {60, "Dup&licate"},
                                                                                    {70, "&Delete"},
                                                                                    {80, "-"},
                                                                                    {90, "&View Data Table"},
                                                                                    {100, "View Output Table &1"},
                                                                                    {110, "View Output Table &2"},
                                                                                    {120, "-"},
                                                                                    {130, "&Generate C++ Code"},
                                                                                    {140, "-"},
                                                                                    {150, "&Help"}}) {
        QAction* a = AddItem(mnuRightClick_, "mnuRightClickItems", index, caption);
        if (!a->isSeparator())
            connect(a, &QAction::triggered, this, [this, index] { mnuRightClickItems_Click(index); });
    }
}

void MDIMain::BuildToolbar() {
    tlbMain_ = addToolBar("Toolbar");
    tlbMain_->setObjectName("tlbMain");
    tlbMain_->setMovable(false);
    tlbMain_->setIconSize(QSize(20, 20));
    struct Button {
        const char* key;
        const char* tip;
        QIcon icon;
    };
    for (const Button& b : {Button{"btnOpen", "Open Database", glyphs::OpenDatabase()},
                            Button{"btnClose", "Close Database", glyphs::CloseDatabase()},
                            Button{"btnCalc", "Probability Calculator", glyphs::Calculator()},
                            Button{"btnHelp", "Help", glyphs::Help()}}) {
        QAction* a = tlbMain_->addAction(b.icon, b.tip);
        a->setObjectName(b.key);
        a->setToolTip(b.tip);
        QString key = b.key;
        connect(a, &QAction::triggered, this, [this, key] { tlbMain_ButtonClick(key); });
    }
}

void MDIMain::Load() {
    Guarded("MDIForm_Load", [this] {
        program::SetMainWindow(this);
        setWindowTitle(program::kProgramTitle);

        m_WinPos = NewFormPositions();

        errorStack_ = &ErrStack();
        errorConnection_ = errorStack_->ConnectAfterHandlerCalled([this] { ShowErrorDialog(); });

        m_MRU->RegistryPath(std::string("SOFTWARE\\Zelk\\") + GetProductRegKey());
        m_MRU->SubFolder("Settings");
        m_MRU->GetMRUList();

        if (!m_WinPos->RestoreForm(this)) {
            resize(635, 455);
            m_WinPos->centerform(this);
        }
        show();
        if (SelectDatabaseDialog("")) ShowStatMain();
    });
}

QMdiSubWindow* MDIMain::AddChild(QWidget* child, const QSize& size) {
    auto* sub = new QMdiSubWindow;
    sub->setWidget(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // Never smaller than what the window needs to show all it holds.
    sub->setMinimumSize(sub->minimumSizeHint());
    // Sized before the area places it, so it is placed at that size.
    if (size.isValid()) sub->resize(size.expandedTo(sub->minimumSizeHint()));
    mdiArea_->addSubWindow(sub);
    connect(sub, &QMdiSubWindow::windowStateChanged, this, [this, sub](Qt::WindowStates before, Qt::WindowStates now) {
        if ((before & Qt::WindowMinimized) && !(now & (Qt::WindowMinimized | Qt::WindowMaximized)))
            RejoinArrangement(sub);
    });
    child->show();
    sub->show();
    return sub;
}

void MDIMain::SetDatabasePath(const QString& path) { staMainText_->setText(path); }
QString MDIMain::DatabasePath() const { return staMainText_->text(); }

void MDIMain::ShowRecentList() {
    const std::vector<CMRU::Entry>& entries = m_MRU->Entries();
    if (QAction* separator = MenuAction("mnuFileMRU_0")) separator->setVisible(!entries.empty());
    for (int index = 1; index <= 4; ++index) {
        QAction* item = MenuAction(QString("mnuFileMRU_%1").arg(index));
        if (!item) continue;
        const bool shown = size_t(index) <= entries.size();
        if (shown) item->setText(QString("&%1. %2").arg(index).arg(QString::fromStdString(entries[index - 1].path)));
        item->setVisible(shown);
    }
}

void MDIMain::UpdateFileMenu() {
    if (QAction* close = MenuAction("mnufileItems_200")) close->setEnabled(StatMain() != nullptr);
    QApplication::processEvents();
}

void MDIMain::UpdateToolsMenu() {
    if (QAction* generate = MenuAction("mnuToolsItems_20")) generate->setEnabled(StatMain() != nullptr);
    QApplication::processEvents();
}

bool MDIMain::OpenDatabase(const std::string& path, const std::string& workgroup, const std::string& user,
                           const std::string& password) {
    const bool opened = AssignCurrentDatabase(path, workgroup, user, password);
    // The database is current once it opened, with or without the scenario
    // tables; the status bar never names one that is no longer open.
    dao::DatabasePtr current = store::CurrentDatabase();
    SetDatabasePath(current ? QString::fromStdString(current->Name()) : QString());
    return opened;
}

bool MDIMain::SelectDatabaseDialog(const std::string& proposedPath) {
    ProcScope scope(ErrStack(), "SelectDatabaseDialog");
    CloseScenarioWindows();
    std::string proposed = proposedPath;
    for (;;) {
        std::string database, workgroup, user, password;
        bool cancelled;
        {
            frmOpenDatabase dialog(this, m_MRU->Entries());
            dialog.Database(proposed);
            dialog.GetInfo();
            database = dialog.Database();
            workgroup = dialog.Workgroup();
            user = dialog.UserID();
            password = dialog.Password();
            cancelled = dialog.UserCanceled();
        }
        if (cancelled) return false;
        if (database.empty()) {
            proposed.clear();
            continue;
        }
        if (OpenDatabase(database, workgroup, user, password)) {
            bool savePassword = program::Settings().ReadEntry("SavePassword", "True") == "True";
            m_MRU->SetMRUList(database,
                              CCommandArgs::MRUSwitches(workgroup, user, savePassword ? password : std::string()));
            return true;
        }
        proposed = database;
    }
}

frmStatMain* MDIMain::StatMain() const {
    // A list being unloaded no longer counts.
    return statMain_ && !statMain_->property("merivoxUnloaded").toBool() ? statMain_.data() : nullptr;
}

void MDIMain::ShowStatMain() {
    if (frmStatMain* list = StatMain()) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(list->parentWidget())) mdiArea_->setActiveSubWindow(sub);
        return;
    }
    auto* list = new frmStatMain;
    statMain_ = list;
    connect(list, &frmStatMain::GridRequested, this, &MDIMain::OpenDataGridWindow);
    connect(list, &frmStatMain::GridsClosing, this, &MDIMain::CloseDataGridWindows);
    connect(list, &frmStatMain::ContextMenuRequested, this, &MDIMain::ShowScenarioMenu);
    AddChild(list);
    list->Load();
}

void MDIMain::CloseStatMain() {
    if (frmStatMain* list = StatMain()) UnloadForm(list);
}

void MDIMain::CloseScenarioWindows() {
    CloseStatMain();
    QList<QMdiSubWindow*> children = mdiArea_->subWindowList(QMdiArea::CreationOrder);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        QWidget* content = (*it)->widget();
        if (content && content->objectName() == "frmDataGrid") UnloadForm(content);
    }
}

void MDIMain::ShowCalculator() {
    if (!calculator_ || calculator_->property("merivoxUnloaded").toBool()) calculator_ = new frmQuarn_Calculator(this);
    calculator_->show();
    calculator_->raise();
    calculator_->activateWindow();
}

void MDIMain::OpenDataGridWindow(const QString& purpose, const QString& tableName) {
    // The window deletes itself when it cannot open the table or is closed.
    auto* grid = new frmDataGrid;
    // Three quarters of the document area, whatever the other windows'
    // state, so the table shows rows and columns at once.
    if (grid->OpenTable(tableName.toStdString(), purpose.toStdString()))
        AddChild(grid, mdiArea_->viewport()->size() * 3 / 4);
}

void MDIMain::CloseDataGridWindows(const QString& tableName) {
    // Table names are one name whatever their letter case.
    const QString ending = ": " + tableName;
    for (QMdiSubWindow* sub : mdiArea_->subWindowList()) {
        QWidget* content = sub->widget();
        if (content && content->objectName() == "frmDataGrid" &&
            content->windowTitle().endsWith(ending, Qt::CaseInsensitive))
            UnloadForm(content);
    }
}

void MDIMain::mnufileItems_Click(int index) {
    Guarded("MDIMain:mnuFileItems_click:index: " + std::to_string(index), [this, index] {
        switch (index) {
            case 100:
                if (SelectDatabaseDialog("")) ShowStatMain();
                break;
            case 200:
                CloseStatMain();
                break;
            case 1000:
                ExitApplication(this);
                break;
            default:
                break;
        }
    });
}

void MDIMain::mnuFileMRU_Click(int index) {
    Guarded("MDIMain:mnuFileMRU_click:index: " + std::to_string(index), [this, index] {
        if (index < 1 || size_t(index) > m_MRU->Entries().size()) return;
        // A copy: opening rewrites the list.
        const CMRU::Entry entry = m_MRU->Entries()[size_t(index) - 1];
        const std::string& path = entry.path;
        const std::string& tag = entry.switches;

        CCommandArgs args;
        args.Delim("/");
        args.TestString(tag);
        args.Parse();
        bool hasWorkgroup = args.Item("WG") != "WG";
        bool hasPassword = args.Item("PWD") != "PWD";

        if (!hasWorkgroup && !hasPassword) {
            // The windows that read the old database close before it does.
            CloseScenarioWindows();
            if (OpenDatabase(path, "", "", "")) {
                m_MRU->SetMRUList(path, tag);
                ShowStatMain();
                return;
            }
        }
        if (SelectDatabaseDialog(path)) ShowStatMain();
    });
}

void MDIMain::mnuToolsItems_Click(int index) {
    Guarded("mnuToolsItems_Click: " + std::to_string(index), [this, index] {
        switch (index) {
            case 0:
                ShowCalculator();
                break;
            case 10: {
                frmOptions options(this);
                options.exec();
                break;
            }
            case 20:
                if (frmStatMain* list = StatMain()) list->GenerateCode();
                break;
            default:
                break;
        }
    });
}

bool MDIMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mdiArea_->viewport() && event->type() == QEvent::Resize) {
        // Handled once the area has settled (its scroll bars included).
        const auto* resize = static_cast<QResizeEvent*>(event);
        const QSize before = resize->oldSize();
        if (before.isValid() && shrunkFrom_.isNull() &&
            (resize->size().width() < before.width() || resize->size().height() < before.height())) {
            shrunkFrom_ = QRect(QPoint(0, 0), before);
            QTimer::singleShot(0, this, [this] {
                const QRect held = std::exchange(shrunkFrom_, QRect());
                GuardedQuiet([this, &held] { KeepWithinArea(held); });
            });
        }
        return QMainWindow::eventFilter(watched, event);
    }
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape || leavingMenu_)
        return QMainWindow::eventFilter(watched, event);
    // Esc closes a menu of the menu bar, and Qt then leaves the menu bar
    // holding the keys with nothing open; they go back to the window that
    // had them, so its access keys work and Down does not reopen the menu.
    leavingMenu_ = true;
    QApplication::sendEvent(watched, event);
    leavingMenu_ = false;
    if (focusWidget() == menuBar()) {
        QKeyEvent leave(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(menuBar(), &leave);
    }
    return true;
}

void MDIMain::mnuWindowItems_Click(int index) {
    GuardedQuiet([this, index] {
        if (index == 0 || index == 10 || index == 20 || index == 30) ArrangeChildren(index);
    });
}

namespace {

// The smallest size at which a child window shows all it holds.
QSize SmallestSize(QMdiSubWindow* window) { return window->minimumSizeHint().expandedTo(window->minimumSize()); }

// The height of a child window's title bar: how far an arrangement moves
// each next window down so that the one behind keeps its title in view.
int TitleBarHeight(QMdiSubWindow* window) {
    return std::max(8, window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window) + 4);
}

// Where arrangement `index` puts `windows`, given back first, and for a
// tiling how many of them it tiled.
std::vector<QRect> Plan(int index, const QRect& area, const QList<QMdiSubWindow*>& windows, int step,
                        int* tiled = nullptr) {
    std::vector<QSize> least;
    for (QMdiSubWindow* w : windows) least.push_back(SmallestSize(w));
    return index == 20 ? windowlayout::Cascade(area, least, area.size() * 3 / 4, step)
                       : windowlayout::Tile(area, least, index == 0, step, tiled);
}

}  // namespace

void MDIMain::ArrangeChildren(int index) {
    QList<QMdiSubWindow*> windows, icons;
    // Bottom to top, so that each keeps its place in the stack.
    for (QMdiSubWindow* w : mdiArea_->subWindowList(QMdiArea::StackingOrder))
        if (w->isVisible()) (w->isMinimized() ? icons : windows).push_back(w);
    QRect area = mdiArea_->viewport()->rect();
    // Minimised windows in rows along the bottom, which the others leave free.
    std::vector<QSize> iconSizes;
    for (QMdiSubWindow* w : icons) iconSizes.push_back(w->size());
    const windowlayout::IconRows rows = windowlayout::Icons(area, iconSizes);
    for (int i = 0; i < int(icons.size()); ++i) icons[i]->move(rows.places[i]);
    if (index == 30 || windows.isEmpty()) return;
    area.setBottom(std::max(area.top(), area.bottom() - rows.height));

    const int step = TitleBarHeight(windows.front());
    int tiled = 0;
    std::vector<QRect> places = Plan(index, area, windows, step, &tiled);
    const int covered = windowlayout::CoveredTitleBars(places, step);
    if (covered > 0 || (index != 20 && tiled < int(windows.size()))) {
        // The larger windows to the back, where the smaller ones in front
        // can leave their title bars clear, and where a tiling gives them
        // cells of their own rather than leave a large window to be
        // cascaded over few large tiles: kept when that covers fewer title
        // bars, or as few and tiles more windows.
        QList<QMdiSubWindow*> bySize = windows;
        std::stable_sort(bySize.begin(), bySize.end(), [](QMdiSubWindow* a, QMdiSubWindow* b) {
            const QSize sa = SmallestSize(a), sb = SmallestSize(b);
            return sa.width() * sa.height() > sb.width() * sb.height();
        });
        int tiledBySize = 0;
        std::vector<QRect> other = Plan(index, area, bySize, step, &tiledBySize);
        const int coveredBySize = windowlayout::CoveredTitleBars(other, step);
        if (coveredBySize < covered || (coveredBySize == covered && tiledBySize > tiled)) {
            windows = bySize;
            places = std::move(other);
        }
    }
    arranged_ = {index, {}};
    for (int i = 0; i < int(windows.size()); ++i) {
        windows[i]->showNormal();
        windows[i]->setGeometry(places[i]);
        windows[i]->raise();
        arranged_.places.emplace_back(windows[i], windows[i]->geometry());
    }
}

bool MDIMain::ArrangementStands(const QMdiSubWindow* except) const {
    if (arranged_.index < 0) return false;
    for (QMdiSubWindow* w : mdiArea_->subWindowList()) {
        if (w == except || !w->isVisible() || w->isMinimized()) continue;
        const auto it = std::find_if(arranged_.places.begin(), arranged_.places.end(),
                                     [w](const auto& entry) { return entry.first == w; });
        if (it == arranged_.places.end() || it->second != w->geometry()) return false;
    }
    return true;
}

void MDIMain::RejoinArrangement(QMdiSubWindow* restored) {
    // While the last arrangement stands (no other window moved, resized,
    // opened or restored since), a window restored into it takes a place
    // of its own: back to its tile when it had one, else the arrangement
    // is made again with it.
    bool ownPlace = false;
    for (const auto& [w, place] : arranged_.places)
        if (w == restored) ownPlace = restored->geometry() == place;
    if (!ownPlace && ArrangementStands(restored)) {
        ArrangeChildren(arranged_.index);
        return;
    }
    // Otherwise it comes back in front of the others where it covers none
    // of their title bars: where it was when it can, above the icons.
    std::vector<QRect> behind;
    std::vector<QSize> iconSizes;
    for (QMdiSubWindow* w : mdiArea_->subWindowList(QMdiArea::StackingOrder)) {
        if (w == restored || !w->isVisible()) continue;
        if (w->isMinimized())
            iconSizes.push_back(w->size());
        else
            behind.push_back(w->geometry());
    }
    QRect area = mdiArea_->viewport()->rect();
    area.setBottom(std::max(area.top(), area.bottom() - windowlayout::Icons(area, iconSizes).height));
    const int step = TitleBarHeight(restored);
    const QSize size = restored->size().boundedTo(area.size()).expandedTo(SmallestSize(restored));
    restored->setGeometry(windowlayout::InFront(area, behind, size, restored->pos(), step));
}

void MDIMain::KeepWithinArea(const QRect& before) {
    const QRect area = mdiArea_->viewport()->rect();
    QList<QMdiSubWindow*> outside;
    for (QMdiSubWindow* w : mdiArea_->subWindowList())
        if (w->isVisible() && !(w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) &&
            before.contains(w->geometry()) && !area.contains(w->geometry()))
            outside.push_back(w);
    if (outside.isEmpty()) return;
    // An arrangement made for the larger area is made again for this one,
    // so every title bar still shows.
    if (ArrangementStands(nullptr)) {
        ArrangeChildren(arranged_.index);
        return;
    }
    // Otherwise each keeps its place as far as the area allows: no larger
    // than the area (nor below its smallest size), moved back inside it.
    for (QMdiSubWindow* w : outside) {
        const QSize size = w->size().boundedTo(area.size()).expandedTo(SmallestSize(w));
        const QPoint at(std::max(area.left(), std::min(w->x(), area.right() + 1 - size.width())),
                        std::max(area.top(), std::min(w->y(), area.bottom() + 1 - size.height())));
        w->setGeometry(QRect(at, size));
    }
}

void MDIMain::FillWindowMenu() {
    for (QAction* a : mnuWindow_->actions())
        if (a->property("windowList").toBool()) {
            mnuWindow_->removeAction(a);
            a->deleteLater();
        }
    QList<QMdiSubWindow*> windows = mdiArea_->subWindowList();
    if (windows.isEmpty()) return;
    QAction* separator = mnuWindow_->addSeparator();
    separator->setProperty("windowList", true);
    // The first nine windows take the keys 1 to 9; the rest are chosen
    // with the arrows, as a key of two digits cannot be pressed.
    int n = 0;
    for (QMdiSubWindow* w : windows) {
        const QString title = w->windowTitle().replace('&', "&&");
        ++n;
        QAction* a =
            mnuWindow_->addAction(n <= 9 ? QString("&%1 %2").arg(n).arg(title) : QString("%1 %2").arg(n).arg(title));
        a->setProperty("windowList", true);
        a->setCheckable(true);
        a->setChecked(w == mdiArea_->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] {
            if (w->isMinimized()) w->showNormal();
            mdiArea_->setActiveSubWindow(w);
        });
    }
}

void MDIMain::mnuHelpItems_Click(int index) {
    Guarded("MDIMain:mnuHelpItems_Click: " + std::to_string(index), [this, index] {
        switch (index) {
            case 10: {
                CWinHelp help;
                help.HelpFile(program::HelpFilePath());
                help.OpenFinder();
                break;
            }
            case 50:
                CShellExecute().LaunchEmail(this, program::kSupportMail);
                break;
            case 100: {
                frmAbout about(this);
                about.exec();
                break;
            }
            case 999:
                ui::MsgBox(vb::CStr(Divide(1, 0)));
                break;
            default:
                break;
        }
    });
}

void MDIMain::mnuOnWebItems_Click(int index) {
    Guarded("mnuOnWebItems_Click: " + std::to_string(index), [this, index] {
        switch (index) {
            case 10:
                CShellExecute().LaunchURL(this, program::kProductWebPage);
                break;
            case 20:
                CShellExecute().LaunchURL(this, program::kSupportWebPage);
                break;
            case 40:
                CShellExecute().LaunchURL(this, program::kHomePage);
                break;
            default:
                break;
        }
    });
}

void MDIMain::mnuRightClickItems_Click(int index) {
    GuardedQuiet([this, index] {
        // The menu belongs to the scenario list; without it there is nothing to act on.
        if (frmStatMain* list = StatMain()) list->ContextMenuHandler(index);
    });
}

void MDIMain::ShowScenarioMenu(const QPoint& globalPos, bool secondOutputTable) {
    if (QAction* second = MenuAction("mnuRightClickItems_110")) second->setEnabled(secondOutputTable);
    PopupRightClickMenu(globalPos, 0);
}

void MDIMain::PopupRightClickMenu(const QPoint& globalPos, int defaultIndex) {
    mnuRightClick_->setDefaultAction(defaultIndex >= 0 ? MenuAction(QString("mnuRightClickItems_%1").arg(defaultIndex))
                                                       : nullptr);
    mnuRightClick_->exec(globalPos);
}

void MDIMain::tlbMain_ButtonClick(const QString& key) {
    GuardedQuiet([this, &key] {
        if (key == "btnOpen") {
            if (SelectDatabaseDialog("")) ShowStatMain();
        } else if (key == "btnClose") {
            CloseStatMain();
        } else if (key == "btnCalc") {
            ShowCalculator();
        } else if (key == "btnHelp") {
            ShowHelpFor(nullptr);
        }
    });
}

void MDIMain::ShowErrorDialog() {
    frmErrorHandler dialog(this);
    dialog.AppName(program::kAppTitle);
    dialog.Readmefile(program::ReadmePath());
    dialog.ErrHelpContextID(help::kTroubleshooting);
    dialog.ErrHelpFileName(program::HelpFilePath());
    const vb::Variant& destination = ErrStack().Destination();
    dialog.ErrorFile(destination.IsString() ? destination.String() : std::string());
    dialog.ErrorString(ErrStack().ErrDescription());
    dialog.ErrorMsgString(ErrStack().ErrReport());
    dialog.exec();
    if (!dialog.UserClosed()) {
        ErrStack().ClearLog();
    } else {
        ExitApplication(this);
    }
}

void MDIMain::ReleaseErrorStack() {
    // Only the stack still in force is the one connected (tests replace it).
    if (errorConnection_ && errorStack_ == &ErrStack()) errorStack_->Disconnect(errorConnection_);
    errorConnection_ = 0;
    errorStack_ = nullptr;
}

void MDIMain::closeEvent(QCloseEvent* event) {
    // The document windows close first; one that refuses keeps the frame open.
    mdiArea_->closeAllSubWindows();
    if (!mdiArea_->subWindowList().isEmpty()) {
        event->ignore();
        return;
    }
    if (!unloaded_) {
        unloaded_ = true;
        Guarded("MDIForm_Unload", [this] {
            if (m_WinPos) m_WinPos->SaveForm(this);
        });
        ReleaseErrorStack();
        frmHelp::CloseHelp();
    }
    event->accept();
}
