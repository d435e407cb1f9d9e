// The three scenario tables' stored format, written out independently of
// the store's own declarations: the store's tests check the tables it lays
// down against this copy, and the engine's tests make their scenario tables
// from it (the engine's client tests cannot reach the store's code).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dao/Dao.h"

namespace storedformat {

struct ExpectedColumn {
    std::string name;
    int16_t type;
    int32_t size;
    bool counter;
    bool allowZeroLength;
    std::string defaultValue;
    std::string validationRule;
    std::string validationText;
    std::string description;
};

inline const std::vector<ExpectedColumn> kScenarioColumns = {
    {"Scenario_ID", dao::dbLong, 4, true, false, "", "", "", ""},
    {"SortOrder", dao::dbInteger, 2, false, false, "", "", "", ""},
    {"Scenario_Description", dao::dbText, 255, false, false, "", "", "", ""},
    {"Scenario_Analysis_Type", dao::dbText, 1, false, false, "", "", "", ""},
    {"Scenario_Analysis_SubType", dao::dbText, 30, false, false, "", "", "", ""},
    {"Scenario_Input_Table_Name", dao::dbText, 64, false, true, "", "", "", ""},
    {"Scenario_Output_Table1_Name", dao::dbText, 50, false, true, "", "", "", ""},
    {"Scenario_Output_Table2_Name", dao::dbText, 64, false, true, "", "", "", ""},
    {"Scenario_Version", dao::dbText, 5, false, false, "", "", "", ""},
    {"Scenario_DateCreated", dao::dbDate, 8, false, false, "", "", "", ""},
    {"Scenario_LastModified", dao::dbDate, 8, false, false, "", "", "", ""},
    {"Scenario_CreatedBy", dao::dbText, 15, false, false, "", "", "", ""},
    {"Scenario_ModifiedBy", dao::dbText, 50, false, false, "", "", "", ""},
    {"MissingType", dao::dbText, 1, false, false, "", "", "", ""},
    {"MissingEqual", dao::dbDouble, 8, false, false, "", "", "", ""},
    {"MissingLow", dao::dbDouble, 8, false, false, "", "", "", ""},
    {"MissingHigh", dao::dbDouble, 8, false, false, "", "", "", ""},
    {"PageLockField1", dao::dbText, 255, false, false, "", "", "", ""},
    {"PageLockField2", dao::dbText, 255, false, false, "", "", "", ""},
    {"PageLockField3", dao::dbText, 255, false, false, "", "", "", ""},
    {"PageLockField4", dao::dbText, 255, false, false, "", "", "", ""},
};
inline const std::vector<ExpectedColumn> kOptionColumns = {
    {"Scenario_ID", dao::dbLong, 4, true, false, "", "", "", "Scenario ID"},
    {"Range", dao::dbBoolean, 1, false, false, "True", "", "", "Describe: Range"},
    {"VarStd", dao::dbBoolean, 1, false, false, "True", "", "", "Describe: Stanard deviation, variance"},
    {"VarNRadio", dao::dbText, 3, false, false, "N-1", "", "", "Describe: N or N-1 Method"},
    {"Mean", dao::dbBoolean, 1, false, false, "False", "", "", "Describe: Harmonic, Geometric, RMS"},
    {"Skew", dao::dbBoolean, 1, false, false, "False", "", "", "Describe: Skewness, Kurtosis"},
    {"Sum", dao::dbBoolean, 1, false, false, "True", "", "", "Describe: Sum, Sum Squared"},
    {"Mode", dao::dbBoolean, 1, false, false, "False", "", "", "Describe: Mode, Mode Count"},
    {"CI", dao::dbBoolean, 1, false, false, "False", "", "", "Describe: Confidence Intervals"},
    {"CITypeRadio", dao::dbText, 7, false, false, "t-Test", "", "", "Describe: t-Test or Normal CI method"},
    {"CIStdDev", dao::dbDouble, 8, false, false, "", "", "", "Describe: std. dev. for Normal calc"},
    {"CI95", dao::dbBoolean, 1, false, false, "True", "", "", "Describe: CI 95% option"},
    {"CIUser", dao::dbInteger, 2, false, false, "", "", "", "Describe: CI User % option"},
    {"TTestMean", dao::dbBoolean, 1, false, false, "False", "", "", "Describe: t-Test vs. Mean"},
    {"TTestValue", dao::dbDouble, 8, false, false, "", "", "", "Describe: t-Test vs. Mean value to test"},
    {"Percentile", dao::dbBoolean, 1, false, false, "False", "", "", "Describe: Percentile"},
    {"PercentileRadio", dao::dbText, 11, false, false, "Median", "", "", "Percentile type: Median, Quartiles, etc."},
    {"FreqN", dao::dbBoolean, 1, false, false, "False", "", "", "Describe: Frequency Count"},
    {"FreqP", dao::dbBoolean, 1, false, false, "False", "", "", "Describe: Frequency Percent"},
    {"InterV", dao::dbInteger, 2, false, false, "10", "", "", "Frequency: Number of intervals"},
    {"FreqIncRadio", dao::dbText, 11, false, false, "Lower", "", "",
     "Frequency: Include border in lower or upper range"},
    {"FreqDispRadio", dao::dbText, 10, false, false, "Count", "", "", "Frequency: Count or cumulative"},
    {"FreqGroupRadio", dao::dbText, 10, false, false, "Default", "", "", "Frequency: Default or specified"},
    {"FreqWidth", dao::dbDouble, 8, false, false, "", "Is Null Or >0", "Interval Width must be greater than zero",
     "Frequency: Specified interval width"},
    {"FreqInit", dao::dbDouble, 8, false, false, "", "", "", "Frequency: Specified initial interval value"},
    {"FreqSum", dao::dbBoolean, 1, false, false, "", "", "", "Frequency: Sum intervals"},
    {"FreqType", dao::dbText, 1, false, false, "", "", "", ""},
    {"CountXY", dao::dbBoolean, 1, false, false, "True", "", "", "Compare: Count"},
    {"MeanXY", dao::dbBoolean, 1, false, false, "True", "", "", "Compare: Mean X-Y"},
    {"CorrXY", dao::dbBoolean, 1, false, false, "True", "", "", "Compare: Correlation"},
    {"TTest", dao::dbBoolean, 1, false, false, "True", "", "", "Compare: t-Test"},
    {"Chi", dao::dbBoolean, 1, false, false, "False", "", "", "Compare: Chi-Square"},
    {"MCnt", dao::dbBoolean, 1, false, false, "False", "", "", "Matrix: Count"},
    {"MMis", dao::dbBoolean, 1, false, false, "False", "", "", "Matrix: Missing"},
    {"MMean", dao::dbBoolean, 1, false, false, "False", "", "", "Matrix: Mean X-Y"},
    {"MDev", dao::dbBoolean, 1, false, false, "False", "", "", "Matrix: Std. Dev X-Y"},
    {"MCov", dao::dbBoolean, 1, false, false, "False", "", "", "Matrix: Covariance"},
    {"MCor", dao::dbBoolean, 1, false, false, "False", "", "", "Matrix: Correlation"},
    {"MR2", dao::dbBoolean, 1, false, false, "False", "", "", "Matrix: R-Square"},
    {"MT", dao::dbBoolean, 1, false, false, "False", "", "", "Matrix: t-Test"},
    {"MProb", dao::dbBoolean, 1, false, false, "False", "", "", "Matrix: Probability"},
    {"MProbTail", dao::dbText, 6, false, false, "", "", "", "Matrix: Probability tails"},
    {"RegressType", dao::dbText, 1, false, false, "S", "", "", "Regression: Type"},
    {"RPoly", dao::dbInteger, 2, false, false, "2", "", "", "Regression: Polynomial order"},
    {"RYInt", dao::dbBoolean, 1, false, false, "True", "", "", "Regression: Y-intercept"},
    {"RANova", dao::dbBoolean, 1, false, false, "True", "", "", "Regression: ANOVA"},
    {"Residual", dao::dbBoolean, 1, false, false, "False", "", "", "Regression: Residual table"},
    {"XType", dao::dbText, 1, false, false, "C", "", "", "Crosstab: Type"},
    {"XRowPCnt", dao::dbBoolean, 1, false, false, "", "", "", "Crosstab: % of row"},
    {"XColPcnt", dao::dbBoolean, 1, false, false, "", "", "", "Crosstab: % of column"},
    {"xTotPcnt", dao::dbBoolean, 1, false, false, "", "", "", "Crosstab: % of total"},
    {"xExpectPcnt", dao::dbBoolean, 1, false, false, "", "", "", "Crosstab: % of expected"},
    {"xExpect", dao::dbBoolean, 1, false, false, "", "", "", "Crosstab: Expected"},
    {"xChi", dao::dbBoolean, 1, false, false, "", "", "", "Crosstab: Chi-Square"},
    {"GroupIgnoreBlanks", dao::dbBoolean, 1, false, false, "False", "", "", "Group: Ignore blanks"},
    {"GroupDetail", dao::dbBoolean, 1, false, false, "False", "", "", "Group: Create detail table"},
    {"ChiAll", dao::dbBoolean, 1, false, false, "False", "", "", "Chi-Square: All groups use the compare values"},
    {"ChiIgnoreBlanks", dao::dbBoolean, 1, false, false, "False", "", "", "Chi-Square: Ignore blanks"},
    {"ChiDetail", dao::dbBoolean, 1, false, false, "True", "", "", "Chi-Square: Detail table"},
    {"SignMean", dao::dbBoolean, 1, false, false, "True", "", "", "Sign Test: Mean"},
    {"SignMedian", dao::dbBoolean, 1, false, false, "False", "", "", "Sign Test: Median"},
    {"SignCustom", dao::dbBoolean, 1, false, false, "False", "", "", "Sign Test: Custom"},
    {"SignValue", dao::dbDouble, 8, false, false, "", "", "", "Sign Test: Custom value"},
    {"FitUniform", dao::dbBoolean, 1, false, false, "True", "", "", "K-S Fit: Uniform distribution"},
    {"FitNormal", dao::dbBoolean, 1, false, false, "False", "", "", "K-S Fit: Normal distribution"},
    {"FitPoisson", dao::dbBoolean, 1, false, false, "True", "", "", "K-S Fit: Poisson distribution"},
    {"NPPair_Sign", dao::dbBoolean, 1, false, false, "True", "", "", "Paired: Sign Test"},
    {"NPPair_Wilcoxon", dao::dbBoolean, 1, false, false, "True", "", "", "Paired: Wilcoxon"},
    {"NPPair_Spearman", dao::dbBoolean, 1, false, false, "True", "", "", "Paired: Spearman"},
    {"NPPair_Tau", dao::dbBoolean, 1, false, false, "False", "", "", "Paired: Tau - disabled"},
    {"NPFriedmanDetail", dao::dbBoolean, 1, false, false, "True", "", "", "N Fields: Friedman Detail"},
    {"NPTwoType", dao::dbText, 4, false, false, "Mann", "", "", "2 Sample: Wald-Wolfowitz Runs or Mann-Whitney"},
    {"NPKruskalDetail", dao::dbBoolean, 1, false, false, "True", "", "", "N Sample: Kruskal Wallis detail table"},
};
inline const std::vector<ExpectedColumn> kFieldColumns = {
    {"Scenario_ID", dao::dbLong, 4, false, false, "", "", "", "Scenario ID"},
    {"FieldDef_Name", dao::dbText, 64, false, false, "", "", "", "Field Name"},
    {"FieldDef_Ordinal_Position", dao::dbInteger, 2, false, false, "", "", "",
     "The field's ordinal position in the set"},
    {"FieldDef_Choice", dao::dbText, 1, false, false, "", "", "", "Field assignment type (X, Y, etc.)"},
};

}  // namespace storedformat
