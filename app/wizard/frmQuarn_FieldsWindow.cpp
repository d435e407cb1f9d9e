// The controls of the field roles page: the role lists, the six overlaid
// frames that hold them with the group and weight lists below, the heading
// (analysis, source, description), the available fields, the navigation
// row; the tab order, and the wiring of each control to the page.
#include <QBoxLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <utility>

#include "services/ErrorBoundary.h"
#include "wizard/FieldRowDelegate.h"
#include "wizard/TransferButton.h"
#include "wizard/frmQuarn_Fields.h"

QListWidget* frmQuarn_Fields::NewList(const QString& name) {
    auto* list = new QListWidget;
    list->setObjectName(name);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setItemDelegate(new FieldRowDelegate(list));
    return list;
}

// The lists of every role, by frame, and what each one takes.
void frmQuarn_Fields::MakeRoleLists() {
    for (int i = 1; i <= 6; ++i) lisIndependentFields_[i] = NewList(QString("lisIndependentFields_%1").arg(i));
    for (int i : {2, 4, 5}) lisComparisonField_[i] = NewList(QString("lisComparisonField_%1").arg(i));
    lisDependentField_[3] = NewList("lisDependentField_3");
    lisGroupFields_ = NewList("lisGroupFields");
    lisWeightField_ = NewList("lisWeightField");
    roles_ = {
        {lisIndependentFields_[1], "cmdTX", "X", false, true, 1},
        {lisIndependentFields_[2], "cmdTCX", "X", false, true, 2},
        {lisComparisonField_[2], "cmdTCXComp", "C", true, false, 2},
        {lisIndependentFields_[3], "cmdTXY", "X", false, true, 3},
        {lisDependentField_[3], "cmdTXYDep", "Y", true, true, 3},
        {lisIndependentFields_[4], "cmdTAnovaDep", "X", false, true, 4},
        {lisComparisonField_[4], "cmdTAnovaComp", "C", false, false, 4},
        {lisIndependentFields_[5], "cmdTXTab", "X", false, false, 5},
        {lisComparisonField_[5], "cmdTXTabCol", "C", true, false, 5},
        {lisIndependentFields_[6], "cmdTChi", "C", false, false, 6},
        {lisGroupFields_, "cmdTGroup", "G", false, false, 0},
        {lisWeightField_, "cmdTWeight", "W", true, true, 0},
    };
}

const frmQuarn_Fields::RoleList* frmQuarn_Fields::RoleOf(const QListWidget* list) const {
    for (const RoleList& r : roles_)
        if (r.list == list) return &r;
    return nullptr;
}

// A captioned box with a role list and its transfer control beside it.
QGroupBox* frmQuarn_Fields::RoleFrame(const char* name, const QString& caption, QListWidget* list) {
    const RoleList* r = RoleOf(list);
    auto* box = new QGroupBox(caption);
    box->setObjectName(name);
    TransferButton* transfer = r->single ? new TransferInOut : new TransferButton;
    transfer->setObjectName(r->control);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(4, 2, 4, 4);
    row->addWidget(transfer, 0, Qt::AlignTop);
    row->addWidget(list, 1);
    // Rows shorten to the list's width (FieldRowDelegate): no list scrolls sideways.
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (r->single) list->setFixedHeight(list->fontMetrics().height() + 10);
    return box;
}

// Frames 2 to 5 have no caption: their two parts carry it, one above the
// other, so that each list has the frame's whole width for long names. A
// part holding one field keeps its height; lists of many share the rest.
QWidget* frmQuarn_Fields::FramePair(const char* name, QGroupBox* first, QGroupBox* second) {
    auto* frame = new QWidget;
    frame->setObjectName(name);
    const bool secondSingle = RoleOf(second->findChild<QListWidget*>())->single;
    auto* box = new QVBoxLayout(frame);
    box->setContentsMargins(0, 0, 0, 0);
    if (secondSingle) std::swap(first, second);
    for (QGroupBox* part : {first, second})
        box->addWidget(part, RoleOf(part->findChild<QListWidget*>())->single ? 0 : 1);
    return frame;
}

