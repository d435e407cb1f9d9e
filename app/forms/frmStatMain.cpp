#include "forms/frmStatMain.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>

#include "shell/CWinPos.h"
#include "ErrorStack.h"
#include "Hourglass.h"
#include "shell/ProgramInfo.h"
#include "ScenarioCatalogue.h"
#include "ScenarioQueries.h"
#include "ScenarioSchema.h"
#include "forms/frmDuplicate.h"
#include "forms/frmGenerateCode.h"
#include "models/DataGridView.h"
#include "shell/modMerivox.h"
#include "services/ErrorBoundary.h"
#include "services/HelpKey.h"
#include "services/HelpTopics.h"
#include "services/ScenarioRunner.h"
#include "CurrentDatabase.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"
#include "wizard/AnalysisCatalog.h"
#include "wizard/CZantelsPropWiz.h"
#include "wizard/ScenarioCommands.h"

namespace {

// The scenario list selects whole rows: going to a row never scrolls sideways
// to the cell clicked, which for a long description hid the row's ID and type.
class ScenarioListView : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    void scrollTo(const QModelIndex& index, ScrollHint hint) override {
        const int across = horizontalScrollBar()->value();
        QTreeWidget::scrollTo(index, hint);
        horizontalScrollBar()->setValue(across);
    }
};

// The analyses of a family, in the order of the list: the family's filter
// buttons after its first, "All".
std::vector<const store::AnalysisDef*> FamilyAnalyses(std::string_view family) {
    std::vector<const store::AnalysisDef*> analyses;
    for (const store::AnalysisDef& a : store::kAnalysisList)
        if (a.family == family) analyses.push_back(&a);
    return analyses;
}

// The sub-type value of a family's filter button `index` (1 "All" is "*"); empty when none.
std::string FilterValue(std::string_view family, int index) {
    if (index == 1) return "*";
    const auto analyses = FamilyAnalyses(family);
    return index >= 2 && index - 2 < int(analyses.size()) ? std::string(analyses[index - 2]->subType) : std::string();
}

// Twips as the layout rules give them, in pixels.
constexpr int Px(int twips) { return twips / CWinPos::kTwipsPerPixel; }
constexpr int kMinimumHeight = (4000 + CWinPos::kTwipsPerPixel - 1) / CWinPos::kTwipsPerPixel;

// The open database; an error when none is open.
dao::DatabasePtr OpenDatabase() {
    dao::DatabasePtr db = store::CurrentDatabase();
    if (!db || !store::CurrentWorkspace()) vb::Raise(vb::err::kObjectVariableNotSet, "No database is open");
    return db;
}

void Message(const std::string& text) { ui::MsgBox(text, ui::vbOKOnly, program::kAppTitle); }

std::string GoneText(const QString& id) {
    return "Scenario #" + id.toStdString() +
           " is no longer in the list: another program deleted it or changed it. No scenario is chosen.";
}

// A reload of the list waits for another program's commit, not for its
// transaction: the rows shown stay, and the look twice a second reads again.
constexpr int kListLockWaitMs = 100;

// Does `step` of a command on the chosen scenario; false when another
// program's lock kept it from being done, which the user is told plainly.
template <class F>
bool Telling(const std::string& what, F&& step) {
    try {
        std::forward<F>(step)();
    } catch (const vb::VbError& e) {
        if (e.Number() != dao::err::kLocked) throw;
        TellLocked(what);
        return false;
    }
    return true;
}

// The program's number of a scenario from the list's text ("12" gives 12, anything else 0).
long NumberOf(const std::string& text) { return static_cast<long>(vb::Val(text)); }

}  // namespace

frmStatMain::frmStatMain(QWidget* parent) : QWidget(parent) {
    setObjectName("frmStatMain");
    setWindowTitle("Analysis Scenarios");
    setProperty("HelpContextID", help::kScenarioList);
    BuildControls();
    runner_ = new ScenarioRunner(this);
    connect(runner_, &ScenarioRunner::StatusPrinted, this, &frmStatMain::StatusPrinted);
    connect(runner_, &ScenarioRunner::GridsClosing, this, &frmStatMain::GridsClosing);
    connect(runner_, &ScenarioRunner::GridRequested, this, &frmStatMain::GridRequested);
    // As often as the grids look at their files.
    follow_ = new QTimer(this);
    follow_->setInterval(DataGridView::kWatchMs);
    connect(follow_, &QTimer::timeout, this, &frmStatMain::FollowFile);
}

frmStatMain::~frmStatMain() = default;

