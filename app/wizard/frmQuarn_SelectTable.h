// Page 2 of the scenario wizard, "Zelk Statistics Table Selection": the
// scenario's source, a table or saved select query of the current database,
// picked from a list or typed. Next writes the name to Table. The field
// roles page also uses this window as its dialog for changing the source.
#pragma once

#include <string>
#include <vector>

#include "forms/CListView.h"
#include "wizard/WizardPage.h"

class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QTabBar;
class QTreeWidget;
class QHBoxLayout;

class frmQuarn_SelectTable : public CWizardPage {
    Q_OBJECT
public:
    explicit frmQuarn_SelectTable(QWidget* parent = nullptr);
    ~frmQuarn_SelectTable() override;

    // Binds the object once and shows its Table in the name box.
    void Wiz(CZantelsPropWiz* wiz) override;

    // Fills the list: 1 tables, 2 queries, 3 both (tables first). A list
    // that has not changed stays as it is; a changed one keeps the chosen
    // name chosen while it is there.
    void LoadQueryTableLists(int kind);
    // Next is enabled exactly when the name box holds more than blanks.
    void SetNextEnabled();
    // The field roles page's dialog: OK, Cancel, Help from left to right.
    void UseAsChangeDialog();

protected:
    // Every showing lists the sources as the file has them now.
    void showEvent(QShowEvent* event) override;
    void NavClicked(int index) override;

private:
    // The controls, in the order they are made and laid out.
    QLayout* MakeSourceList();
    QLayout* MakeNameRow(QPushButton*& cmdViewTable);
    void LayOut(QLabel* heading, QLayout* sources, QLayout* nameRow);
    void SetTabOrder(QPushButton* cmdViewTable);
    void Wire(QPushButton* cmdViewTable);

    struct Source {
        std::string name;
        bool query = false;
        bool operator==(const Source&) const = default;
    };
    // The sources of a tab as the file has them (raising 3260 under another
    // program's lock), and the list made to show them.
    std::vector<Source> Sources(int kind) const;
    void ShowSources(int kind, std::vector<Source> sources);
    void Reselect(const QString& name);
    void ListClicked();
    // A double click, or Return on the framed row: the row names the source and the page goes on.
    void RowChosen(QTreeWidgetItem* row);
    void ViewTable();

    CListView m_ListView;
    QTabBar* tabSource_;
    QTreeWidget* lvwTableQuery_;
    QLineEdit* txtTable_;
    QHBoxLayout* nav_;
    // What the list shows, in the file's order, and for which tab.
    std::vector<Source> listed_;
    int listedKind_ = 0;
};
