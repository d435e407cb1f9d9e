// The public probability methods: argument checks and their messages, then
// the probability library.
#include "ErrorStack.h"
#include "Merivox6/Quantara.h"
#include "QuantaraImpl.h"
#include "numeric/CZValue.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"

namespace {
// The upper-cased first letter of the type text; empty for an empty text.
std::string TypeLetter(const std::string& strProbType) { return vb::UCase(vb::Left(strProbType, 1)); }
}  // namespace

double Quantara::Probability(const std::string& strProbType, double dblTestValue, double dblDegreesOfFreedom1,
                             double dblDegreesOfFreedom2) {
    ProcScope scope(ErrStack(), "Probability");
    const std::string t = TypeLetter(strProbType);
    if (!t.empty() && std::string("ZTCF").find(t) == std::string::npos) {
        ui::Ui().Beep();
        engine::ShowMessage("Probability Calculation Syntax Error\r\n\r\nProbability type: " + strProbType +
                            " not expected");
        return 0;
    }
    CZValue z;
    const double r = z.Quarn_CalcProb(t, dblTestValue, dblDegreesOfFreedom1, dblDegreesOfFreedom2);
    return t == "Z" ? 1 - r : r;
}

double Quantara::ProbInverse(const std::string& strProbType, double dblProbability, double dblDegreesOfFreedom1,
                             double dblDegreesOfFreedom2) {
    ProcScope scope(ErrStack(), "ProbInverse");
    const std::string t = TypeLetter(strProbType);
    std::string err;
    if (t == "Z") {
        // no degrees of freedom
    } else if (t == "T" || t == "C") {
        if (dblDegreesOfFreedom1 < 1) err = "Degrees of freedom must be greater than 0";
    } else if (t == "F") {
        if (dblDegreesOfFreedom1 < 1 || dblDegreesOfFreedom2 < 1) err = "Degrees of freedom must be greater than 0";
    } else {
        err = "Probability type: " + strProbType + " not expected.";
    }
    double result = 0;
    if (err.empty()) {
        // NaN fails both comparisons, so it is rejected too.
        if (!(dblProbability > 0 && dblProbability < 1)) {
            err = "Probability value must greater than 0 and less than 1.";
        } else {
            const double p = t == "Z" ? 1 - dblProbability : dblProbability;
            CZValue z;
            result = z.Quarn_FindValue(t, p, dblDegreesOfFreedom1, dblDegreesOfFreedom2, true);
        }
    }
    if (!err.empty()) {
        engine::ShowMessage("Inverse Probability Calculation Syntax Error\r\n\r\n" + err);
        return 0;
    }
    return result;
}
