#include "wizard/frmQuarn_SelectTable.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabBar>
#include <QTreeWidget>

#include "CurrentDatabase.h"
#include "forms/frmDataGridDialog.h"
#include "services/ErrorBoundary.h"
#include "services/HelpTopics.h"
#include "vb/Conversions.h"
#include "wizard/CZantelsPropWiz.h"

namespace {

bool StartsWith(const std::string& upper, const char* prefix) { return upper.rfind(prefix, 0) == 0; }

// Tables the user does not analyse: the program's scratch copies, its own
// scenario tables ("usys..."), system tables, and SQLite's own.
bool HiddenTable(const std::string& name) {
    const std::string upper = vb::UCase(name);
    return StartsWith(upper, "~TMPCLP") || StartsWith(upper, "USYS") || StartsWith(upper, "MSYS") ||
           StartsWith(upper, "SQLITE_");
}

}  // namespace

frmQuarn_SelectTable::frmQuarn_SelectTable(QWidget* parent) : CWizardPage(parent) {
    Guarded("frmQuarn_SelectTable:Form_Load", [this] {
        setObjectName("frmQuarn_SelectTable");
        setWindowTitle("Zelk Statistics Table Selection");
        setProperty("HelpContextID", help::kWizardSource);
        auto* Label2 = new QLabel("Analysis Source");
        Label2->setObjectName("Label2");
        QLayout* sources = MakeSourceList();
        QPushButton* cmdViewTable = nullptr;
        QLayout* nameRow = MakeNameRow(cmdViewTable);
        LayOut(Label2, sources, nameRow);
        SetTabOrder(cmdViewTable);
        Wire(cmdViewTable);
        LoadQueryTableLists(1);
        SetNextEnabled();
    });
}

// The tabs over the list of sources, without a gap between them.
QLayout* frmQuarn_SelectTable::MakeSourceList() {
    tabSource_ = new QTabBar;
    tabSource_->setObjectName("tabSource");
    tabSource_->addTab("Tables");
    tabSource_->addTab("Queries");
    tabSource_->addTab("Both");
    tabSource_->setExpanding(false);
    lvwTableQuery_ = new QTreeWidget;
    lvwTableQuery_->setObjectName("lvwTableQuery");
    lvwTableQuery_->setHeaderLabels({"Name", "Type"});
    lvwTableQuery_->setRootIsDecorated(false);
    lvwTableQuery_->setUniformRowHeights(true);
    lvwTableQuery_->header()->setSectionsClickable(true);
    lvwTableQuery_->header()->setStretchLastSection(false);
    lvwTableQuery_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lvwTableQuery_->setColumnWidth(1, 90);
    m_ListView.SetListView(lvwTableQuery_);
    m_ListView.SetFullRowSelect();
    auto* sourceBox = new QVBoxLayout;
    sourceBox->setSpacing(0);
    sourceBox->addWidget(tabSource_);
    sourceBox->addWidget(lvwTableQuery_, 1);
    return sourceBox;
}

// The name box with its label and the View button.
QLayout* frmQuarn_SelectTable::MakeNameRow(QPushButton*& cmdViewTable) {
    auto* lblName = new QLabel("&Source name:");
    lblName->setObjectName("lblTable");
    txtTable_ = new QLineEdit;
    txtTable_->setObjectName("txtTable");
    lblName->setBuddy(txtTable_);
    cmdViewTable = new QPushButton("&View");
    cmdViewTable->setObjectName("cmdViewTable");
    cmdViewTable->setAutoDefault(false);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(lblName);
    nameRow->addWidget(txtTable_, 1);
    nameRow->addWidget(cmdViewTable);
    return nameRow;
}

void frmQuarn_SelectTable::LayOut(QLabel* heading, QLayout* sources, QLayout* nameRow) {
    nav_ = new QHBoxLayout;
    AddNavButton(nav_, 0, "Help");
    nav_->addStretch();
    AddNavButton(nav_, 1, "< &Back");
    AddNavButton(nav_, 2, "&Next >");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(sources, 1);
    layout->addLayout(nameRow);
    layout->addWidget(LockNote());
    layout->addLayout(nav_);
    // 6675 by 6150 twips.
    setFixedSize(445, 410);
}