// The six frames of role lists, one shown at a time by the analysis; 0 shows none.
QStackedWidget* frmQuarn_Fields::MakeFieldFrames() {
    auto* frames = new QStackedWidget;
    frames->setObjectName("fraFieldFrames");
    auto* none = new QWidget;
    none->setObjectName("fraFieldFrame_0");
    frames->addWidget(none);
    frames->addWidget(RoleFrame("fraFieldFrame_1", "Independent Fields (X)", lisIndependentFields_[1]));
    frames->addWidget(FramePair("fraFieldFrame_2", RoleFrame("fraCXDep", "Dependent Fields", lisIndependentFields_[2]),
                                RoleFrame("fraCXComp", "Comparison Field (Factor)", lisComparisonField_[2])));
    frames->addWidget(FramePair("fraFieldFrame_3", RoleFrame("fraXYDep", "Dependent Field (Y)", lisDependentField_[3]),
                                RoleFrame("fraXYInd", "Independent Fields (X)", lisIndependentFields_[3])));
    frames->addWidget(FramePair("fraFieldFrame_4",
                                RoleFrame("fra2AnovaDep", "Dependent Fields", lisIndependentFields_[4]),
                                RoleFrame("fra2AnovaComp", "Comparison Fields (Factors)", lisComparisonField_[4])));
    frames->addWidget(FramePair("fraFieldFrame_5", RoleFrame("fraXTabValue", "Value Fields", lisIndependentFields_[5]),
                                RoleFrame("fraXTabCol", "Column Field", lisComparisonField_[5])));
    frames->addWidget(RoleFrame("fraFieldFrame_6", "Compare Fields", lisIndependentFields_[6]));
    return frames;
}

// The heading: analysis, source (with Change) and description.
QLayout* frmQuarn_Fields::MakeHeading() {
    auto* Label2 = new QLabel("Type:");
    Label2->setObjectName("Label2");
    lblCalcType_ = new QLabel;
    lblCalcType_->setObjectName("lblCalcType");
    auto* Label3 = new QLabel("Source:");
    Label3->setObjectName("Label3");
    lblTable_ = new QLabel;
    lblTable_->setObjectName("lblTable");
    lblTable_->setTextFormat(Qt::PlainText);
    cmdChange_ = new QPushButton("&Change");
    cmdChange_->setObjectName("cmdChange");
    cmdChange_->setAutoDefault(false);
    auto* Label1 = new QLabel("&Description:");
    Label1->setObjectName("Label1");
    txtScenario_Description_ = new QLineEdit;
    txtScenario_Description_->setObjectName("txtScenario_Description");
    txtScenario_Description_->setMaxLength(255);
    txtScenario_Description_->installEventFilter(this);
    Label1->setBuddy(txtScenario_Description_);
    auto* heading = new QGridLayout;
    heading->addWidget(Label2, 0, 0);
    heading->addWidget(lblCalcType_, 0, 1);
    heading->addWidget(Label3, 0, 2);
    heading->addWidget(lblTable_, 0, 3);
    heading->addWidget(cmdChange_, 0, 4);
    heading->addWidget(Label1, 1, 0);
    heading->addWidget(txtScenario_Description_, 1, 1, 1, 4);
    heading->setColumnStretch(3, 1);
    heading->setColumnMinimumWidth(1, 120);
    return heading;
}

// The available fields, sortable by a click on a column, and the values to ignore.
QLayout* frmQuarn_Fields::MakeAvailableList() {
    auto* Label4 = new QLabel("Available Fields");
    Label4->setObjectName("Label4");
    lvwAvailableFields_ = new QTreeWidget;
    lvwAvailableFields_->setObjectName("lvwAvailableFields");
    lvwAvailableFields_->setHeaderLabels({"Name", "Type"});
    lvwAvailableFields_->setRootIsDecorated(false);
    lvwAvailableFields_->setUniformRowHeights(true);
    // The type whole; the name takes the room left, shortened in its middle where it must be.
    lvwAvailableFields_->header()->setStretchLastSection(false);
    lvwAvailableFields_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lvwAvailableFields_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    lvwAvailableFields_->setItemDelegate(new FieldRowDelegate(lvwAvailableFields_));
    lvwAvailableFields_->header()->setSectionsClickable(true);
    m_ListView.SetListView(lvwAvailableFields_);
    m_ListView.SetFullRowSelect();
    m_ListView.ResetSortKeyOnColumnClick(false);
    cmdIgnore_ = new QPushButton("Specify Values to &Ignore");
    cmdIgnore_->setObjectName("cmdIgnore");
    cmdIgnore_->setAutoDefault(false);
    auto* available = new QVBoxLayout;
    available->addWidget(Label4);
    available->addWidget(lvwAvailableFields_, 1);
    available->addWidget(cmdIgnore_);
    return available;
}

