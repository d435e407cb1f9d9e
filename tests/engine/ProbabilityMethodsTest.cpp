// Probability and ProbInverse: reference values from standard tables and
// their argument checks, whose boxes go through the UI services.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "ErrorStack.h"
#include "Merivox6/Quantara.h"
#include "ui/RecordingUi.h"

namespace {

class ProbabilityMethods : public ::testing::Test {
protected:
    ui::RecordingUi ui;
    ui::ScopedUi scoped{ui};
    Quantara q;
};

}  // namespace

TEST_F(ProbabilityMethods, ReferenceValues) {
    // Two-sided normal tail at 1.96: 2 (1 - Phi(1.96)) = 0.0499957902.
    EXPECT_NEAR(q.Probability("Z", 1.96, 0, 0), 0.04999579, 1e-7);
    EXPECT_NEAR(q.Probability("z", 1.96, 0, 0), 0.04999579, 1e-7);
    EXPECT_NEAR(q.Probability("Z", 7, 0, 0), 0.0, 1e-9);
    // t with 10 degrees of freedom, two-tailed: P(|T| >= 2.228138852) = 0.05.
    EXPECT_NEAR(q.Probability("T", 2.228138852, 10, 0), 0.05, 1e-8);
    // Chi-square, 1 df: P(X >= 3.841458821) = 0.05; F(2, 10): P(F >= 4.102821015) = 0.05.
    EXPECT_NEAR(q.Probability("C", 3.841458821, 1, 0), 0.05, 1e-8);
    EXPECT_NEAR(q.Probability("F", 4.102821015, 2, 10), 0.05, 1e-8);

    EXPECT_NEAR(q.ProbInverse("Z", 0.05, 0, 0), 1.959963985, 1e-7);
    EXPECT_NEAR(q.ProbInverse("T", 0.05, 10, 0), 2.228138852, 1e-7);
    // The library's chi-square tail is good to about 1e-8 here, so its inverse to about 1e-6.
    EXPECT_NEAR(q.ProbInverse("c", 0.05, 1, 0), 3.841458821, 1e-6);
    EXPECT_NEAR(q.ProbInverse("F", 0.05, 2, 10), 4.102821015, 1e-7);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ErrStack().Depth(), 0);
}

TEST_F(ProbabilityMethods, ProbabilityTypeChecks) {
    EXPECT_EQ(q.Probability("Normal", 1, 0, 0), 0.0);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].prompt, "Probability Calculation Syntax Error\r\n\r\nProbability type: Normal not expected");
    EXPECT_EQ(ui.boxes[0].title, "Quantara");
    EXPECT_EQ(ui.boxes[0].style, ui::vbCritical);
    EXPECT_EQ(ui.beeps, 2);

    ui.Reset();
    EXPECT_EQ(q.Probability("", 1, 0, 0), 0.0);
    EXPECT_TRUE(ui.boxes.empty());
    // Degrees of freedom the distribution needs are checked, with a message.
    EXPECT_EQ(q.Probability("t", 2, 0, 0), 0.0);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].prompt,
              "Probability Calculation Syntax Error\r\n\r\nDegrees of freedom must be greater than 0");
}

TEST_F(ProbabilityMethods, ProbInverseArgumentChecks) {
    const std::string head = "Inverse Probability Calculation Syntax Error\r\n\r\n";
    struct Case {
        const char* type;
        double p, df1, df2;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"t", 0.05, 0, 0, "Degrees of freedom must be greater than 0"},
        {"C", 0.05, 0.5, 0, "Degrees of freedom must be greater than 0"},
        {"F", 0.05, 3, 0, "Degrees of freedom must be greater than 0"},
        {"C", 1, 5, 0, "Probability value must greater than 0 and less than 1."},
        {"Z", 0, 0, 0, "Probability value must greater than 0 and less than 1."},
        {"", 0.5, 1, 1, "Probability type:  not expected."},
        {"Beta", 0.5, 1, 1, "Probability type: Beta not expected."},
    };
    for (const auto& c : cases) {
        ui.Reset();
        EXPECT_EQ(q.ProbInverse(c.type, c.p, c.df1, c.df2), 0.0) << c.type;
        ASSERT_EQ(ui.boxes.size(), 1u) << c.type;
        EXPECT_EQ(ui.boxes[0].prompt, head + c.message);
        EXPECT_EQ(ui.beeps, 1);
    }
}