namespace {

// A family's frame of sub-types: "All", then the family's analyses in list
// order, numbered from 1 in `group`, with "All" chosen.
QGroupBox* AnalysisTypeFrame(QWidget* owner, const char* frameName, const char* arrayName, std::string_view family,
                             QButtonGroup*& group) {
    auto* frame = new QGroupBox("Analysis Type:", owner);
    frame->setObjectName(frameName);
    auto* column = new QVBoxLayout(frame);
    column->setSpacing(2);
    group = new QButtonGroup(owner);
    group->setObjectName(arrayName);
    std::vector<const char*> captions = {"All"};
    for (const store::AnalysisDef* a : FamilyAnalyses(family)) captions.push_back(catalog::Entry(a->id).listCaption);
    int index = 0;
    for (const char* caption : captions) {
        auto* option = new QRadioButton(caption);
        option->setObjectName(QString("%1_%2").arg(arrayName).arg(++index));
        group->addButton(option, index);
        column->addWidget(option);
    }
    column->addStretch();
    group->button(1)->setChecked(true);
    return frame;
}

// The scenario list's look: one row chosen at a time, whole rows, the ten
// columns, headers that take a click and show no sort indicator.
void ShapeScenarioList(QTreeWidget* list) {
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setHeaderLabels({"ID #", "Type", "Scenario Description", "Table", "Output Table 1", "Output Table 2",
                           "Created By", "Created Date", "Modified By", "Modified Date"});
    list->header()->setSectionsClickable(true);
    list->header()->setSortIndicatorShown(false);
}

}  // namespace

void frmStatMain::BuildControls() {
    tabBody_ = new QFrame(this);
    tabBody_->setObjectName("tabMainBody");
    tabBody_->setFrameShape(QFrame::StyledPanel);
    tabMain_ = new QTabBar(this);
    tabMain_->setObjectName("tabMain");
    tabMain_->setDrawBase(false);
    for (const char* caption : {"&Parametric Analysis", "&Group Analysis", "N&on-Parametric Analysis"})
        tabMain_->addTab(caption);
    connect(tabMain_, &QTabBar::currentChanged, this, [this] { tabMain_Click(); });

    frames_[0] = AnalysisTypeFrame(this, "ogSubType_Parametric", "optParAnalysisType", "P", optParAnalysisType_);
    frames_[1] = AnalysisTypeFrame(this, "ogSubType_Group", "optGroupAnalysistype", "G", optGroupAnalysistype_);
    frames_[2] =
        AnalysisTypeFrame(this, "ogSubType_Non_Parametric", "optNonParAnalysisType", "N", optNonParAnalysisType_);
    connect(optParAnalysisType_, &QButtonGroup::idClicked, this, [this](int i) { optParAnalysisType_Click(i); });
    connect(optGroupAnalysistype_, &QButtonGroup::idClicked, this, [this](int i) { optGroupAnalysistype_Click(i); });
    connect(optNonParAnalysisType_, &QButtonGroup::idClicked, this, [this](int i) { optNonParAnalysisType_Click(i); });

    lvwScenarios_ = new ScenarioListView(this);
    lvwScenarios_->setObjectName("lvwScenarios");
    ShapeScenarioList(lvwScenarios_);
    connect(lvwScenarios_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        Guarded("frmStatMain:lvwScenarios_ColumnClick", [this, column] {
            m_ListView.OnColumnClick(column);
            sortedBy_ = column;
        });
    });
    lvwScenarios_->viewport()->installEventFilter(this);
    // A scenario chosen: the note that none is chosen no longer holds.
    connect(lvwScenarios_, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!lvwScenarios_->selectedItems().isEmpty()) ClearGoneNote();
    });

    const std::array<const char*, 6> captions = {"&New", "&Edit", "Dup&licate", "&Delete", "&Run", "Help"};
    for (int i = 0; i < 6; ++i) {
        cmdAction_[i] = new QPushButton(captions[i], this);
        cmdAction_[i]->setObjectName(QString("cmdAction_%1").arg(i));
        cmdAction_[i]->resize(81, 25);
        connect(cmdAction_[i], &QPushButton::clicked, this, [this, i] { cmdAction_Click(i); });
    }
    setMinimumSize(SmallestSize());
}

int frmStatMain::ListLeft() const {
    // 2340 twips, or further right when an option caption needs the room.
    int frameWidth = 0;
    for (QGroupBox* f : frames_) frameWidth = std::max(frameWidth, f->sizeHint().width());
    return std::max(Px(2340), Px(120) + Px(60) + frameWidth + Px(120));
}