// The page's own size, in pixels.
const QSize frmQuarn_Fields::kDefaultSize(820, 540);

// The heading above; the available fields left; the frame of the analysis
// right, with the group and weight lists below it; the navigation row.
void frmQuarn_Fields::LayOut() {
    QLayout* heading = MakeHeading();
    QLayout* available = MakeAvailableList();
    frames_ = MakeFieldFrames();
    fraGroupFields_ = RoleFrame("fraGroupFields", "Group Fields", lisGroupFields_);
    fraWeightField_ = RoleFrame("fraWeightField", "Weight Field (Optional)", lisWeightField_);

    // Lists run the width of their column: long names want width more than height.
    auto* rolesColumn = new QVBoxLayout;
    rolesColumn->addWidget(frames_, 3);
    rolesColumn->addWidget(fraGroupFields_, 2);
    rolesColumn->addWidget(fraWeightField_, 0);
    auto* body = new QHBoxLayout;
    body->addLayout(available, 1);
    body->addLayout(rolesColumn, 1);

    auto* nav = new QHBoxLayout;
    AddNavButton(nav, 0, "Help");
    nav->addStretch();
    AddNavButton(nav, 1, "< &Back");
    AddNavButton(nav, 2, "&Next >");
    AddNavButton(nav, 4, "Cancel");

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addLayout(body, 1);
    layout->addWidget(LockNote());
    layout->addLayout(nav);
    // The page can be enlarged, its lists grow with it. At its own size
    // every list shows names of 32 characters whole.
    setSizeGripEnabled(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    resize(kDefaultSize);
}

// The heading, the available fields, then each role's buttons and list, frame by
// frame, in the order they are drawn: a frame's part holding one field is drawn
// above its other part (FramePair).
void frmQuarn_Fields::SetTabOrder() {
    std::vector<QWidget*> chain = {txtScenario_Description_, cmdChange_, lvwAvailableFields_, cmdIgnore_};
    std::vector<RoleList> drawn = roles_;
    std::stable_sort(drawn.begin(), drawn.end(), [](const RoleList& a, const RoleList& b) {
        const auto place = [](const RoleList& r) { return r.frame == 0 ? 2 * 7 : 2 * r.frame + (r.single ? 0 : 1); };
        return place(a) < place(b);
    });
    for (const RoleList& r : drawn) {
        auto* transfer = findChild<TransferButton*>(r.control);
        for (int i = 0; i <= 4; ++i)
            if (QWidget* b = transfer->Button(i)) chain.push_back(b);
        chain.push_back(r.list);
    }
    for (int i : {0, 1, 2, 4}) chain.push_back(findChild<QPushButton*>(QString("cmdNav_%1").arg(i)));
    for (size_t i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

// Every transfer control and every double click on a role list ends in
// HandleTransfer with its list's role; the other controls call their handlers.
void frmQuarn_Fields::Wire() {
    for (const RoleList& r : roles_) {
        QListWidget* list = r.list;
        auto transfer = [this, list](int index) {
            GuardedQuiet([&] {
                const RoleList* role = RoleOf(list);
                HandleTransfer(index, list, role->role, role->single, role->numeric);
            });
        };
        connect(findChild<TransferButton*>(r.control), &TransferButton::clicked, this, transfer);
        connect(list, &QListWidget::itemDoubleClicked, this, [transfer] { transfer(0); });
        ActOnReturn(list, [transfer] { transfer(0); });
    }
    connect(cmdChange_, &QPushButton::clicked, this, [this] { ChangeSource(); });
    connect(cmdIgnore_, &QPushButton::clicked, this, [this] { SpecifyValuesToIgnore(); });
    connect(lvwAvailableFields_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (item) lvwAvailableFields_->setCurrentItem(item);
        AvailableDoubleClicked();
    });
    ActOnReturn(lvwAvailableFields_, [this] { AvailableDoubleClicked(); });
    connect(lvwAvailableFields_->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { GuardedQuiet([&] { m_ListView.OnColumnClick(column); }); });
}