// Extreme arguments: every call comes back within its deadline (huge degrees
// of freedom take the limiting forms) with either the value or a message that
// says what is wrong, never an error thrown through the header. References:
// R 4.2 (print(x, digits = 17)): qt(1e-300 / 2, 1, lower.tail = FALSE),
// qchisq(0.95, 5) / 5, 5 / qchisq(0.05, 5), qt(0.025, 1e16, lower.tail =
// FALSE), 2 * pnorm(-2); with 5 degrees of freedom the t value of 1e-300 is
// mpmath's (50 digits, the root of betainc(5/2, 1/2, 0, 5 / (t^2 + 5)) =
// 1e-300: R's qt is 1.8e-9 off there); the F of two huge degrees of freedom
// and the chi-square of 1e16 from their normal limits, to the digits those
// limits keep.
TEST_F(ProbabilityMethods, ExtremeArgumentsAnswerPromptly) {
    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    struct Case {
        bool inverse;
        const char* type;
        double x, df1, df2;
        double expected;      // when no message
        double tolerance;     // relative
        std::string message;  // the box's text after its heading; empty: none
        bool plain = false;   // the box's text without a heading
    };
    const std::string dfMessage = "Degrees of freedom must be greater than 0";
    const std::vector<Case> cases = {
        {true, "T", 1e-300, 1, 0, 6.366197723675814e+299, 1e-13, ""},
        {true, "T", 1e-300, 5, 0, 1.8016099526269993495e+60, 1e-13, ""},
        // Far tails whose probability falls by hundreds of orders across the
        // search's first bracket (mpmath, 60 digits).
        {true, "T", 1e-300, 1e6, 0, 37.078531718230499387, 1e-13, ""},
        {true, "C", 1e-300, 30, 0, 1516.8812320054695806, 1e-13, ""},
        {true, "F", 1e-300, 5, 30, 7.780107679679495014e+20, 1e-13, ""},
        {true, "F", 1e-300, 5, 1e6, 280.32396742884725424, 1e-13, ""},
        {true, "F", 0.05, 5, 1e16, 2.2140995387032705, 1e-12, ""},
        {true, "F", 0.05, 5, 1e18, 2.2140995387032705, 1e-12, ""},
        {true, "F", 0.05, 1e308, 5, 4.3649967465412756, 1e-12, ""},
        // Both chi-squares near normal: 1 + z(0.95) sqrt(2 / 1e16 + 2 / 1e16).
        {true, "F", 0.05, 1e16, 1e16, 1 + 1.6448536269514722 * 2e-8, 1e-13, ""},
        {true, "T", 0.05, 1e16, 0, 1.9599639845400538, 1e-12, ""},
        {true, "C", 0.05, 1e16, 0, 1e16 * (1 + 1.6448536269514722 * std::sqrt(2e-16)), 1e-12, ""},
        {false, "T", 2, 1e308, 0, 0.045500263896358424, 1e-12, ""},
        // Degrees of freedom of data sets of tens of millions of records take
        // the exact forms; far above, two large ones are never taken for
        // one (R: pf(f, df1, df2, lower.tail = FALSE)).
        {false, "F", 2, 5, 1.1e7, 0.075235336301910219, 1e-12, ""},
        {false, "F", 1.001, 5e6, 2e7, 0.078711845787943338, 1e-11, ""},
        {false, "F", 1.003, 5e5, 4e9, 0.066927067456192563, 1e-6, ""},
        {false, "F", 1.003, 4e9, 5e5, 0.067294646368961542, 1e-6, ""},
        {false, "C", 1e16, 1e16, 0, 0.5, 1e-6, ""},
        // Degrees of freedom below 1, whose upper tails lie within the tiny
        // parameter of 1 - P (mpmath at 700 digits: 1 - betainc(d1 / 2, d2 /
        // 2, 0, y) and gammainc(d / 2, x / 2, inf); as d tends to 0 the
        // chi-square tail tends to d / 2 E1(x / 2), 3.51209e-300 here).
        {false, "F", 2, 1e-300, 5, 3.4520572316227054211e-298, 1e-14, ""},
        {false, "F", 2, 1e-10, 5, 1.1330884671778902756e-9, 1e-14, ""},
        {false, "F", 1e10, 1e-10, 3, 4.509324931361198e-11, 1e-14, ""},
        {false, "C", 0.001, 1e-300, 0, 3.5120933660737466472e-300, 1e-14, ""},
        {false, "C", 2, 1e-10, 0, 1.0969196720337201e-11, 1e-14, ""},
        {false, "T", 124.057, 0.620986, 0, 0.031367864905640272, 1e-14, ""},
        {true, "Z", 1e-300, 0, 0, 37.065787880772130393, 1e-13, ""},
        // F(1, 1) at 1e-200 lies near 4e399: no syntax error, a plain message.
        {true, "F", 1e-200, 1, 1, 0, 0,
         "The F value of the probability 1E-200 is larger than the largest number that can be held (about "
         "1.8E+308).",
         true},
        {true, "Z", nan, 0, 0, 0, 0, "The probability is not a finite number."},
        {true, "T", 0.05, inf, 0, 0, 0, "The degrees of freedom must be finite numbers."},
        {true, "F", 0.05, 5, nan, 0, 0, "The degrees of freedom must be finite numbers."},
        {false, "Z", nan, 0, 0, 0, 0, "The test value is not a finite number."},
        {false, "T", -inf, 5, 0, 0, 0, "The test value is not a finite number."},
        {false, "C", 3, nan, 0, 0, 0, "The degrees of freedom must be finite numbers."},
        {false, "C", 3, -1, 0, 0, 0, dfMessage},
        {false, "F", 2, 5, 0, 0, 0, dfMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.inverse ? "ProbInverse " : "Probability ") + c.type + " " + std::to_string(c.x) +
                     " " + std::to_string(c.df1) + " " + std::to_string(c.df2));
        ui.Reset();
        const auto start = std::chrono::steady_clock::now();
        double result = 0;
        EXPECT_NO_THROW(result = c.inverse ? q.ProbInverse(c.type, c.x, c.df1, c.df2)
                                           : q.Probability(c.type, c.x, c.df1, c.df2));
        // A deadline far above the few milliseconds a call takes: it fails a hang.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        if (c.message.empty()) {
            EXPECT_TRUE(ui.boxes.empty()) << (ui.boxes.empty() ? "" : ui.boxes[0].prompt);
            EXPECT_LE(std::fabs(result - c.expected), c.tolerance * std::fabs(c.expected)) << result;
        } else {
            EXPECT_EQ(result, 0.0);
            ASSERT_EQ(ui.boxes.size(), 1u);
            const std::string head = c.plain     ? ""
                                     : c.inverse ? "Inverse Probability Calculation Syntax Error\r\n\r\n"
                                                 : "Probability Calculation Syntax Error\r\n\r\n";
            EXPECT_EQ(ui.boxes[0].prompt, head + c.message);
        }
    }
    EXPECT_EQ(ErrStack().Depth(), 0);
}