QSize frmStatMain::SmallestSize() const {
    // Every button of the row, the three tabs, the list's least width, and
    // the family frame with all its options one below the other.
    int frameHeight = 0;
    for (QGroupBox* f : frames_) frameHeight = std::max(frameHeight, f->sizeHint().height());
    const int buttonWidth = cmdAction_[0]->width();
    const int width = std::max({6 * buttonWidth + 6 * Px(60), tabMain_->sizeHint().width() + Px(180),
                                ListLeft() + Px(2341) + Px(196) + Px(60)});
    const int bodyTop = Px(60) + tabMain_->sizeHint().height() - 1;
    const int height = bodyTop + Px(120) + frameHeight + Px(120) - Px(60) + Px(720);
    return QSize(width, height);
}

QWidget* frmStatMain::SubWindow() const {
    return qobject_cast<QMdiSubWindow*>(parentWidget()) ? parentWidget() : const_cast<frmStatMain*>(this);
}

void frmStatMain::Load() {
    Guarded("frmStatMain:Form_Load", [this] {
        m_WinPos = NewFormPositions();
        sysChange_ = true;
        // The position belongs to the frame around the window, stored under the window's name.
        QWidget* window = SubWindow();
        const QString ownName = window->objectName();
        window->setObjectName(objectName());
        const bool restored = m_WinPos->RestoreForm(window);
        window->setObjectName(ownName);
        if (!restored) window->resize(610, 360);

        scenTypeMain_ = "P";
        scenType_ = "*";
        m_ListView.ResetSortKeyOnColumnClick(true);
        m_ListView.SetListView(lvwScenarios_);
        m_ListView.SetFullRowSelect();
        LoadScenarios();
        ShowFamilyFrame(0);
        sysChange_ = false;
        follow_->start();
    });
}

void frmStatMain::ShowFamilyFrame(int tab) {
    for (int i = 0; i < 3; ++i) frames_[i]->setVisible(i == tab);
    frames_[tab]->raise();
}

void frmStatMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    GuardedQuiet([this] {
        QWidget* window = SubWindow();
        if (window->isMinimized()) return;
        if (!window->isMaximized() && window != this && window->height() < kMinimumHeight) {
            window->resize(window->width(), kMinimumHeight);
            return;  // the resize comes back here
        }
        const int innerWidth = width(), innerHeight = height();
        const QRect tab(Px(120), Px(60), std::max(innerWidth - Px(180), Px(121)), std::max(innerHeight - Px(720), 1));
        tabMain_->setGeometry(tab.x(), tab.y(), tab.width(), tabMain_->sizeHint().height());
        const int bodyTop = tab.y() + tabMain_->height() - 1;
        tabBody_->setGeometry(tab.x(), bodyTop, tab.width(), std::max(tab.bottom() + 1 - bodyTop, 1));

        // The list ends 196 twips inside the tab strip's right edge.
        const int listLeft = ListLeft(), listTop = Px(600);
        const int listHeight = std::max(tab.y() + tab.height() - Px(720), 1);
        lvwScenarios_->setGeometry(listLeft, listTop, std::max(tab.right() + 1 - Px(196) - listLeft, Px(2341)),
                                   listHeight);
        // The family frames stand at one spot inside the tab strip, left of the list.
        const QRect frame(tab.x() + Px(60), bodyTop + Px(120), listLeft - tab.x() - Px(60) - Px(120),
                          std::max(tab.bottom() + 1 - bodyTop - Px(240), 1));
        for (QGroupBox* f : frames_) f->setGeometry(frame);

        const int w = cmdAction_[0]->width();
        const int top = tab.y() + tab.height() + Px(196);
        int left = innerWidth - Px(60) - w;
        for (int index : {4, 3, 2, 1, 0, 5}) {
            cmdAction_[index]->move(left, top);
            left -= w + Px(60);
        }
    });
}

void frmStatMain::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        follow_->stop();
        watch_.reset();
        ClearGoneNote();
        LockNote(false);
        Guarded("frmStatMain:Form_Unload", [this] {
            if (!m_WinPos) return;
            QWidget* window = SubWindow();
            const QString ownName = window->objectName();
            window->setObjectName(objectName());
            m_WinPos->SaveForm(window);
            window->setObjectName(ownName);
        });
    }
    event->accept();
}

void frmStatMain::tabMain_Click() {
    Guarded("frmStatMain:tabMain_Click", [this] {
        const int tab = tabMain_->currentIndex();
        if (tab < 0) return;
        static const std::array<const char*, 3> families = {"P", "G", "N"};
        const std::array<QButtonGroup*, 3> groups = {optParAnalysisType_, optGroupAnalysistype_,
                                                     optNonParAnalysisType_};
        ShowFamilyFrame(tab);
        scenTypeMain_ = families[tab];
        scenType_ = "*";
        groups[tab]->button(1)->setChecked(true);
        LoadScenarios();
    });
}

