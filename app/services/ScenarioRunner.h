// ScenarioRunner: runs one saved scenario of the open database through the
// engine and shows what came of it. It asks before output tables that exist
// are replaced, has the grids on them closed, shows the engine's progress in the
// status window, keeps every other window from taking input while the
// engine runs (the status window is modal for the run, so a message box or
// dialog shown meanwhile takes its input as usual), shows the failure
// messages and asks for the result grids. A file another program keeps
// locked is told at once, and while the engine runs a lock is waited for a
// second at most, the status window saying so: the window never stands
// still behind another program's transaction. Whatever runs a scenario in
// the program runs it here.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;
class Quantara;
class frmStatus;

class ScenarioRunner : public QObject {
    Q_OBJECT
public:
    // A child of `owner`. The status window is owned by the program's main
    // window, or by `owner`'s window when there is none.
    explicit ScenarioRunner(QWidget* owner = nullptr);
    ~ScenarioRunner() override;

    // Runs scenario `ScenarioNo`; true only when the engine reported success.
    // `agreed`: output tables the user has already agreed to have replaced
    // (Save and Run asked); the run asks only about other existing ones.
    bool Run(long ScenarioNo, const std::vector<std::string>& agreed = {});

    // The text shown while the run waits for another program's lock.
    static QString WaitingText();

signals:
    // Each text the status window shows, as it shows it.
    void StatusPrinted(const QString& text);
    // Before the run replaces an output table: the grids showing it close.
    void GridsClosing(const QString& tableName);
    // After a successful run: a grid on a result table, captioned "<purpose>: <tableName>".
    void GridRequested(const QString& purpose, const QString& tableName);

private:
    class EngineEvents;
    void m_oStats_StatStatus(const std::string& StatusMessage);
    void LockWaited(int waitedMs);
    void Print(const QString& text);
    void EndRun();
    // The steps of a run: the engine made and told where to report, the
    // status window shown and on the screen, the scenario run (an error the
    // engine raises comes back as its text; otherwise `result` is the
    // engine's), and the grids on the result tables asked for.
    void StartEngine();
    void ShowStatusWindow();
    std::optional<std::string> RunInEngine(long ScenarioNo, bool& result);
    void ShowResultGrids(const std::string& output1, const std::string& output2);

    QPointer<QWidget> owner_;
    std::unique_ptr<Quantara> m_oStats;
    std::unique_ptr<EngineEvents> m_oStatsEvents;
    QPointer<frmStatus> status_;
    // Record counts reach the screen at a pace it can follow.
    QElapsedTimer sincePaint_;
};
