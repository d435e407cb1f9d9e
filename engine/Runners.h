// The runners, one per analysis, and the table the dispatch reads them from.
// Each runner turns the stored options of the current scenario into the
// arguments of its analysis's entry and calls it once, through the entry
// table of analysis/AnalysisEntries.h. An analysis is added here in two
// lines: its runner's declaration (defined in Runners.cpp) and its row in
// the table.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "QuantaraImpl.h"
#include "RunContext.h"
#include "ScenarioSchema.h"
#include "ZantelsScenario.h"
#include "analysis/AnalysisEntries.h"

namespace engine {

std::string RunDescribe_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                               bool fW);
std::string RunFrequency_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                                bool fW);
std::string RunPercentile_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG,
                                 int16_t nX, bool fW);
std::string RunCompare_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                              bool fY, bool fW);
std::string RunMatrix_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                             bool fW);
std::string RunRegression_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG,
                                 int16_t nX, bool fW);
std::string RunCrosstab_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                               bool fW);
std::string RunGroup_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nC,
                            int16_t nX, bool fW);
std::string RunChiSquare_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nC,
                                bool fW);
std::string RunSignFit_s_Zelk(RunContext& q, const std::string& mode, const CZantelsScenario& s, FieldNames& strFields,
                              int16_t nG, int16_t nX, bool fW);
std::string RunNPPaired_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                               bool fY, bool fW);
std::string RunNPTwoSample_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG,
                                  int16_t nC, int16_t nX, bool fW);
std::string RunNPNSample_s_Zelk(RunContext& q, const std::string& Table, const std::string& OutputTable1,
                                const std::string& OutputTable2, FieldNames& strFields, int16_t nG, int16_t nC,
                                int16_t nX, bool fW);

// How the dispatch calls a runner: with the scenario and its field roles.
using Runner = std::string (*)(RunContext& q, const CZantelsScenario& s, FieldRoles& r);

struct RunnerEntry {
    store::Analysis id;
    Runner run;
};

// The group analyses share one runner; it runs the t-test and the analyses
// of variance only, and refuses any other (a new one takes a runner of its own).
inline constexpr Runner RunGroupAnalysis = [](RunContext& q, const CZantelsScenario& s, FieldRoles& r) {
    return RunGroup_s_Zelk(q, s, r.strFields, r.nG, r.nC, r.nX, r.fW);
};

// One row per analysis of the store's list, in its order; "N Fields" calls
// its entry itself.
inline constexpr std::array kRunners{
    RunnerEntry{store::Analysis::Describe,
                [](RunContext& q, const CZantelsScenario& s, FieldRoles& r) {
                    return RunDescribe_s_Zelk(q, s, r.strFields, r.nG, r.nX, r.fW);
                }},
    RunnerEntry{store::Analysis::Frequency,
                [](RunContext& q, const CZantelsScenario& s, FieldRoles& r) {
                    return RunFrequency_s_Zelk(q, s, r.strFields, r.nG, r.nX, r.fW);
                }},
    RunnerEntry{store::Analysis::Percentiles,
                [](RunContext& q, const CZantelsScenario& s, FieldRoles& r) {
                    return RunPercentile_s_Zelk(q, s, r.strFields, r.nG, r.nX, r.fW);
                }},
    RunnerEntry{store::Analysis::Compare,
                [](RunContext& q, const CZantelsScenario& s, FieldRoles& r) {
                    return RunCompare_s_Zelk(q, s, r.strFields, r.nG, r.nX, r.fY, r.fW);
                }},
    RunnerEntry{store::Analysis::Matrix,
                [](RunContext& q, const CZantelsScenario& s, FieldRoles& r) {
                    return RunMatrix_s_Zelk(q, s, r.strFields, r.nG, r.nX, r.fW);
                }},
    RunnerEntry{store::Analysis::Regression,
                [](RunContext& q, const CZantelsScenario& s, FieldRoles& r) {
                    return RunRegression_s_Zelk(q, s, r.strFields, r.nG, r.nX, r.fW);
                }},
    RunnerEntry{store::Analysis::Crosstab,
                [](RunContext& q, const CZantelsScenario& s, FieldRoles& r) {
                    return RunCrosstab_s_Zelk(q, s, r.strFields, r.nG, r.nX, r.fW);
                }},
    RunnerEntry{store::Analysis::TwoSampleTTest, RunGroupAnalysis},
    RunnerEntry{store::Analysis::Anova, RunGroupAnalysis},
    RunnerEntry{store::Analysis::TwoWayAnova, RunGroupAnalysis},
    RunnerEntry{store::Analysis::ChiSquare,
                [](RunContext& q, const CZantelsScenario& s, FieldRoles& r) {
                    return RunChiSquare_s_Zelk(q, s, r.strFields, r.nG, r.nC, r.fW);
                }},
    RunnerEntry{store::Analysis::SignTest,
                [](RunContext& q, const CZantelsScenario& s, FieldRoles& r) {
                    return RunSignFit_s_Zelk(q, "Sign", s, r.strFields, r.nG, r.nX, r.fW);
                }},
    RunnerEntry{store::Analysis::KSFit,
                [](RunContext& q, const CZantelsScenario& s, FieldRoles& r) {
                    return RunSignFit_s_Zelk(q, "Fit", s, r.strFields, r.nG, r.nX, r.fW);
                }},
    RunnerEntry{store::Analysis::TwoSample,
                [](RunContext& q, const CZantelsScenario& s, FieldRoles& r) {
                    return RunNPTwoSample_s_Zelk(q, s, r.strFields, r.nG, r.nC, r.nX, r.fW);
                }},
    RunnerEntry{store::Analysis::NSample,
                [](RunContext& q, const CZantelsScenario& s, FieldRoles& r) {
                    return RunNPNSample_s_Zelk(q, s.Table(), s.OutputTable1(), s.OutputTable2(), r.strFields, r.nG,
                                               r.nC, r.nX, r.fW);
                }},
    RunnerEntry{store::Analysis::PairedFields,
                [](RunContext& q, const CZantelsScenario& s, FieldRoles& r) {
                    return RunNPPaired_s_Zelk(q, s, r.strFields, r.nG, r.nX, r.fY, r.fW);
                }},
    RunnerEntry{store::Analysis::NFields,
                [](RunContext& q, const CZantelsScenario& s, FieldRoles& r) {
                    return AnalysisEntries().NonParamFriedman(s.OutputTable1(), s.OutputTable2(), s.Table(),
                                                              r.strFields, r.nG, r.nX, r.fW, q);
                }},
};
// Only the ids are compared: a function's address is no constant expression
// in every build (the sanitizer build refuses it).
static_assert(
    [] {
        if (kRunners.size() != store::kAnalysisList.size()) return false;
        for (size_t i = 0; i < kRunners.size(); ++i)
            if (kRunners[i].id != store::kAnalysisList[i].id) return false;
        return true;
    }(),
    "the runners' table has one row per analysis of the store's list, in its order");

}  // namespace engine