void frmStatMain::optParAnalysisType_Click(int index) {
    Guarded("frmStatMain:optParAnalysisType:index: " + std::to_string(index), [this, index] {
        if (std::string value = FilterValue("P", index); !value.empty()) scenType_ = value;
        LoadScenarios();
    });
}

void frmStatMain::optGroupAnalysistype_Click(int index) {
    Guarded("frmStatMain:optGroupAnalysistype_Click:index " + std::to_string(index), [this, index] {
        if (std::string value = FilterValue("G", index); !value.empty()) scenType_ = value;
        LoadScenarios();
    });
}

void frmStatMain::optNonParAnalysisType_Click(int index) {
    Guarded("frmStatMain:optNonParAnalysisType:index: " + std::to_string(index), [this, index] {
        if (std::string value = FilterValue("N", index); !value.empty()) scenType_ = value;
        LoadScenarios();
    });
}

void frmStatMain::LoadScenarios() {
    Guarded("frmStatMain:LoadScenarios", [this] {
        ClearGoneNote();
        dao::DatabasePtr db = store::CurrentDatabase();
        std::vector<store::ScenarioRow> rows;
        try {
            if (db) rows = ReadScenarios(db);
        } catch (const vb::VbError& e) {
            // Another program holds the file: nothing changed it, so the rows
            // shown and the chosen one stay until the lock ends.
            if (e.Number() == dao::err::kLocked) {
                LockNote(true);
                return;
            }
            lvwScenarios_->clear();
            shown_.clear();
            throw;
        }
        LockNote(false);
        sortedBy_ = -1;
        FillList(rows);
        if (lvwScenarios_->topLevelItemCount() > 0) lvwScenarios_->setCurrentItem(lvwScenarios_->topLevelItem(0));
    });
}

std::vector<store::ScenarioRow> frmStatMain::ReadScenarios(const dao::DatabasePtr& db) {
    const dao::LockWaitLimit limit(kListLockWaitMs);
    if (watch_ && watch_->Database() != db) watch_.reset();
    followAgain_ = true;
    bool seen = false;
    try {
        if (!watch_) watch_ = std::make_unique<store::CatalogueWatch>(db);
        watch_->Seen();
        seen = true;
    } catch (const vb::VbError& e) {
        // Locked, the rows cannot be read either. Otherwise read below all
        // the same; the next look reads again.
        if (e.Number() == dao::err::kLocked) throw;
    }
    std::vector<store::ScenarioRow> rows = store::ListScenarios(db, scenTypeMain_, scenType_);
    followAgain_ = !seen;
    return rows;
}

void frmStatMain::FillList(const std::vector<store::ScenarioRow>& scenarios) {
    const CListView::RedrawPaused redraw(m_ListView);
    lvwScenarios_->clear();
    shown_ = scenarios;
    shownFilter_ = Filter();
    QList<QTreeWidgetItem*> rows;
    for (const store::ScenarioRow& scenario : scenarios) {
        auto* row = new CListViewItem;
        row->setData(0, Qt::UserRole, QString::fromStdString("S" + scenario.id));
        int column = 0;
        for (const std::string* text : {&scenario.id, &scenario.analysis, &scenario.description, &scenario.inputTable,
                                        &scenario.outputTable1, &scenario.outputTable2, &scenario.createdBy,
                                        &scenario.dateCreated, &scenario.modifiedBy, &scenario.lastModified})
            row->setText(column++, QString::fromStdString(*text));
        rows.push_back(row);
    }
    lvwScenarios_->addTopLevelItems(rows);
    FitListColumns();
}

void frmStatMain::FollowFile() {
    if (running_ || unloaded_ || (!watch_ && !followAgain_)) return;
    GuardedQuiet([this] {
        const dao::DatabasePtr db = store::CurrentDatabase();
        if (!db || (watch_ && db != watch_->Database())) return;
        std::vector<store::ScenarioRow> rows;
        try {
            // The look never waits for a lock: it is made again next time.
            const dao::LockWaitLimit noWait(0);
            if (watch_ && !watch_->Changed() && !followAgain_) return;
            rows = ReadScenarios(db);
        } catch (const vb::VbError&) {
            followAgain_ = true;
            return;  // held by another program, or closed: looked at again next time
        }
        LockNote(false);
        // A filter chosen while a lock kept the rows from being read: the
        // rows come as a load gives them.
        const bool load = shownFilter_ != Filter();
        if (rows == shown_ && !load) return;
        const QString chosen = ChosenId();
        QScrollBar* bar = lvwScenarios_->verticalScrollBar();
        const int top = load ? 0 : bar->value();
        FillList(rows);
        if (load) sortedBy_ = -1;
        if (sortedBy_ >= 0) lvwScenarios_->sortItems(sortedBy_, Qt::AscendingOrder);
        if (load) {
            if (!Choose(chosen) && lvwScenarios_->topLevelItemCount() > 0)
                lvwScenarios_->setCurrentItem(lvwScenarios_->topLevelItem(0));
        } else if (!chosen.isEmpty() && !Choose(chosen)) {
            ChooseNothing(chosen);
        }
        bar->setValue(top);
    });
}

