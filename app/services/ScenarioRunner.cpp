#include "services/ScenarioRunner.h"

#include <QApplication>
#include <QWindow>
#include <QWidget>
#include <algorithm>
#include <optional>

#include "CurrentDatabase.h"
#include "ScenarioCatalogue.h"
#include "ErrorStack.h"
#include "Hourglass.h"
#include "Merivox6/Quantara.h"
#include "shell/Program.h"
#include "dao/Dao.h"
#include "forms/frmStatus.h"
#include "shell/modMerivox.h"
#include "services/ErrorBoundary.h"
#include "services/OverwriteQuestion.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace {

void Message(const std::string& text) { ui::MsgBox(text, ui::vbOKOnly, program::kAppTitle); }

// A short wait for a lock (another program committing) is not worth a word.
constexpr int kWaitWorthSaying = 200;
// While the engine runs, with the status window saying it waits.
constexpr int kLockWaitRunningMs = 1000;

constexpr const char* kRunFailed = "The test of this scenario failed for the following reason:\r\n\r\n";

// The scenario to run, as the question about its output tables names it;
// none, the user told why, when the file is locked, the scenario is not
// found, the user does not agree to replace its output tables, or another
// program changed it while the question stood.
std::optional<store::StoredScenario> AgreedScenario(const dao::DatabasePtr& db, long ScenarioNo,
                                                    const std::vector<std::string>& agreed) {
    CErr_Zelk& stack = ErrStack();
    // Another program's lock is told at once, before anything is asked.
    if (RefuseLockedDatabase("run")) return std::nullopt;
    // The scenario as the question names it: the run is of that one or none.
    std::optional<store::StoredScenario> chosen = store::ReadStoredScenario(db, ScenarioNo);
    if (!chosen) {
        Message("Scenario not found: " + std::to_string(ScenarioNo));
        return std::nullopt;
    }
    stack.CurrentOperation("Get Table Names ");
    const std::string output1 = chosen->Text("Scenario_Output_Table1_Name");
    const std::string output2 = chosen->Text("Scenario_Output_Table2_Name");
    if (!AgreeToOverwrite(db, output1, output2, agreed)) return std::nullopt;
    // The question may have stood a while.
    if (RefuseLockedDatabase("run")) return std::nullopt;
    if (const std::optional<store::StoredScenario> now = store::ReadStoredScenario(db, ScenarioNo); now != chosen) {
        TellScenarioChanged(ScenarioNo, *chosen, now ? &*now : nullptr, "Nothing was run.");
        return std::nullopt;
    }
    return chosen;
}

}  // namespace

// Hands the engine's progress texts to the runner.
class ScenarioRunner::EngineEvents : public QuantaraEvents {
public:
    explicit EngineEvents(ScenarioRunner* owner) : owner_(owner) {}
    void StatStatus(std::string& StatusMessage) override { owner_->m_oStats_StatStatus(StatusMessage); }

private:
    ScenarioRunner* owner_;
};

ScenarioRunner::ScenarioRunner(QWidget* owner) : QObject(owner), owner_(owner) {}

ScenarioRunner::~ScenarioRunner() { EndRun(); }

QString ScenarioRunner::WaitingText() { return "Waiting for another program to finish with the database..."; }

bool ScenarioRunner::Run(long ScenarioNo, const std::vector<std::string>& agreed) {
    bool result = false;
    CErr_Zelk& stack = ErrStack();
    // The error report names the run's steps as it always has.
    Guarded("frmStatMain:RunScenarioTest", [&] {
        // Whatever happens, the run leaves no status window, pointer, engine or lock observer behind.
        CHourglass hourglass;
        struct Cleanup {
            ScenarioRunner* self;
            ~Cleanup() { self->EndRun(); }
        } cleanup{this};

        // A run writes its result tables: refused on a read-only file.
        if (RefuseReadOnlyDatabase()) return;
        stack.CurrentOperation("Open Recordset ");
        const dao::DatabasePtr db = store::CurrentDatabase();
        if (!db || !store::CurrentWorkspace()) vb::Raise(vb::err::kObjectVariableNotSet, "No database is open");
        std::optional<dao::LockWaitLimit> limit(std::in_place, kLockWaitBeforeMs);
        const std::optional<store::StoredScenario> chosen = AgreedScenario(db, ScenarioNo, agreed);
        if (!chosen) return;
        const std::string output1 = chosen->Text("Scenario_Output_Table1_Name");
        const std::string output2 = chosen->Text("Scenario_Output_Table2_Name");

        stack.CurrentOperation("Close output forms if open ");
        if (!output1.empty()) emit GridsClosing(QString::fromStdString(output1));
        if (!output2.empty()) emit GridsClosing(QString::fromStdString(output2));

        StartEngine();
        stack.CurrentOperation("Set database ");
        m_oStats->putref_ScenarioDatabase(db);

        stack.CurrentOperation("Show status form ");
        hourglass.Value(true);
        ShowStatusWindow();
        limit.emplace(kLockWaitRunningMs);
        dao::SetLockWaitObserver([this](int waitedMs) { LockWaited(waitedMs); });

        const std::optional<std::string> raised = RunInEngine(ScenarioNo, result);
        dao::SetLockWaitObserver({});
        limit.reset();
        if (raised) {
            result = false;
            Message(kRunFailed + *raised);
            m_oStats.reset();
        } else if (!result) {
            Message(kRunFailed + m_oStats->get_ErrorInfo());
        }
        EndRun();
        hourglass.Value(false);
        if (result) ShowResultGrids(output1, output2);
    });
    // A finished run names no step, so a later error report does not point at it.
    stack.CurrentOperation("");
    return result;
}

