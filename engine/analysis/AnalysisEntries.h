// The entries of the analyses. Each runs one analysis in the run context
// `Zantels`: it reads the source through the engine, writes its result
// tables into the output database and returns "" on success or the error
// text. Field-name arrays are one-based (entry 0 empty): group fields, compare
// fields, value fields, the "Y" field, the weight field.
//
// Texts, counts and flags are passed by value, arrays and the run context
// by reference; Quarn_Xtab takes everything by reference, Quarn_NonParametric
// its five trailing test flags. Integer flags are 16-bit with True = -1.
//
// The runners (engine/Runners.cpp) call the entries through
// AnalysisEntries(), so that a test can put a recording stand-in in place of
// an entry: a new analysis declares its entry here and adds its member to
// AnalysisEntryTable.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class RunContext;

using FieldNames = std::vector<std::string>;

// --- descriptive analyses ------------------------------------------------------------
std::string Quarn_Describe(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                           int16_t intGroupFields, int16_t intNumFields, bool fWeightField, int16_t intRange_b,
                           const std::string& Var_a, int16_t intSum_b, int16_t intCalcMeans_b, int16_t intCalcSkew_b,
                           int16_t intCalcMode_b, const std::string& strPcntiles, const std::string& strConInt,
                           int16_t int95_b, int16_t intCIUser, std::vector<double>& dblPopDev, int16_t tTest_b,
                           std::vector<double>& dblPopMean, const std::string& strFreqOptions, int16_t intFreqIntervals,
                           double dblFreqFirst, double dblFreqWidth, RunContext& Zantels);
std::string Quarn_Frequency(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                            int16_t intGroupFields, int16_t intNumFields, int16_t intWeightField_b,
                            const std::string& strFreqOptions, int16_t intFreqIntervals, double dblFreqFirst,
                            double dblFreqWidth, RunContext& Zantels);
std::string Quarn_Percentile(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                             int16_t intGroupFields, int16_t intNumFields, bool fWeightField,
                             const std::string& strPcntiles, RunContext& Zantels);
std::string Quarn_Compare(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                          int16_t intGroupFields, int16_t intNumFields, bool fWeightField,
                          const std::string& strOptions, RunContext& Zantels);
std::string Quarn_Matrix(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                         int16_t intGroupFields, int16_t intNumFields, int16_t intWeightField_b,
                         const std::string& strTTestTail, const std::string& strOptions, RunContext& Zantels);
std::string Quarn_Xtab(std::string& OutTableName, std::string& ChiTableName, std::string& strUserTable,
                       FieldNames& strFields, int16_t& intRowFields, int16_t& intNumFields, int16_t& intWeightField_b,
                       std::string& strXTabType, std::string& strOptions, RunContext& Zantels);

// --- regression and analysis of variance ------------------------------------------
std::string Quarn_RegressSimple(const std::string& OutTableName, const std::string& ResidualTblName,
                                const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                                int16_t intNumFields, bool fWeightField, bool fAnova, int16_t intYInt_b, int16_t intCI,
                                RunContext& Zantels);
std::string Quarn_RegressMulti(const std::string& OutTableName, const std::string& ResidualTblName,
                               const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                               int16_t intNumFields, bool fWeightField, bool fAnova, int16_t intYInt_b, int16_t intCI,
                               RunContext& Zantels);
std::string Quarn_RegressPoly(const std::string& OutTableName, const std::string& ResidualTblName,
                              const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                              int16_t intNumFields, bool fWeightField, bool fAnova, bool fYInt, int16_t intCI,
                              int16_t intPolyOrder, RunContext& Zantels);
std::string Quarn_ANOVA(const std::string& strCalcType, int16_t incBlank_b, const std::string& OutTableName,
                        const std::string& DetailTblName, const std::string& strUserTable, FieldNames& strFields,
                        int16_t intGroupFields, int16_t intCompareFields, int16_t intNumFields, bool fWeightField,
                        RunContext& Zantels);