void frmStatMain::FitListColumns() {
    // Each column as wide as its header and its widest text, within bounds;
    // after the first load a column only widens, so a width the user chose
    // stays unless new rows need more.
    const QFontMetrics metrics = lvwScenarios_->fontMetrics();
    const int padding = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, lvwScenarios_) + 1) + 8;
    const int widest = metrics.averageCharWidth() * 80;
    QHeaderView* header = lvwScenarios_->header();
    for (int c = 0; c < lvwScenarios_->columnCount(); ++c) {
        int width = header->sectionSizeHint(c);
        for (int r = 0; r < lvwScenarios_->topLevelItemCount(); ++r)
            width = std::max(width, metrics.horizontalAdvance(lvwScenarios_->topLevelItem(r)->text(c)) + padding);
        width = std::min(width, std::max(widest, header->sectionSizeHint(c)));
        if (!columnsFitted_ || width > lvwScenarios_->columnWidth(c)) lvwScenarios_->setColumnWidth(c, width);
    }
    columnsFitted_ = true;
}

int frmStatMain::SelectedIndex() const {
    const QList<QTreeWidgetItem*> selected = lvwScenarios_->selectedItems();
    if (selected.isEmpty()) return 0;
    return lvwScenarios_->indexOfTopLevelItem(selected.front()) + 1;
}

std::string frmStatMain::Filter() const { return scenTypeMain_ + "/" + scenType_; }

QString frmStatMain::ChosenId() const {
    const QList<QTreeWidgetItem*> selected = lvwScenarios_->selectedItems();
    return selected.isEmpty() ? QString() : selected.front()->text(0);
}

bool frmStatMain::Choose(const QString& id) {
    for (int i = 0; i < lvwScenarios_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = lvwScenarios_->topLevelItem(i);
        if (row->text(0) != id) continue;
        lvwScenarios_->setCurrentItem(row);
        return true;
    }
    return false;
}

void frmStatMain::ChooseNothing(const QString& goneId) {
    lvwScenarios_->setCurrentItem(nullptr);
    lvwScenarios_->clearSelection();
    if (goneId.isEmpty()) return;
    // Told where the frame tells of the database, without a box in the way:
    // nothing was asked of the user.
    auto* frame = qobject_cast<QMainWindow*>(window());
    if (!frame) return;
    goneId_ = goneId;
    goneNote_ = QString::fromStdString(GoneText(goneId));
    frame->statusBar()->showMessage(goneNote_);
}

void frmStatMain::LockNote(bool show) {
    auto* frame = qobject_cast<QMainWindow*>(window());
    if (!frame) return;
    if (show) {
        lockNote_ = "Another program holds the database locked: the list is read again when it lets go.";
        frame->statusBar()->showMessage(lockNote_);
        return;
    }
    if (lockNote_.isEmpty()) return;
    if (frame->statusBar()->currentMessage() == lockNote_) frame->statusBar()->clearMessage();
    lockNote_.clear();
}

void frmStatMain::ClearGoneNote() {
    if (goneNote_.isEmpty()) return;
    auto* frame = qobject_cast<QMainWindow*>(window());
    if (frame && frame->statusBar()->currentMessage() == goneNote_) frame->statusBar()->clearMessage();
    goneNote_.clear();
    goneId_.clear();
}

bool frmStatMain::ChosenStillListed() {
    const QString chosen = ChosenId();
    FollowFile();
    if (chosen.isEmpty() || !ChosenId().isEmpty()) return true;
    Message(GoneText(chosen));
    return false;
}

void frmStatMain::RestoreSelection(const QString& chosen, int remembered, const QString& goneBefore) {
    if (chosen.isEmpty()) {
        // Nothing chosen before: nothing is chosen for the user now, and a
        // note that the chosen scenario had gone still stands.
        ChooseNothing(goneBefore);
        return;
    }
    if (Choose(chosen)) return;
    const int count = lvwScenarios_->topLevelItemCount();
    if (chosen == deletedId_ && count > 0) {
        // The user deleted it: the row now at its place, or the last one.
        lvwScenarios_->setCurrentItem(lvwScenarios_->topLevelItem(std::min(remembered, count) - 1));
        return;
    }
    ChooseNothing(chosen);
}