void frmQuarn_SelectTable::SetTabOrder(QPushButton* cmdViewTable) {
    setTabOrder(tabSource_, lvwTableQuery_);
    setTabOrder(lvwTableQuery_, txtTable_);
    setTabOrder(txtTable_, cmdViewTable);
    // The page opens on its list, so that typing a name's first letters finds it.
    lvwTableQuery_->setFocus(Qt::OtherFocusReason);
}

void frmQuarn_SelectTable::Wire(QPushButton* cmdViewTable) {
    connect(tabSource_, &QTabBar::currentChanged, this, [this](int index) {
        Guarded("frmQuarn_SelectTable:tabSource_Click", [&] { LoadQueryTableLists(index + 1); });
    });
    connect(lvwTableQuery_, &QTreeWidget::itemClicked, this, [this] { ListClicked(); });
    // A row chosen with the keys names the source as a click does.
    connect(lvwTableQuery_, &QTreeWidget::itemSelectionChanged, this, [this] { ListClicked(); });
    connect(lvwTableQuery_, &QTreeWidget::itemDoubleClicked, this, &frmQuarn_SelectTable::RowChosen);
    ActOnReturn(lvwTableQuery_, [this] { RowChosen(lvwTableQuery_->currentItem()); });
    connect(lvwTableQuery_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        Guarded("frmQuarn_SelectTable:lvwTableQuery_ColumnClick", [&] { m_ListView.OnColumnClick(column); });
    });
    connect(txtTable_, &QLineEdit::textChanged, this,
            [this] { Guarded("frmQuarn_SelectTable:txtTable_Change", [&] { SetNextEnabled(); }); });
    connect(cmdViewTable, &QPushButton::clicked, this, [this] { ViewTable(); });
}

frmQuarn_SelectTable::~frmQuarn_SelectTable() {
    Guarded("frmQuarn_SelectTable:Form_Unload", [this] { wiz_ = nullptr; });
}

void frmQuarn_SelectTable::Wiz(CZantelsPropWiz* wiz) {
    Guarded("frmQuarn_SelectTable:Set Wiz", [&] {
        if (wiz_ || !wiz) return;
        wiz_ = wiz;
        txtTable_->setText(QString::fromStdString(wiz_->Table()));
        SetNextEnabled();
    });
}

std::vector<frmQuarn_SelectTable::Source> frmQuarn_SelectTable::Sources(int kind) const {
    std::vector<Source> sources;
    dao::DatabasePtr db = store::CurrentDatabase();
    if (!db) return sources;
    if (kind == 1 || kind == 3) {
        const auto tables = db->TableDefs();
        for (const dao::TableDefPtr& table : *tables)
            if (!HiddenTable(table->Name())) sources.push_back({table->Name(), false});
    }
    if (kind == 2 || kind == 3) {
        const auto queries = db->QueryDefs();
        for (const dao::QueryDefPtr& query : *queries)
            if (!StartsWith(vb::UCase(query->Name()), "~TMPCLP") && query->Type() == dao::dbQSelect)
                sources.push_back({query->Name(), true});
    }
    return sources;
}

void frmQuarn_SelectTable::LoadQueryTableLists(int kind) {
    Guarded("frmQuarn_SelectTable:LoadTableLists", [&] {
        // Under another program's lock the page says it waits and lists the
        // sources when the lock ends; a name can still be typed meanwhile.
        ReadWhenUnlocked("frmQuarn_SelectTable:LoadTableLists",
                         "Another program holds the database locked: the tables and queries are listed when it "
                         "lets go.",
                         [this, kind](bool) { ShowSources(kind, Sources(kind)); });
    });
}

void frmQuarn_SelectTable::ShowSources(int kind, std::vector<Source> sources) {
    // The same list again keeps its rows as they stand: the chosen row,
    // the user's sort and the scroll position.
    if (kind == listedKind_ && sources == listed_) return;
    QTreeWidgetItem* current = lvwTableQuery_->currentItem();
    const QString chosen = current && current->isSelected() ? current->text(0) : QString();
    const CListView::RedrawPaused redraw(m_ListView);
    lvwTableQuery_->clear();
    listedKind_ = kind;
    listed_ = std::move(sources);
    const QIcon tableIcon = style()->standardIcon(QStyle::SP_FileDialogDetailedView);
    const QIcon queryIcon = style()->standardIcon(QStyle::SP_FileDialogContentsView);
    for (const Source& source : listed_) {
        const char* type = source.query ? "Query" : "Table";
        auto* row = new CListViewItem(lvwTableQuery_);
        row->setText(0, QString::fromStdString(source.name));
        row->setIcon(0, source.query ? queryIcon : tableIcon);
        row->setData(0, Qt::UserRole, QString(type).toLower());
        row->setText(1, type);
    }
    Reselect(chosen);
}

