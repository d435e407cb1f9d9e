// MDIMain: the program's frame, "Quantara Scenario Designer". It holds the
// document area every other window opens in, the menus (each menu's items
// named "mnu<group>_<index>"), the toolbar, the status bar with the open
// database's path, the recently used databases at the foot of the File
// menu, and shows the unexpected-error dialog for the program's error stack.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QString>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CErr_Zelk;
class CMRU;
class CWinPos;
class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QMenuBar;
class QToolBar;
class frmQuarn_Calculator;
class frmStatMain;

class MDIMain : public QMainWindow {
    Q_OBJECT
public:
    explicit MDIMain(QWidget* parent = nullptr);
    ~MDIMain() override;

    // The load: caption, position, recently used list, then the open-database
    // loop; the scenario list follows a successful open.
    void Load();

    QMdiArea* MdiArea() const { return mdiArea_; }
    // Adds a window to the document area and shows it; with a size, the
    // window (frame included) opens at that size, placed by the area.
    QMdiSubWindow* AddChild(QWidget* child, const QSize& size = QSize());
    // The status bar's text: the open database's full path.
    void SetDatabasePath(const QString& path);
    QString DatabasePath() const;
    // The recently used databases; the File menu shows them as they change.
    CMRU& MRU() { return *m_MRU; }
    // A menu item by its object name ("mnufileItems_200"), or null.
    QAction* MenuAction(const QString& name) const;
    // The hidden right-click menu of the scenario list, shown at the cursor
    // with `defaultIndex` (an index of mnuRightClickItems, or -1) in bold.
    void PopupRightClickMenu(const QPoint& globalPos, int defaultIndex = -1);
    QMenu* RightClickMenu() const { return mnuRightClick_; }

    // Enables the items that need the scenario list, as each menu opens.
    void UpdateFileMenu();
    void UpdateToolsMenu();

    // The open-database loop; True when a database was opened and accepted.
    bool SelectDatabaseDialog(const std::string& proposedPath);
    // Opens the database as the current one and names it in the status bar;
    // True when it opened with its scenario tables.
    bool OpenDatabase(const std::string& path, const std::string& workgroup, const std::string& user,
                      const std::string& password);
    // Shows the scenario list (made when needed).
    void ShowStatMain();
    // Closes the scenario list when it is open.
    void CloseStatMain();
    // The scenario list while it is open, else null.
    frmStatMain* StatMain() const;
    // Closes the scenario list, then every data-grid child window (not the modal grid).
    void CloseScenarioWindows();
    // Shows the probability calculator without waiting for it (one window, made when needed).
    void ShowCalculator();

    // Opens a new grid window on `tableName`, captioned "<purpose>: <tableName>",
    // at three quarters of the document area.
    void OpenDataGridWindow(const QString& purpose, const QString& tableName);
    // Closes every grid window whose caption ends with ": " and `tableName`.
    void CloseDataGridWindows(const QString& tableName);

    // Handlers of the item groups, by index.
    void mnufileItems_Click(int index);
    void mnuFileMRU_Click(int index);
    void mnuToolsItems_Click(int index);
    void mnuWindowItems_Click(int index);
    void mnuHelpItems_Click(int index);
    void mnuOnWebItems_Click(int index);
    void mnuRightClickItems_Click(int index);
    void tlbMain_ButtonClick(const QString& key);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* AddItem(QMenu* menu, const QString& group, int index, const QString& caption);
    void BuildMenus();
    // Each menu of the bar with its items wired, the recent list hidden until filled.
    QMenu* BuildFileMenu(QMenuBar* bar);
    QMenu* BuildToolsMenu(QMenuBar* bar);
    void BuildWindowMenu(QMenuBar* bar);
    QMenu* BuildHelpMenu(QMenuBar* bar);
    // The scenario list's pop-up menu.
    void BuildRightClickMenu();
    void BuildToolbar();
    void FillWindowMenu();
    // The Window menu's arrangement `index` (tiled, cascaded, or icons
    // only): the minimised windows in rows along the bottom, the others in
    // the room above them, each title bar clear of the windows in front.
    void ArrangeChildren(int index);
    // Gives a window restored from an icon its own place in the last
    // arrangement while that arrangement stands.
    void RejoinArrangement(QMdiSubWindow* restored);
    // True while every window but `except` is where the last arrangement put it.
    bool ArrangementStands(const QMdiSubWindow* except) const;
    // After the document area has shrunk from `before`: the windows it held
    // that now reach past it come back within it (the last arrangement made
    // again while it stands).
    void KeepWithinArea(const QRect& before);
    void ShowErrorDialog();
    // Shows the recent list in the File menu's items "mnuFileMRU_<n>".
    void ShowRecentList();
    // The scenario list's right-click menu at the cursor, item 0 in bold.
    void ShowScenarioMenu(const QPoint& globalPos, bool secondOutputTable);

    QMdiArea* mdiArea_;
    QLabel* staMainText_;
    QToolBar* tlbMain_;
    QMenu* mnuWindow_ = nullptr;
    QMenu* mnuRightClick_ = nullptr;
    std::map<QString, QAction*> actions_;
    std::unique_ptr<CWinPos> m_WinPos;
    std::unique_ptr<CMRU> m_MRU;
    QPointer<frmStatMain> statMain_;
    QPointer<frmQuarn_Calculator> calculator_;
    // The last arrangement's index (-1: none) and where it put each window.
    struct Arrangement {
        int index = -1;
        std::vector<std::pair<QPointer<QMdiSubWindow>, QRect>> places;
    } arranged_;
    QRect shrunkFrom_;  // the area before a shrink not yet handled, or null
    void ReleaseErrorStack();
    CErr_Zelk* errorStack_ = nullptr;
    int errorConnection_ = 0;
    bool unloaded_ = false;
    bool leavingMenu_ = false;  // an Esc of a menu on its way to the menu
};