// --- non-parametric tests ----------------------------------------------------------
std::string Quarn_ChiSquare(const std::string& OutTableName, const std::string& DetailTableName,
                            const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                            int16_t intCompareFields, int16_t intWeightField_b, bool fDetail, int16_t blanks_b,
                            bool fAll, RunContext& Zantels);
std::string Quarn_SignFitTest(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                              int16_t intGroupFields, int16_t intNumFields, bool fWeightField, bool fFit,
                              std::vector<int16_t>& intFitTests, bool fMean, bool fMedian, bool fCustom,
                              double dblCustom, RunContext& Zantels);
std::string Quarn_NonParametric(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                                int16_t intGroupFields, int16_t intNumFields, int16_t intYField, bool fWeightField,
                                int16_t intSignTest_b, std::vector<double>& dblSignTest, int16_t& intTwoSign_b,
                                int16_t& intWilcoxon_b, int16_t& intSpearman_b, int16_t& intTau_b, int16_t& intChi_b,
                                RunContext& Zantels);
std::string Quarn_NonParamFriedman(const std::string& OutTableName, const std::string& OutTableName2,
                                   const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                                   int16_t intNumFields, bool fWeightField, RunContext& Zantels);
std::string Quarn_MannKSKruskal(const std::string& OutTableName, const std::string& OutTableName2,
                                const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                                int16_t intNumFields, bool fWeightField, int16_t Mann_b, int16_t KS_b,
                                int16_t Kruskal_b, RunContext& Zantels);
std::string Quarn_NonParametricRuns(const std::string& OutTableName, const std::string& strUserTable,
                                    FieldNames& strFields, int16_t intGroupFields, int16_t intNumFields,
                                    int16_t intWeightField_b, int16_t intWald_b, RunContext& Zantels);

// The entries the runners call. Each member starts as the real entry above.
struct AnalysisEntryTable {
    std::function<decltype(Quarn_Describe)> Describe = Quarn_Describe;
    std::function<decltype(Quarn_Frequency)> Frequency = Quarn_Frequency;
    std::function<decltype(Quarn_Percentile)> Percentile = Quarn_Percentile;
    std::function<decltype(Quarn_Compare)> Compare = Quarn_Compare;
    std::function<decltype(Quarn_Matrix)> Matrix = Quarn_Matrix;
    std::function<decltype(Quarn_Xtab)> Xtab = Quarn_Xtab;
    std::function<decltype(Quarn_RegressSimple)> RegressSimple = Quarn_RegressSimple;
    std::function<decltype(Quarn_RegressMulti)> RegressMulti = Quarn_RegressMulti;
    std::function<decltype(Quarn_RegressPoly)> RegressPoly = Quarn_RegressPoly;
    std::function<decltype(Quarn_ANOVA)> ANOVA = Quarn_ANOVA;
    std::function<decltype(Quarn_ChiSquare)> ChiSquare = Quarn_ChiSquare;
    std::function<decltype(Quarn_SignFitTest)> SignFitTest = Quarn_SignFitTest;
    std::function<decltype(Quarn_NonParametric)> NonParametric = Quarn_NonParametric;
    std::function<decltype(Quarn_NonParamFriedman)> NonParamFriedman = Quarn_NonParamFriedman;
    std::function<decltype(Quarn_MannKSKruskal)> MannKSKruskal = Quarn_MannKSKruskal;
    std::function<decltype(Quarn_NonParametricRuns)> NonParametricRuns = Quarn_NonParametricRuns;
};

// The table in force. Only tests change it, through ScopedAnalysisEntries.
AnalysisEntryTable& AnalysisEntries();

// Replaces the table for the life of a scope (tests only) and puts the
// previous one back at its end.
class ScopedAnalysisEntries {
public:
    ScopedAnalysisEntries() : previous_(AnalysisEntries()) {}
    ~ScopedAnalysisEntries() { AnalysisEntries() = previous_; }
    ScopedAnalysisEntries(const ScopedAnalysisEntries&) = delete;
    ScopedAnalysisEntries& operator=(const ScopedAnalysisEntries&) = delete;

private:
    AnalysisEntryTable previous_;
};