void frmQuarn_SelectTable::Reselect(const QString& name) {
    if (name.isEmpty()) return;
    const QList<QTreeWidgetItem*> found = lvwTableQuery_->findItems(name, Qt::MatchExactly, 0);
    if (found.isEmpty()) return;
    // Chosen again as it was, so the name box keeps what the user left in it.
    const QSignalBlocker quiet(lvwTableQuery_);
    lvwTableQuery_->setCurrentItem(found.front());
    lvwTableQuery_->scrollToItem(found.front());
}

void frmQuarn_SelectTable::showEvent(QShowEvent* event) {
    // Tables made or dropped since the last showing, by the program or
    // another one, on the tab last chosen.
    LoadQueryTableLists(tabSource_->currentIndex() + 1);
    CWizardPage::showEvent(event);
}

void frmQuarn_SelectTable::SetNextEnabled() {
    Guarded("frmQuarn_SelectTable:SetNextEnabled",
            [&] { findChild<QPushButton*>("cmdNav_2")->setEnabled(!txtTable_->text().trimmed().isEmpty()); });
}

void frmQuarn_SelectTable::UseAsChangeDialog() {
    auto* help = findChild<QPushButton*>("cmdNav_0");
    auto* cancel = findChild<QPushButton*>("cmdNav_1");
    auto* ok = findChild<QPushButton*>("cmdNav_2");
    cancel->setText("Cancel");
    ok->setText("OK");
    for (QPushButton* b : {help, cancel, ok}) nav_->removeWidget(b);
    nav_->addWidget(ok);
    nav_->addWidget(cancel);
    nav_->addWidget(help);
    setTabOrder(cancel, help);
    setTabOrder(ok, cancel);
}

void frmQuarn_SelectTable::RowChosen(QTreeWidgetItem* row) {
    Guarded("frmQuarn_SelectTable:lvwTableQuery_DblClick", [&] {
        if (row) lvwTableQuery_->setCurrentItem(row);
        ListClicked();
        NavClicked(2);
    });
}

void frmQuarn_SelectTable::ListClicked() {
    Guarded("frmQuarn_SelectTable:lvwTableQuery_Click", [&] {
        QTreeWidgetItem* row = lvwTableQuery_->currentItem();
        if (row && row->isSelected()) txtTable_->setText(row->text(0));
    });
}

void frmQuarn_SelectTable::ViewTable() {
    Guarded("frmQuarn_SelectTable:cmdViewTable_Click", [&] {
        // The source Next would take, the name in the box (a click on a row
        // puts the row's name there); a blank box leaves the highlighted row.
        // A name that is neither table nor query is told so by the preview.
        QString name = txtTable_->text();
        const QList<QTreeWidgetItem*> selected = lvwTableQuery_->selectedItems();
        if (name.trimmed().isEmpty()) name = selected.isEmpty() ? QString() : selected.front()->text(0);
        if (name.trimmed().isEmpty()) return;
        // A modal preview over the page, gone with its rows when it closes.
        frmDataGridDialog preview(this);
        preview.ShowTableData(name.toStdString(), "Input table or query - ");
    });
}

void frmQuarn_SelectTable::NavClicked(int index) {
    Guarded("frmQuarn_SelectTable:cmdNav_Click", [&] {
        auto* button = findChild<QPushButton*>(QString("cmdNav_%1").arg(index));
        if (!button || !button->isEnabled()) return;
        switch (index) {
            case 0:
                ShowPageHelp();
                break;
            case 1:
                NavResult(wizard::kBack);
                hide();
                break;
            case 2:
                NavResult(wizard::kNext);
                if (wiz_) wiz_->Table(txtTable_->text().toStdString());
                hide();
                break;
            default:
                break;
        }
    });
}