std::optional<CScenarioInfo> frmStatMain::GetScenarioInfo() const {
    std::optional<CScenarioInfo> info;
    Guarded("frmStatMain:GetScenarioInfo", [this, &info] {
        const QList<QTreeWidgetItem*> selected = lvwScenarios_->selectedItems();
        if (selected.isEmpty()) return;
        const QTreeWidgetItem* row = selected.front();
        CScenarioInfo found;
        found.ScenarioID(row->text(0).toStdString());
        found.ScenType(row->text(1).toStdString());
        found.Desc(row->text(2).toStdString());
        found.Table(row->text(3).toStdString());
        found.OutputTable1(row->text(4).toStdString());
        found.OutputTable2(row->text(5).toStdString());
        info = found;
    });
    return info;
}

void frmStatMain::cmdAction_Click(int index) {
    Guarded("frmStatMain:cmdAction_Click:index " + std::to_string(index), [this, index] {
        // New and Help act on no scenario.
        if (index != 0 && index != 5 && !ChosenStillListed()) return;
        const QString chosen = ChosenId();
        const int remembered = SelectedIndex();
        const QString goneBefore = goneId_;
        deletedId_.clear();
        switch (index) {
            case 0:
                CreateNewScenario();
                return;
            case 1:
                EditCurrentScenario(wizard::kFieldsPage);
                break;
            case 2:
                DuplicateCurrentScenario();
                break;
            case 3:
                DeleteCurrentScenario();
                break;
            case 4:
                if (!RunCurrentScenario(0)) {
                    FollowFile();  // a scenario not found shows as gone at once
                    return;
                }
                break;
            case 5:
                ShowHelpFor(this);
                break;
            default:
                break;
        }
        LoadScenarios();
        RestoreSelection(chosen, remembered, goneBefore);
    });
}

void frmStatMain::ContextMenuHandler(int index) {
    Guarded("frmStatMain:ContextMenuHandler", [this, index] {
        if (index != 150 && !ChosenStillListed()) return;
        const QString chosen = ChosenId();
        const int remembered = SelectedIndex();
        const QString goneBefore = goneId_;
        deletedId_.clear();
        switch (index) {
            case 0:
                RunCurrentScenario(0);
                break;
            case 20:
                EditCurrentScenario(wizard::kFieldsPage);
                break;
            case 30:
                EditCurrentScenario(wizard::kOptionsJump);
                break;
            case 40:
                EditCurrentScenario(wizard::kFinishPage);
                break;
            case 60:
                DuplicateCurrentScenario();
                break;
            case 70:
                DeleteCurrentScenario();
                break;
            case 90:
                ViewDataTable();
                break;
            case 100:
                ViewOutputTable1();
                break;
            case 110:
                ViewOutputTable2();
                break;
            case 130:
                GenerateCode();
                break;
            case 150:
                ShowHelpFor(this);
                break;
            default:
                break;
        }
        LoadScenarios();
        RestoreSelection(chosen, remembered, goneBefore);
    });
}

bool frmStatMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lvwScenarios_->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        lvwScenarios_MouseUp(mouse->button(), mouse->globalPosition().toPoint());
    }
    return QWidget::eventFilter(watched, event);
}

void frmStatMain::lvwScenarios_MouseUp(Qt::MouseButton button, const QPoint& globalPos) {
    Guarded("frmStatMain:lvwScenarios_MouseUp", [this, button, globalPos] {
        std::optional<CScenarioInfo> info = GetScenarioInfo();
        if (!info || button != Qt::RightButton) return;
        emit ContextMenuRequested(globalPos, !info->OutputTable2().empty());
    });
}

// --- running ------------------------------------------------------------------

bool frmStatMain::RunCurrentScenario(long ScenarioNo, const std::vector<std::string>& agreed) {
    bool result = false;
    Guarded("frmStatMain:RunCurrentScenario", [this, ScenarioNo, &agreed, &result] {
        std::optional<CScenarioInfo> info = GetScenarioInfo();
        // The run writes the file: the list follows once it is over.
        struct Running {
            bool& flag;
            ~Running() { flag = false; }
        } running{running_};
        if (ScenarioNo != 0) {
            running_ = true;
            result = runner_->Run(ScenarioNo, agreed);
        } else if (!info) {
            Message("Please select a scenario from the list");
        } else {
            running_ = true;
            result = runner_->Run(NumberOf(info->ScenarioID()));
        }
    });
    return result;
}

