#include "analysis/regression/CAnova.h"

#include <cmath>

#include "ErrorStack.h"
#include "RunContext.h"
#include "StatsGeneral.h"
#include "ZantelsScenario.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace {

// The DF column is a Long: a sum of weights beyond its range cannot be
// written there, and the run is refused saying so.
void SetDegreesOfFreedom(const dao::RecordsetPtr& rs, double df, const std::string& field, const RunContext& run) {
    const double whole = std::trunc(df);
    if (std::fabs(whole) > 2147483647.0) {
        const auto& scenario = run.CurrentScenario();
        throw vb::VbError(vb::err::kOverflow,
                          "The degrees of freedom of the field [" + field + "] of [" +
                              (scenario ? scenario->Table() : std::string()) + "] (" + vb::CStr(whole) +
                              ") are beyond the whole numbers the DF column holds (up to 2147483647): the weights "
                              "add up to too much. Analyse a query that scales the weights down so that they add up "
                              "to less than that, or leave the weight field out.",
                          "WriteAnova");
    }
    ::SetIfFinite(rs, "DF", whole);
}

}  // namespace

// --- the entry -------------------------------------------------------------------------

std::string Quarn_ANOVA(const std::string& strCalcType, int16_t incBlank_b, const std::string& OutTableName,
                        const std::string& DetailTblName, const std::string& strUserTable, FieldNames& strFields,
                        int16_t intGroupFields, int16_t intCompareFields, int16_t intNumFields, bool fWeightField,
                        RunContext& Zantels) {
    CAnova anova(Zantels, strFields, intGroupFields, intCompareFields, intNumFields, fWeightField);
    return anova.Quarn_ANOVA(strCalcType, incBlank_b, OutTableName, DetailTblName, strUserTable);
}

CAnova::CAnova(RunContext& Zantels, FieldNames& strFields, int16_t intGroupFields, int16_t intCompareFields,
               int16_t intNumFields, bool fWeightField)
    : family_(Zantels, strFields, intGroupFields, intCompareFields, intNumFields, fWeightField) {}

std::string CAnova::Quarn_ANOVA(const std::string& strCalcType, int16_t incBlank_b, const std::string& OutTableName,
                                const std::string& DetailTblName, const std::string& strUserTable) {
    ProcScope scope(ErrStack(), "Quarn_ANOVA");
    // The t-test table pairs the values of one compare field.
    tTest_ = vb::UCase(strCalcType) == "T";
    return family_.Run(
        {.table = strUserTable,
         .includeBlanks = incBlank_b != 0,
         .oneCompare = tTest_,
         .output = OutTableName,
         .detail = DetailTblName,
         .createOutput = [&] { return tTest_ ? CreateTTest(OutTableName) : CreateAnova(OutTableName); },
         .walk = {.value = [&](size_t k, const DecimalValue& x, double w,
                               const std::vector<int>& valueNumbers) { AddToPairs(k, x, w, valueNumbers); },
                  .groupEnd = [&](const GroupValues& group, int32_t) { WriteData(group); },
                  .groupStart = [&] { InitPairs(); }}},
        cells_);
}

// --- result tables ------------------------------------------------------------------------

std::string CAnova::CreateAnova(const std::string& OutTableName) {
    ProcScope scope(ErrStack(), "CreateAnova");
    return family_.CreateResultTable(OutTableName, false,
                                     {{"Index", dao::dbInteger},
                                      {"Source_of_Variation", dao::dbText, 70},
                                      "Sum_of_Squares",
                                      {"DF", dao::dbLong},
                                      "Mean_Square",
                                      "F-Value",
                                      "Prob"});
}

std::string CAnova::CreateTTest(const std::string& OutTableName) {
    ProcScope scope(ErrStack(), "CreateTTest");
    return family_.CreateResultTable(OutTableName, true,
                                     {"Count-1", "Count-2", "Mean-1", "Mean-2", "Mean_Diff", "StdDeviation-1",
                                      "StdDeviation-2", "StdError-1", "StdError-2", "DF_Pooled", "t-Value_Pooled",
                                      "Prob_(2-tail)_Pooled", "DF_Separate", "t-Value_Separate",
                                      "Prob_(2-tail)_Separate"});
}

// --- the two-way cells ------------------------------------------------------------------------

void CAnova::InitPairs() {
    const size_t nC = family_.Compares();
    if (nC < 2) return;
    if (!pairs_.empty()) {
        for (auto& field : pairs_)
            for (PairCells& p : field) p.Clear();
        return;
    }
    pairs_.assign(family_.DataFields(), {});
    for (auto& field : pairs_) {
        for (size_t a = 0; a < nC; ++a) {
            for (size_t b = a + 1; b < nC; ++b) {
                field.emplace_back();
                field.back().Resize(family_.Values(a).Count(), family_.Values(b).Count());
            }
        }
    }
}

