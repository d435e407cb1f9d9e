// Probability and ProbInverse: reference values from standard tables and
// their argument checks, whose boxes go through the UI services.
#include <gtest/gtest.h>

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
    // Degrees of freedom are not checked: the library answers 0.
    EXPECT_EQ(q.Probability("t", 2, 0, 0), 0.0);
    EXPECT_TRUE(ui.boxes.empty());
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