// The two-sided normal tail, within 1e-13 relative, and its inverse, far
// beyond the 6.3 where one minus the central probability ends (the
// calculator showed 0 for 6.4, and refused the inverse of 1e-12). References:
// mpmath at 50 digits, erfc(z / sqrt(2)).
TEST_F(ProbabilityMethods, NormalTailKeepsItsDigits) {
    const std::vector<std::pair<double, double>> tails = {
        {0.5, 0.61707507745197379272},    {1, 0.31731050786291410283},      {1.96, 0.049995790296440872426},
        {2.5, 0.012419330651552270334},   {3, 0.0026997960632601890533},    {3.5, 0.0004652581580710500727},
        {4, 0.000063342483666239842508},  {4.5, 6.7953462494601208034e-6},  {5, 5.7330314375838782335e-7},
        {5.5, 3.7979124931775438768e-8},  {6, 1.9731752900753962814e-9},    {6.2, 5.6463160740865425665e-10},
        {6.3, 2.9764564435246253338e-10}, {6.4, 1.5537695163419624664e-10}, {7, 2.5596250877716700088e-12},
        {10, 1.5239706048321052132e-23},  {20, 5.5072482372124673902e-89},  {37, 1.1451142445049153645e-299},
    };
    for (const auto& [z, tail] : tails) {
        EXPECT_LE(std::fabs(q.Probability("Z", z, 0, 0) - tail), 1e-13 * tail) << z;
        EXPECT_LE(std::fabs(q.Probability("Z", -z, 0, 0) - tail), 1e-13 * tail) << z;
        EXPECT_NEAR(q.ProbInverse("Z", tail, 0, 0), z, 1e-13 * z) << z;
    }
    EXPECT_NEAR(q.ProbInverse("Z", 1e-12, 0, 0), 7.130506848171324458, 1e-13 * 7.13);
    // The same tail as a chi-square of z^2 on one degree of freedom.
    EXPECT_LE(std::fabs(q.Probability("C", 60, 1, 0) - 9.4857375710738483885e-15), 1e-13 * 9.49e-15);
    EXPECT_LE(std::fabs(q.Probability("Z", std::sqrt(60.0), 0, 0) - 9.4857375710738483885e-15), 1e-13 * 9.49e-15);
    EXPECT_TRUE(ui.boxes.empty());
}