void CAnova::AddToPairs(size_t k, const DecimalValue& value, double w, const std::vector<int>& valueNumbers) {
    const size_t nC = family_.Compares();
    if (nC < 2) return;
    size_t u = 0;
    for (size_t a = 0; a < nC; ++a) {
        for (size_t b = a + 1; b < nC; ++b, ++u) {
            PairCells& p = pairs_[k][u];
            const size_t at = p.At(valueNumbers[a], valueNumbers[b]);
            p.cell[at].Add(value, w);
            p.rawSum[at] += value.value * w;
        }
    }
}

// --- rows of a finished group ------------------------------------------------------------------

void CAnova::WriteData(const GroupValues& group) {
    if (tTest_) {
        WriteTTest(group);
    } else {
        WriteAnova(group);
    }
}

void CAnova::WriteTTest(const GroupValues& group) {
    ProcScope scope(ErrStack(), "WriteTTest");
    const CompareValueIndex& values = family_.Values(0);
    for (size_t k = 0; k < family_.DataFields(); ++k) {
        family_.WriteDetail(k, group, cells_);
        for (int i = 1; i <= values.Count(); ++i) {
            if (!(cells_.Cell(k, 0, i).Weights() > 1)) continue;
            for (int j = i + 1; j <= values.Count(); ++j) {
                if (cells_.Cell(k, 0, j).Weights() > 1) WriteTTestRow(group, k, i, j);
            }
        }
    }
}

void CAnova::WriteTTestRow(const GroupValues& group, size_t k, int i, int j) {
    const TTestRow t = TwoSampleTTest(cells_.Cell(k, 0, i), cells_.Cell(k, 0, j), z_);
    const dao::RecordsetPtr& rs = family_.AddResultRow(group, k, i, j);
    ::SetIfFinite(rs, "Count-1", t.n1);
    ::SetIfFinite(rs, "Count-2", t.n2);
    ::SetIfFinite(rs, "Mean-1", t.mean1);
    ::SetIfFinite(rs, "Mean-2", t.mean2);
    ::SetIfFinite(rs, "Mean_Diff", t.meanDiff);
    ::SetIfFinite(rs, "StdDeviation-1", t.sd1);
    ::SetIfFinite(rs, "StdDeviation-2", t.sd2);
    ::SetIfFinite(rs, "StdError-1", t.se1);
    ::SetIfFinite(rs, "StdError-2", t.se2);
    SetIfFinite(rs, "DF_Pooled", t.dfPooled);
    SetIfFinite(rs, "t-Value_Pooled", t.tPooled);
    SetIfFinite(rs, "Prob_(2-tail)_Pooled", t.probPooled);
    SetIfFinite(rs, "DF_Separate", t.dfSeparate);
    SetIfFinite(rs, "t-Value_Separate", t.tSeparate);
    SetIfFinite(rs, "Prob_(2-tail)_Separate", t.probSeparate);
    rs->Update();
}

void CAnova::WriteAnova(const GroupValues& group) {
    ProcScope scope(ErrStack(), "WriteAnova");
    const size_t nC = family_.Compares();
    std::vector<std::string> names;
    for (size_t c = 0; c < nC; ++c) names.push_back(family_.CompareName(c));
    static const std::vector<PairCells> kNoPairs;
    std::vector<std::vector<CellSums>> oneWay(nC);
    for (size_t k = 0; k < family_.DataFields(); ++k) {
        for (size_t c = 0; c < nC; ++c) oneWay[c] = cells_.OneWay(k, c);
        const std::vector<AnovaRow> rows =
            AnovaTable(cells_.Field(k), oneWay, nC >= 2 ? pairs_[k] : kNoPairs, names, z_, &family_.Context());
        if (rows.empty()) continue;  // nothing to analyse: no detail rows either
        family_.WriteDetail(k, group, cells_);
        int16_t index = 0;
        for (const AnovaRow& row : rows) {
            const dao::RecordsetPtr& rs = family_.AddResultRow(group, k);
            rs->Fields(std::string_view("Index"))->Value(++index);
            rs->Fields(std::string_view("Source_of_Variation"))->Value(row.source);
            SetDegreesOfFreedom(rs, row.df, family_.DataName(k), family_.Context());
            ::SetIfFinite(rs, "Sum_of_Squares", row.ss);
            SetIfFinite(rs, "Mean_Square", row.meanSquare);
            SetIfFinite(rs, "F-Value", row.fValue);
            SetIfFinite(rs, "Prob", row.prob);
            rs->Update();
        }
    }
}
