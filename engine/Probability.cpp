// The public probability methods: argument checks and their messages, then
// the probability library.
#include <cmath>

#include "ErrorStack.h"
#include "Merivox6/Quantara.h"
#include "QuantaraImpl.h"
#include "numeric/CZValue.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace {
// The upper-cased first letter of the type text; empty for an empty text.
std::string TypeLetter(const std::string& strProbType) { return vb::UCase(vb::Left(strProbType, 1)); }

// A library error leaves the names of the procedures it passed on the stack.
void UnwindTo(int16_t depth) {
    while (ErrStack().Depth() > depth) ErrStack().Pop();
}

// The argument checks both methods share, for a known type letter: every
// number finite, and the degrees of freedom the distribution needs above 0
// (the inverse: at least 1; "Z" has none). Returns the message, or empty.
std::string CheckArguments(const std::string& t, double value, const char* valueName, double df1, double df2,
                           bool inverse) {
    if (!std::isfinite(value)) return std::string("The ") + valueName + " is not a finite number.";
    if (t == "Z") return {};
    if (!std::isfinite(df1) || (t == "F" && !std::isfinite(df2)))
        return "The degrees of freedom must be finite numbers.";
    const double least = inverse ? 1 : std::nextafter(0.0, 1.0);
    if (df1 < least || (t == "F" && df2 < least)) return "Degrees of freedom must be greater than 0";
    return {};
}

// Runs a computation of the library when the arguments passed (`err` empty).
// Refused arguments are shown under `title`; a value the library cannot give
// for arguments it takes (one beyond the largest Double, a search that finds
// none) is no syntax error and is shown as its plain message, the library's
// procedures taken off the stack. Either way the result is 0.
template <class Compute>
double Answer(const char* title, const std::string& err, int16_t depth, Compute compute) {
    if (!err.empty()) {
        engine::ShowMessage(std::string(title) + "\r\n\r\n" + err);
        return 0;
    }
    try {
        return compute();
    } catch (const vb::VbError& e) {
        UnwindTo(depth);
        engine::ShowMessage(e.Description());
        return 0;
    }
}
}  // namespace

double Quantara::Probability(const std::string& strProbType, double dblTestValue, double dblDegreesOfFreedom1,
                             double dblDegreesOfFreedom2) {
    ProcScope scope(ErrStack(), "Probability");
    const int16_t depth = ErrStack().Depth();
    const std::string t = TypeLetter(strProbType);
    if (!t.empty() && std::string("ZTCF").find(t) == std::string::npos) {
        ui::Ui().Beep();
        engine::ShowMessage("Probability Calculation Syntax Error\r\n\r\nProbability type: " + strProbType +
                            " not expected");
        return 0;
    }
    if (t.empty()) return 0;
    std::string err = CheckArguments(t, dblTestValue, "test value", dblDegreesOfFreedom1, dblDegreesOfFreedom2, false);
    return Answer("Probability Calculation Syntax Error", err, depth, [&] {
        CZValue z;
        // The normal's two-sided tail is formed directly: one minus the
        // central probability would keep only its leading digits, and none
        // beyond some 8.3.
        return t == "Z" ? z.Quarn_NormalTail(dblTestValue)
                        : z.Quarn_CalcProb(t, dblTestValue, dblDegreesOfFreedom1, dblDegreesOfFreedom2);
    });
}

double Quantara::ProbInverse(const std::string& strProbType, double dblProbability, double dblDegreesOfFreedom1,
                             double dblDegreesOfFreedom2) {
    ProcScope scope(ErrStack(), "ProbInverse");
    const int16_t depth = ErrStack().Depth();
    const std::string t = TypeLetter(strProbType);
    std::string err;
    if (t.empty() || std::string("ZTCF").find(t) == std::string::npos) {
        err = "Probability type: " + strProbType + " not expected.";
    } else {
        err = CheckArguments(t, dblProbability, "probability", dblDegreesOfFreedom1, dblDegreesOfFreedom2, true);
    }
    // NaN fails both comparisons, so it is rejected too.
    if (err.empty() && !(dblProbability > 0 && dblProbability < 1))
        err = "Probability value must greater than 0 and less than 1.";
    return Answer("Inverse Probability Calculation Syntax Error", err, depth, [&] {
        CZValue z;
        if (t != "Z") {
            try {
                return z.Quarn_FindValue(t, dblProbability, dblDegreesOfFreedom1, dblDegreesOfFreedom2, true);
            } catch (const vb::VbError& e) {
                // The search overflows only when the value it walks out to
                // passes the largest Double with the probability still above
                // the one sought.
                if (e.Number() != vb::err::kOverflow) throw;
                throw vb::VbError(vb::err::kOverflow, "The " + t + " value of the probability " +
                                                          vb::CStr(dblProbability) +
                                                          " is larger than the largest number that can be held "
                                                          "(about 1.8E+308).");
            }
        }
        return z.Quarn_NormalTailInverse(dblProbability);
    });
}