void ScenarioRunner::StartEngine() {
    ErrStack().CurrentOperation("Creating m_oStats ");
    m_oStats = std::make_unique<Quantara>();
    m_oStatsEvents = std::make_unique<EngineEvents>(this);
    m_oStats->Advise(m_oStatsEvents.get());
}

void ScenarioRunner::ShowStatusWindow() {
    QWidget* owner = program::MainWindow();
    if (!owner && owner_) owner = owner_->window();
    status_ = new frmStatus(owner);
    // One run at a time, and no other window takes input meanwhile; a box
    // the engine or this run shows opens above it and takes its own.
    status_->setWindowModality(Qt::ApplicationModal);
    status_->show();
    // On the screen before the engine starts: a text printed while the run
    // waits for a lock is painted without the event loop, which an unmapped
    // window would not show.
    QElapsedTimer mapping;
    mapping.start();
    while (!(status_->windowHandle() && status_->windowHandle()->isExposed()) && mapping.elapsed() < 1000)
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    status_->repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    sincePaint_.invalidate();
}

std::optional<std::string> ScenarioRunner::RunInEngine(long ScenarioNo, bool& result) {
    ErrStack().CurrentOperation("Running scenario");
    const int32_t number = static_cast<int32_t>(ScenarioNo);
    const vb::Variant none = vb::Variant::Missing();
    const vb::Variant empty{std::string()};
    try {
        result = m_oStats->RunScenario(number, none, none, none, empty, empty, empty, empty, empty, empty,
                                       vb::Variant(true), vb::Variant(true));
    } catch (const vb::VbError& e) {
        return e.Description();
    } catch (const std::exception& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

void ScenarioRunner::ShowResultGrids(const std::string& output1, const std::string& output2) {
    CErr_Zelk& stack = ErrStack();
    if (!output2.empty()) {
        stack.CurrentOperation("Loading output grid2");
        emit GridRequested("Scenario Output Table 2", QString::fromStdString(output2));
    }
    stack.CurrentOperation("Loading output grid1");
    emit GridRequested("Scenario Output Table", QString::fromStdString(output1));
}

void ScenarioRunner::EndRun() {
    dao::SetLockWaitObserver({});
    if (status_) UnloadForm(status_);
    status_ = nullptr;
    m_oStats.reset();
    m_oStatsEvents.reset();
}

void ScenarioRunner::Print(const QString& text) {
    if (status_) status_->Print(text);
    emit StatusPrinted(text);
}

void ScenarioRunner::m_oStats_StatStatus(const std::string& StatusMessage) {
    const QString text = QString::fromStdString(StatusMessage);
    Print(text);
    // Step texts show at once; record counts at a pace the screen can follow,
    // and the other windows repaint meanwhile (the status window keeps their input away).
    const bool step = text.endsWith("...");
    if (step || !sincePaint_.isValid() || sincePaint_.elapsed() >= 50) {
        if (status_) status_->Show();
        QApplication::processEvents();
        sincePaint_.start();
    }
}

void ScenarioRunner::LockWaited(int waitedMs) {
    if (waitedMs < kWaitWorthSaying || !status_) return;
    if (status_->Text() != WaitingText()) Print(WaitingText());
    // Only the status window is painted: the waiting connection must not be
    // used, and another window's repaint might read through it.
    status_->Show();
}