// --- new and edit -------------------------------------------------------------------

void frmStatMain::CreateNewScenario() {
    Guarded("frmStatMain:CreateNewScenario", [this] {
        // A new scenario is saved: refused at once while another program
        // holds the file, as Edit is, before any page reads it.
        if (RefuseReadOnlyDatabase() || RefuseLockedDatabase("be created")) return;
        wizard_.reset();
        std::string analysis = scenType_;
        if (analysis == "*") {
            // The family's first analysis.
            const auto analyses = FamilyAnalyses(scenTypeMain_);
            analysis = analyses.empty() ? std::string() : std::string(analyses.front()->subType);
        }
        WizardOutcome outcome = RunNewScenarioWizard(scenTypeMain_, analysis, this);
        wizard_ = outcome.wizard;
        if (outcome.result == wizard::kLeftBeforeFinish) return;
        if (outcome.scenarioType == "P") tabMain_->setCurrentIndex(0);
        if (outcome.scenarioType == "G") tabMain_->setCurrentIndex(1);
        if (outcome.scenarioType == "N") tabMain_->setCurrentIndex(2);
        SetOptionCalcType(outcome.calcType);
        if (outcome.result == wizard::kSaveAndRunResult) RunCurrentScenario(outcome.scenarioId, outcome.replaceAgreed);
        if (outcome.scenarioId != 0) {
            const QString key = "S" + QString::number(outcome.scenarioId);
            for (int i = 0; i < lvwScenarios_->topLevelItemCount(); ++i) {
                QTreeWidgetItem* row = lvwScenarios_->topLevelItem(i);
                if (row->data(0, Qt::UserRole).toString() == key) {
                    lvwScenarios_->setCurrentItem(row);
                    return;
                }
            }
            vb::Raise(35601, "Element not found");
        }
    });
}

void frmStatMain::EditCurrentScenario(long startPage) {
    Guarded("frmStatMain:EditCurrentScenario", [this, startPage] {
        std::optional<CScenarioInfo> info = GetScenarioInfo();
        if (!info) {
            Message("Please select a scenario from the list");
            return;
        }
        // An edit is saved: refused at once while another program holds the file.
        if (RefuseLockedDatabase("be edited")) return;
        const long number = NumberOf(info->ScenarioID());
        const int32_t id = static_cast<int32_t>(number);
        bool found = false;
        if (!Telling("be edited", [&] {
                dao::RecordsetPtr rs =
                    OpenDatabase()->OpenRecordset(store::GetScenOptionSQL(id), dao::dbOpenSnapshot, dao::dbReadOnly);
                found = !rs->Eof();
                rs->Close();
            }))
            return;
        if (!found) {
            Message("Scenario not found: " + info->ScenarioID());
            return;
        }
        wizard_.reset();
        WizardOutcome outcome = RunEditScenarioWizard(number, startPage, this);
        wizard_ = outcome.wizard;
        if (outcome.result != wizard::kSaveAndRunResult) return;
        repaint();
        // The scenario the wizard saved, whichever row the list shows chosen now.
        RunCurrentScenario(outcome.scenarioId, outcome.replaceAgreed);
    });
}

void frmStatMain::SelectOption(QButtonGroup* group, int index) {
    QAbstractButton* button = group->button(index);
    if (!button) return;
    button->setChecked(true);
    if (group == optParAnalysisType_) optParAnalysisType_Click(index);
    if (group == optGroupAnalysistype_) optGroupAnalysistype_Click(index);
    if (group == optNonParAnalysisType_) optNonParAnalysisType_Click(index);
}

void frmStatMain::SetOptionCalcType(const std::string& analysisName) {
    Guarded("frmStatMain:SetOptionCalcType", [this, &analysisName] {
        struct Choice {
            QButtonGroup* group;
            int first;
            int then;
        };
        std::optional<Choice> choice;
        const std::array<std::pair<const char*, QButtonGroup*>, 3> families = {
            {{"P", optParAnalysisType_}, {"G", optGroupAnalysistype_}, {"N", optNonParAnalysisType_}}};
        for (const auto& [family, group] : families) {
            const auto analyses = FamilyAnalyses(family);
            for (int i = 0; i < int(analyses.size()); ++i) {
                if (analysisName != analyses[i]->subType) continue;
                // The non-parametric group starts from its first analysis, except for that analysis itself.
                const int first = std::string_view(family) == "N" && i > 0 ? 2 : 1;
                choice = Choice{group, first, i + 2};
            }
        }
        if (!choice) return;
        SelectOption(choice->group, choice->first);
        SelectOption(choice->group, choice->then);
    });
}

