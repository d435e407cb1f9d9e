// frmStatMain, "Analysis Scenarios": the scenarios of the open database by
// family (three tabs) and analysis (a row of option buttons per family), with
// New, Edit, Duplicate, Delete, Run and Help, the right-click menu of the
// frame (asked for), the views of a scenario's tables, and the run of a scenario through
// the engine with its progress in the status window. The list follows the
// file as the data grids do: what another program changes shows within a
// second, and the chosen scenario stays chosen by its number.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ScenarioCatalogue.h"
#include "forms/CListView.h"
#include "forms/CScenarioInfo.h"

class CWinPos;
class CZantelsPropWiz;
class QButtonGroup;
class QFrame;
class QGroupBox;
class QPushButton;
class QTabBar;
class QTimer;
class QTreeWidget;
class ScenarioRunner;

class frmStatMain : public QWidget {
    Q_OBJECT
public:
    explicit frmStatMain(QWidget* parent = nullptr);
    ~frmStatMain() override;

    // The load, once the window sits in the frame: position, filters "P" and
    // "*", the list, the family frames.
    void Load();

    const std::string& ScenTypeMain() const { return scenTypeMain_; }
    void ScenTypeMain(const std::string& value) { scenTypeMain_ = value; }
    const std::string& ScenType() const { return scenType_; }
    void ScenType(const std::string& value) { scenType_ = value; }
    bool SysChange() const { return sysChange_; }
    void SysChange(bool value) { sysChange_ = value; }

    // Refills the list for the family and analysis chosen. While another
    // program's lock keeps the file from being read, the rows shown and the
    // chosen one stay, and the look at the file reads them once it ends.
    void LoadScenarios();
    // Takes the scenarios as the file has them now when it changed since the
    // list was read (by another program or this one). The chosen scenario
    // stays chosen, by its number; when it has gone, none is chosen and the
    // frame's status bar says so. A sort by a column stays. Made twice a
    // second and before every command; never while a run is under way.
    void FollowFile();
    // The right-click menu's commands, by the index of mnuRightClickItems.
    void ContextMenuHandler(int index);
    // The code generator for the selected scenario.
    void GenerateCode();

    // The selected row's scenario; none when no row is selected.
    std::optional<CScenarioInfo> GetScenarioInfo() const;

    // Runs scenario `ScenarioNo`, or the selected one for 0; true only when the engine succeeded.
    // `agreed`: existing output tables the user already agreed to have replaced.
    bool RunCurrentScenario(long ScenarioNo, const std::vector<std::string>& agreed = {});

    void CreateNewScenario();
    void EditCurrentScenario(long startPage);
    void SetOptionCalcType(const std::string& analysisName);

    void DuplicateCurrentScenario();
    void DeleteCurrentScenario();
    // Removes the scenario's rows; with `expected`, only while the file holds
    // that scenario, the user told otherwise.
    void DeleteScenario(long ScenarioID, const store::StoredScenario* expected = nullptr);
    void ViewDataTable();
    void ViewOutputTable1();
    void ViewOutputTable2();

    void cmdAction_Click(int index);
    void tabMain_Click();
    void optParAnalysisType_Click(int index);
    void optGroupAnalysistype_Click(int index);
    void optNonParAnalysisType_Click(int index);
    void lvwScenarios_MouseUp(Qt::MouseButton button, const QPoint& globalPos);

    // The wizard object of the last New or Edit (null before the first).
    const std::shared_ptr<CZantelsPropWiz>& Wizard() const { return wizard_; }

signals:
    // Each progress text of a run, as the status window shows it.
    void StatusPrinted(const QString& text);
    // A right click on a scenario: the right-click menu at the cursor, its
    // "View Output Table 2" enabled when the scenario has a second table.
    void ContextMenuRequested(const QPoint& globalPos, bool secondOutputTable);
    // A grid window on a table, captioned "<purpose>: <tableName>".
    void GridRequested(const QString& purpose, const QString& tableName);
    // The grid windows on a table close (a run is about to replace it).
    void GridsClosing(const QString& tableName);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ShowFamilyFrame(int tab);
    // The 1-based position of the selected row; 0 when none.
    int SelectedIndex() const;
    // The family and analysis the list is to show, as one text.
    std::string Filter() const;
    // The number of the chosen scenario as the list shows it; empty when none.
    QString ChosenId() const;
    // After a command: the scenario chosen before it (`chosen`, at position
    // `remembered`) stays chosen; one the command itself deleted leaves the
    // row at its position chosen; one gone otherwise leaves none chosen.
    // None chosen before leaves none, with the note of `goneBefore` if any.
    void RestoreSelection(const QString& chosen, int remembered, const QString& goneBefore);
    // The scenarios of the filters, the watch told that the file as it is now is seen.
    std::vector<store::ScenarioRow> ReadScenarios(const dao::DatabasePtr& db);
    void FillList(const std::vector<store::ScenarioRow>& rows);
    // Makes the row of that number the chosen one; false when it is not listed.
    bool Choose(const QString& id);
    // Nothing chosen; with a number, the status bar says that scenario has gone.
    void ChooseNothing(const QString& goneId = {});
    // Before a command on the chosen scenario: the list follows the file, and
    // when the chosen scenario has gone from it the user is told and false
    // returned, so the command acts on no scenario.
    bool ChosenStillListed();
    void ClearGoneNote();
    // The status bar's note that a reload met another program's lock, shown or ended.
    void LockNote(bool show);
    void FitListColumns();
    // Where the list begins, right of the widest family frame.
    int ListLeft() const;
    // The least inner size at which every control shows and none overlap.
    QSize SmallestSize() const;
    void SelectOption(QButtonGroup* group, int index);
    QWidget* SubWindow() const;

    std::string scenTypeMain_ = "P";
    std::string scenType_ = "*";
    bool sysChange_ = false;
    bool unloaded_ = false;
    bool columnsFitted_ = false;

    QTabBar* tabMain_ = nullptr;
    QFrame* tabBody_ = nullptr;
    std::array<QGroupBox*, 3> frames_{};
    QButtonGroup* optParAnalysisType_ = nullptr;
    QButtonGroup* optGroupAnalysistype_ = nullptr;
    QButtonGroup* optNonParAnalysisType_ = nullptr;
    QTreeWidget* lvwScenarios_ = nullptr;
    std::array<QPushButton*, 6> cmdAction_{};

    // The look at the file, made by `follow_`; `followAgain_` when the last
    // read failed and is made again at the next look whatever it finds.
    std::unique_ptr<store::CatalogueWatch> watch_;
    QTimer* follow_ = nullptr;
    bool followAgain_ = false;
    // The rows the list was filled with, in the query's order.
    std::vector<store::ScenarioRow> shown_;
    // The Filter those rows are of.
    std::string shownFilter_;
    // The column the user sorted by since the last load; -1 for none.
    int sortedBy_ = -1;
    bool running_ = false;
    // The scenario the last Delete of this window removed.
    QString deletedId_;
    // The scenario the status bar says has gone, and that note.
    QString goneId_;
    QString goneNote_;
    QString lockNote_;

    std::unique_ptr<CWinPos> m_WinPos;
    CListView m_ListView;
    ScenarioRunner* runner_ = nullptr;
    std::shared_ptr<CZantelsPropWiz> wizard_;
};
