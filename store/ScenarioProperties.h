// The value properties that the engine's scenario object and the program's
// wizard object share, one list for both (the wizard adds Scenario_ID), and
// the property kind of each C++ type. Which column fills each property is the
// schema's (ScenarioSchema.h); tests hold both objects to it.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "ScenarioSchema.h"
#include "vb/Variant.h"

// The properties but Scenario_Type, in interface order: (name, C++ type).
// Booleans are bool, Integer int16_t, Double double, and the variants
// (numeric columns that may be Empty, Null or a text) vb::Variant.
#define MERIVOX_SCENARIO_PROPERTIES(X)                                                                                 \
    X(Scenario_Description, std::string)                                                                               \
    X(CalcType, std::string)                                                                                           \
    X(Table, std::string)                                                                                              \
    X(OutputTable1, std::string)                                                                                       \
    X(OutputTable2, std::string)                                                                                       \
    X(MissingType, std::string)                                                                                        \
    X(MissingEqual, vb::Variant)                                                                                       \
    X(MissingLow, vb::Variant)                                                                                         \
    X(MissingHigh, vb::Variant)                                                                                        \
    X(Scenario_Version, std::string)                                                                                   \
    X(CI, bool)                                                                                                        \
    X(CI95, bool)                                                                                                      \
    X(FreqN, bool)                                                                                                     \
    X(FreqP, bool)                                                                                                     \
    X(Mean, bool)                                                                                                      \
    X(Mode, bool)                                                                                                      \
    X(Percentile, bool)                                                                                                \
    X(Range, bool)                                                                                                     \
    X(Skew, bool)                                                                                                      \
    X(Sum, bool)                                                                                                       \
    X(TTestMean, bool)                                                                                                 \
    X(VarStd, bool)                                                                                                    \
    X(FreqSum, bool)                                                                                                   \
    X(FreqType, std::string)                                                                                           \
    X(CountXY, bool)                                                                                                   \
    X(MeanXY, bool)                                                                                                    \
    X(CorrXY, bool)                                                                                                    \
    X(TTest, bool)                                                                                                     \
    X(MCnt, bool)                                                                                                      \
    X(MMis, bool)                                                                                                      \
    X(MMean, bool)                                                                                                     \
    X(MDev, bool)                                                                                                      \
    X(MCov, bool)                                                                                                      \
    X(MCor, bool)                                                                                                      \
    X(MR2, bool)                                                                                                       \
    X(MT, bool)                                                                                                        \
    X(MProb, bool)                                                                                                     \
    X(RAnova, bool)                                                                                                    \
    X(Residual, bool)                                                                                                  \
    X(RYInt, bool)                                                                                                     \
    X(XRowPCnt, bool)                                                                                                  \
    X(XColPcnt, bool)                                                                                                  \
    X(XTotPcnt, bool)                                                                                                  \
    X(XExpectPcnt, bool)                                                                                               \
    X(XExpect, bool)                                                                                                   \
    X(XChi, bool)                                                                                                      \
    X(Chi, bool)                                                                                                       \
    X(ChiAll, bool)                                                                                                    \
    X(ChiIgnoreBlanks, bool)                                                                                           \
    X(ChiDetail, bool)                                                                                                 \
    X(CIStdDev, vb::Variant)                                                                                           \
    X(FreqInit, vb::Variant)                                                                                           \
    X(FreqWidth, vb::Variant)                                                                                          \
    X(TTestValue, double)                                                                                              \
    X(CITypeRadio, std::string)                                                                                        \
    X(FreqDispRadio, std::string)                                                                                      \
    X(FreqGroupRadio, std::string)                                                                                     \
    X(FreqIncRadio, std::string)                                                                                       \
    X(PercentileRadio, std::string)                                                                                    \
    X(VarNRadio, std::string)                                                                                          \
    X(MProbTail, std::string)                                                                                          \
    X(RegressType, std::string)                                                                                        \
    X(XType, std::string)                                                                                              \
    X(CIUser, vb::Variant)                                                                                             \
    X(InterV, int16_t)                                                                                                 \
    X(RPoly, int16_t)                                                                                                  \
    X(FitUniform, bool)                                                                                                \
    X(FitNormal, bool)                                                                                                 \
    X(FitPoisson, bool)                                                                                                \
    X(SignMean, bool)                                                                                                  \
    X(SignMedian, bool)                                                                                                \
    X(SignCustom, bool)                                                                                                \
    X(SignValue, vb::Variant)                                                                                          \
    X(NPPair_Sign, bool)                                                                                               \
    X(NPPair_Wilcoxon, bool)                                                                                           \
    X(NPPair_Spearman, bool)                                                                                           \
    X(NPPair_Tau, bool)                                                                                                \
    X(NPFriedmanDetail, bool)                                                                                          \
    X(NPKruskalDetail, bool)                                                                                           \
    X(NPTwoType, std::string)                                                                                          \
    X(GroupIgnoreBlanks, bool)                                                                                         \
    X(GroupDetail, bool)

namespace store {

template <typename T>
constexpr PropertyKind KindOfType() {
    using K = PropertyKind;
    if constexpr (std::is_same_v<T, std::string>) return K::Text;
    if constexpr (std::is_same_v<T, bool>) return K::Flag;
    if constexpr (std::is_same_v<T, int16_t>) return K::Integer;
    if constexpr (std::is_same_v<T, int32_t>) return K::Long;
    if constexpr (std::is_same_v<T, double>) return K::Double;
    if constexpr (std::is_same_v<T, vb::Variant>) return K::Variant;
    return K::None;
}

// A stored value as the property's C++ type. Text is the caller's to convert:
// the engine reads Null as an empty text, the wizard refuses it.
template <typename T>
T PropertyValue(const vb::Variant& value) {
    if constexpr (std::is_same_v<T, bool>) return value.ToBool();
    if constexpr (std::is_same_v<T, int16_t>) return value.ToInteger();
    if constexpr (std::is_same_v<T, int32_t>) return value.ToLong();
    if constexpr (std::is_same_v<T, double>) return value.ToDouble();
    if constexpr (std::is_same_v<T, vb::Variant>) return value;
}

}  // namespace store