// --- housekeeping -------------------------------------------------------------------

void frmStatMain::DuplicateCurrentScenario() {
    Guarded("frmStatMain:DuplicateCurrentScenario", [this] {
        std::optional<CScenarioInfo> info = GetScenarioInfo();
        if (!info) {
            Message("Please select a scenario from the list to duplicate");
            return;
        }
        if (RefuseReadOnlyDatabase() || RefuseLockedDatabase("be duplicated")) return;
        frmDuplicate dialog(this);
        dialog.ScenarioID(NumberOf(info->ScenarioID()));
        if (dialog.ScenarioOK()) {
            dialog.exec();
        } else {
            Message("Error retrieving current scenario information");
        }
    });
}

void frmStatMain::DeleteCurrentScenario() {
    Guarded("frmStatMain:DeleteCurrentScenario", [this] {
        std::optional<CScenarioInfo> info = GetScenarioInfo();
        if (!info) {
            // As Run, Edit and Duplicate say: a key pressed on an empty choice is answered.
            Message("Please select a scenario from the list");
            return;
        }
        if (RefuseReadOnlyDatabase() || RefuseLockedDatabase("be deleted")) return;
        // The scenario as the question names it: the delete removes that one or nothing.
        const long number = NumberOf(info->ScenarioID());
        std::optional<store::StoredScenario> chosen;
        if (!Telling("be deleted", [&] { chosen = store::ReadStoredScenario(OpenDatabase(), number); })) return;
        if (!chosen) {
            Message("Scenario #" + info->ScenarioID() +
                    " is no longer in the database: another program deleted it.\r\n\r\nNothing was deleted.");
            return;
        }
        const std::string description = chosen->Text("Scenario_Description");
        std::string question = "Are you sure you want to permanently delete Scenario #" + info->ScenarioID();
        if (!description.empty()) question += "\r\n (" + description + ")";
        question += "?";
        if (ui::MsgBox(question, ui::vbYesNo | ui::vbQuestion, program::kAppTitle) != ui::vbYes) return;
        CHourglass hourglass;
        hourglass.Value(true);
        DeleteScenario(number, &*chosen);
    });
}

void frmStatMain::DeleteScenario(long ScenarioID, const store::StoredScenario* expected) {
    Guarded("frmStatMain:DeleteScenario", [this, ScenarioID, expected] {
        const dao::DatabasePtr db = OpenDatabase();
        bool deleted = false;
        std::optional<store::StoredScenario> now;
        if (!Telling("be deleted", [&] {
                deleted = store::DeleteScenario(store::CurrentWorkspace(), db, ScenarioID, expected, &now);
            }))
            return;
        if (!deleted) {
            TellScenarioChanged(ScenarioID, *expected, now ? &*now : nullptr, "Nothing was deleted.");
            return;
        }
        deletedId_ = QString::number(ScenarioID);
    });
}

void frmStatMain::ViewDataTable() {
    Guarded("frmStatMain:ViewDataTable", [this] {
        std::optional<CScenarioInfo> info = GetScenarioInfo();
        if (!info) return;
        emit GridRequested("Input Data Table", QString::fromStdString(info->Table()));
    });
}

void frmStatMain::ViewOutputTable1() {
    Guarded("frmStatMain:ViewOutputTable1", [this] {
        std::optional<CScenarioInfo> info = GetScenarioInfo();
        if (!info || info->OutputTable1().empty()) return;
        emit GridRequested("Scenario Output Table", QString::fromStdString(info->OutputTable1()));
    });
}

void frmStatMain::ViewOutputTable2() {
    Guarded("frmStatMain:ViewOutputTable2", [this] {
        std::optional<CScenarioInfo> info = GetScenarioInfo();
        if (!info || info->OutputTable2().empty()) return;
        emit GridRequested("Scenario Output Table 2", QString::fromStdString(info->OutputTable2()));
    });
}

void frmStatMain::GenerateCode() {
    Guarded("frmStatMain:GenerateCode", [this] {
        std::optional<CScenarioInfo> info = GetScenarioInfo();
        if (!info) return;
        frmGenerateCode dialog(this);
        dialog.ScenarioInfo({.ScenarioID = info->ScenarioID(),
                             .Desc = info->Desc(),
                             .Table = info->Table(),
                             .OutputTable1 = info->OutputTable1(),
                             .OutputTable2 = info->OutputTable2(),
                             .DatabasePath = {}});
        dialog.exec();
    });
}
