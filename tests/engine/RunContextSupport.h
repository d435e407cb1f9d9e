// The engine object's run context, for the tests that look inside a run.
#pragma once

#include "QuantaraImpl.h"
#include "RunContext.h"

namespace enginetest {

// The context of the object's current (or last) run; one is made when the
// object has not run yet.
inline RunContext& LastRun(Quantara& q) {
    auto& state = QuantaraAccess::Of(q);
    if (!state.run) state.run = std::make_unique<RunContext>();
    return *state.run;
}

// Loads scenario id into the object's run context the way a run does, from
// the object's scenario database and table names, without running it.
inline bool LoadLikeARun(Quantara& q, int32_t id, std::string& err) {
    RunContext& run = LastRun(q);
    run.ScenarioDatabase(q.get_ScenarioDatabase());
    return engine::LoadScenario(run, QuantaraAccess::Of(q).tables, id, err);
}

}  // namespace enginetest
