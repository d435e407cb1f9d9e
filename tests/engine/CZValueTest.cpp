// The probability library against independent references: closed forms of
// the distributions, published tables, and values computed with mpmath 1.3.0
// at 30 digits (mp.dps = 30), cited with the call that gave them.
//
// Every probability is good to 1e-13 relative; the grid in
// CZValuePrecisionTest.cpp covers the ranges, these are the familiar points.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "analysis/nonparametric/NormalTails.h"
#include "numeric/CZValue.h"
#include "vb/VbError.h"

namespace {

constexpr double kPi = std::numbers::pi;

::testing::AssertionResult Relative(double actual, double expected, double tol) {
    if (std::fabs(actual - expected) <= tol * std::fabs(expected)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "actual " << actual << ", expected " << expected << ", relative error "
                                         << std::fabs(actual - expected) / std::fabs(expected);
}

template <class F>
int ErrorNumber(F f) {
    try {
        f();
    } catch (const vb::VbError& e) {
        return e.Number();
    }
    return 0;
}

struct Case {
    double df1;
    double df2;
    double x;
    double expected;
};

}  // namespace

TEST(CZValueNormal, CentralProbability) {
    CZValue z;
    // mpmath: erf(mpf(z) / sqrt(2)); the 1.96 and 2.576 rows are the familiar 95% and 99% points.
    const struct {
        double z, p;
    } cases[] = {
        {0.5, 0.38292492254802620728}, {1, 0.68268949213708589717}, {1.959963984540054, 0.95},
        {2.5758293035489, 0.99},       {3, 0.99730020393673981095}, {4, 0.99993665751633376016},
    };
    for (const auto& c : cases) EXPECT_NEAR(z.Quarn_CalcProb("Z", c.z, 0, 0), c.p, 1e-13) << c.z;
    // Near the series' cut-off the terms reach 6e6 before they cancel.
    EXPECT_NEAR(z.Quarn_CalcProb("Z", 6, 0, 0), 0.99999999802682470992, 1e-15);
    EXPECT_NEAR(z.Quarn_CalcProb("Z", 6.3, 0, 0), 0.99999999970235435565, 1e-15);
    EXPECT_LT(z.Quarn_CalcProb("Z", 6.3, 0, 0), 1.0);
    EXPECT_EQ(z.Quarn_CalcProb("Z", 6.31, 0, 0), 1.0);
    EXPECT_EQ(z.Quarn_CalcProb("z", 0, 0, 0), 0.0);
    // Near 0: 2 z / sqrt(2 pi).
    EXPECT_TRUE(Relative(z.Quarn_CalcProb("Z", 1e-8, 0, 0), 2e-8 / std::sqrt(2 * kPi), 1e-15));
    // Across the range, both sides of the change of working precision at
    // 2.5, against the C library's extended erf (good to some 1e-19).
    for (double v = 0.0025; v <= 6.3; v += 0.0025) {
        const double expected = static_cast<double>(std::erf(static_cast<long double>(v) / std::sqrt(2.0L)));
        EXPECT_TRUE(Relative(z.Quarn_CalcProb("Z", v, 0, 0), expected, 3e-16)) << v;
    }
}

TEST(CZValueNormal, NegativeValuesUseTheSymmetry) {
    CZValue z;
    for (double v : {0.1, 1.0, 1.96, 3.5, 6.3, 7.0}) {
        EXPECT_EQ(z.Quarn_CalcProb("Z", -v, 0, 0), z.Quarn_CalcProb("Z", v, 0, 0)) << v;
    }
}

TEST(CZValueT, TwoTailedProbability) {
    CZValue z;
    // mpmath: betainc(df/2, 0.5, 0, df/(t*t + df), regularized=True).
    const Case cases[] = {
        {1, 0, 0.5, 0.70483276469913345165},     {1, 0, 4, 0.15595826075473865092},
        {2, 0, 2, 0.18350341907227396727},       {2, 0, 4, 0.057190958417936634132},
        {5, 0, 2, 0.10193947882985835625},       {5, 0, 4, 0.010323415480831453804},
        {10, 0, 2.228, 0.050011771817111382532}, {10, 0, 4, 0.0025183326247366922637},
        {30, 0, 0.5, 0.62072300488512728596},    {30, 0, 2, 0.054625044962983103921},
        {100, 0, 2, 0.048212178731133679601},    {100, 0, 4, 0.0001215236443007616772},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Relative(z.Quarn_CalcProb("T", c.x, c.df1, 0), c.expected, 1e-13)) << c.df1 << " " << c.x;
        EXPECT_EQ(z.Quarn_CalcProb("t", -c.x, c.df1, 0), z.Quarn_CalcProb("T", c.x, c.df1, 0));
    }
    // Closed forms: df 1, 1 - (2/pi) atan t = (2/pi) atan(1/t); df 2,
    // 1 - t / sqrt(t^2 + 2) = 2 / (r (r + t)) with r = sqrt(t^2 + 2), written
    // without the subtraction that would cost the reference its digits.
    for (double t : {0.1, 1.0, 3.0, 10.0, 100.0, 1e4}) {
        const long double r = std::sqrt(static_cast<long double>(t) * t + 2);
        EXPECT_TRUE(Relative(z.Quarn_CalcProb("T", t, 1, 0), 2 / kPi * std::atan(1 / t), 1e-13)) << t;
        EXPECT_TRUE(Relative(z.Quarn_CalcProb("T", t, 2, 0), static_cast<double>(2 / (r * (r + t))), 1e-13)) << t;
    }
    // A million degrees of freedom, where the log-gammas of the prefactor run
    // to millions: mpmath at 50 digits, 1 - betainc(1/2, df/2, 0, t*t/(t*t + df),
    // regularized=True) with 120 digits for the subtraction.
    const Case large[] = {
        {1e5, 0, 1.5, 0.13361755952283059865},  {1e5, 0, 3, 0.0027004608840647191901},
        {1e5, 0, 7, 2.5756556678159832814e-12}, {1e6, 0, 2, 0.045500533851319208421},
        {1e6, 0, 5, 5.733997870890741569e-7},   {1e6, 0, 10, 1.5278610768178249553e-23},
    };
    for (const auto& c : large) {
        EXPECT_TRUE(Relative(z.Quarn_CalcProb("T", c.x, c.df1, 0), c.expected, 1e-13)) << c.df1 << " " << c.x;
    }
    EXPECT_EQ(z.Quarn_CalcProb("T", 0, 7, 0), 1.0);
    EXPECT_EQ(z.Quarn_CalcProb("T", 2, 0, 0), 0.0);
    EXPECT_EQ(z.Quarn_CalcProb("T", 2, -3, 0), 0.0);
}

TEST(CZValueChiSquare, UpperTail) {
    CZValue z;
    // mpmath: gammainc(df/2, x/2, inf, regularized=True). 3.841, 18.307 and
    // 67.505 are the tables' 5% points for 1, 10 and 50 degrees of freedom.
    const Case cases[] = {
        {1, 0, 0.5, 0.47950012218695346232},
        {1, 0, 3.841458820694124, 0.05},
        {1, 0, 10, 0.0015654022580025496775},
        {2, 0, 0.5, 0.77880078307140486825},
        {10, 0, 3.841458820694124, 0.95421572955466571623},
        {10, 0, 10, 0.44049328506521241144},
        {10, 0, 18.307038053275146, 0.05},
        {50, 0, 18.307038053275146, 0.99998857458970512979},
        {50, 0, 67.50480654954119997, 0.05},
        {50, 0, 100, 0.000034549313829848639421},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Relative(z.Quarn_CalcProb("C", c.x, c.df1, 0), c.expected, 1e-13)) << c.df1 << " " << c.x;
    }
    // Closed form for 2 degrees of freedom: exp(-x/2).
    for (double x : {0.1, 1.0, 5.99, 20.0, 60.0}) {
        EXPECT_TRUE(Relative(z.Quarn_CalcProb("c", x, 2, 0), std::exp(-x / 2), 1e-13)) << x;
    }
    EXPECT_EQ(z.Quarn_CalcProb("C", 0, 4, 0), 1.0);
    EXPECT_EQ(z.Quarn_CalcProb("C", -3, 4, 0), 1.0);
    EXPECT_EQ(z.Quarn_CalcProb("C", 3, 0, 0), 0.0);
}

TEST(CZValueF, UpperTail) {
    CZValue z;
    // mpmath: betainc(df2/2, df1/2, 0, df2/(df2 + f*df1), regularized=True).
    const Case cases[] = {
        {1, 1, 0.5, 0.60817344796939272983},     {1, 1, 10, 0.19498222904213664516},
        {5, 10, 1, 0.46511942653780041056},      {5, 10, 3, 0.065557562093844113279},
        {5, 10, 10, 0.0012057806486995373534},   {10, 20, 1, 0.47550046843289178751},
        {10, 20, 10, 8.594119617928477061e-6},   {3, 30, 3, 0.046064340542210550482},
        {3, 30, 10, 0.000099577934155000097477}, {2, 5, 0.5, 0.63393814526060892761},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Relative(z.Quarn_CalcProb("F", c.x, c.df1, c.df2), c.expected, 1e-13))
            << c.df1 << " " << c.df2 << " " << c.x;
        // F takes no value below 0: the whole distribution lies above a negative one.
        EXPECT_EQ(z.Quarn_CalcProb("f", -c.x, c.df1, c.df2), 1.0);
    }
    // Closed forms: F(2, d) upper tail (1 + 2f/d)^(-d/2); F(1, 1) 1 - (2/pi) atan(sqrt f).
    for (double f : {0.2, 1.0, 3.0, 19.0}) {
        EXPECT_TRUE(Relative(z.Quarn_CalcProb("F", f, 2, 5), std::pow(1 + 2 * f / 5, -2.5), 1e-13)) << f;
        EXPECT_TRUE(Relative(z.Quarn_CalcProb("F", f, 2, 12), std::pow(1 + 2 * f / 12, -6.0), 1e-13)) << f;
        EXPECT_TRUE(Relative(z.Quarn_CalcProb("F", f, 1, 1), 1 - 2 / kPi * std::atan(std::sqrt(f)), 1e-13)) << f;
    }
    EXPECT_EQ(z.Quarn_CalcProb("F", 0, 3, 7), 1.0);
    EXPECT_EQ(z.Quarn_CalcProb("F", 2, 0, 7), 0.0);
    EXPECT_EQ(z.Quarn_CalcProb("F", 2, 3, 0), 0.0);
}

// Degrees of freedom in the tens of thousands and beyond (a crosstab of 200
// by 200 has 39,601): the series and fractions need more terms than small
// ones. References: mpmath 1.3 at 40 digits (gammainc for chi-square;
// quadrature of the t and F densities, F checked two ways).
TEST(CZValueCalcProb, LargeDegreesOfFreedom) {
    CZValue z;
    const struct {
        const char* letter;
        double x, df1, df2, expected;
    } cases[] = {
        {"C", 60000, 60000, 0, 0.49923223508122894876},    {"C", 59000, 60000, 0, 0.99814024583393204209},
        {"C", 61500, 60000, 0, 8.6765649624947422691e-6},  {"C", 200000, 200000, 0, 0.49957947788963482331},
        {"C", 201000, 200000, 0, 0.057103269976028711396}, {"C", 1998000, 2000000, 0, 0.84134478642569634754},
        {"T", 1.5, 200000, 0, 0.1336159810318433448},      {"T", 2.5, 60000, 0, 0.01242197826297818973},
        {"F", 1.01, 60000, 60000, 0.11148775749212403778}, {"F", 1, 200000, 200000, 0.5},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Relative(z.Quarn_CalcProb(c.letter, c.x, c.df1, c.df2), c.expected, 1e-12))
            << c.letter << " " << c.x << " " << c.df1;
    }
}

TEST(CZValueCalcProb, OtherLettersGiveZero) {
    CZValue z;
    EXPECT_EQ(z.Quarn_CalcProb("N", 1, 1, 1), 0.0);
    EXPECT_EQ(z.Quarn_CalcProb("", 1, 1, 1), 0.0);
    EXPECT_EQ(z.Quarn_CalcProb("Zed", 1, 1, 1), 0.0);
}

TEST(CZValueCalcProb, EveryResultIsAFiniteProbability) {
    CZValue z;
    const double values[] = {-1e300, -1e6, -37.5, -2, -1e-9, 0, 1e-12, 0.3, 1, 2.5, 9, 40, 333, 1e5, 1e200, 1e300};
    const double dfs[] = {0.5, 1, 2, 3, 7, 29, 120, 1e4};
    for (double v : values) {
        for (double d1 : dfs) {
            for (const char* letter : {"Z", "T", "C"}) {
                const double p = z.Quarn_CalcProb(letter, v, d1, 0);
                EXPECT_TRUE(std::isfinite(p) && p >= 0 && p <= 1) << letter << " " << v << " " << d1 << " " << p;
            }
            for (double d2 : {1.0, 4.0, 60.0}) {
                const double p = z.Quarn_CalcProb("F", v, d1, d2);
                EXPECT_TRUE(std::isfinite(p) && p >= 0 && p <= 1) << "F " << v << " " << d1 << " " << d2 << " " << p;
            }
        }
    }
}

TEST(CZValueCalcProb, NonFiniteArgumentsAreRejected) {
    CZValue z;
    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    EXPECT_EQ(ErrorNumber([&] { z.Quarn_CalcProb("Z", nan, 0, 0); }), vb::err::kInvalidProcedureCall);
    EXPECT_EQ(ErrorNumber([&] { z.Quarn_CalcProb("T", inf, 3, 0); }), vb::err::kInvalidProcedureCall);
    EXPECT_EQ(ErrorNumber([&] { z.Quarn_CalcProb("F", 2, 3, nan); }), vb::err::kInvalidProcedureCall);
}

TEST(CZValueFindValue, NormalQuantiles) {
    CZValue z;
    // mpmath: findroot(lambda x: erf(x/sqrt(2)) - p, 2). A probability near 1
    // is held to 1e-16, which moves the value by 1e-16 over twice the
    // density: 1e-11 relative at 4.9, 6e-9 at 6.1.
    const struct {
        double p, x, tol;
    } cases[] = {
        {0.5, 0.6744897501960817432, 1e-13},        {0.95, 1.9599639845400542355, 1e-13},
        {0.99, 2.575829303548900761, 1e-13},        {0.999999, 4.89163847569859038623, 5e-11},
        {0.99999999, 5.73072886823628965007, 5e-9}, {0.999999999, 6.10941020486939714, 5e-8},
    };
    for (const auto& c : cases) EXPECT_TRUE(Relative(z.Quarn_FindValue("Z", c.p, 0, 0, true), c.x, c.tol)) << c.p;
    EXPECT_NEAR(z.Quarn_FindValue("z", 0.95, 0, 0, false), 1.95996, 1e-5);
    // Above the cut-off at 6.3 every value has probability 1: the search ends there.
    EXPECT_NEAR(z.Quarn_FindValue("Z", 1 - 1e-12, 0, 0, true), 6.3, 1e-6);
}

TEST(CZValueFindValue, TQuantiles) {
    CZValue z;
    // Two-tailed 5% and 1% points; mpmath: bisection of betainc(df/2, 0.5, 0, df/(x*x+df), regularized=True) - p.
    // The tables give 12.706, 4.303, 2.571, 2.228, 2.042, 1.984 and 63.657, 9.925, 4.032, 3.169, 2.750, 2.626.
    const Case cases[] = {
        {1, 0, 0.05, 12.706204736174704646},   {1, 0, 0.01, 63.656741162871580995},
        {2, 0, 0.05, 4.3026527297494638523},   {2, 0, 0.01, 9.9248432009182931147},
        {5, 0, 0.05, 2.5705818356363155147},   {5, 0, 0.01, 4.0321429835552280784},
        {10, 0, 0.05, 2.2281388519862747484},  {10, 0, 0.01, 3.1692726726169512346},
        {30, 0, 0.05, 2.04227245630123831},    {30, 0, 0.01, 2.7499956535672253324},
        {100, 0, 0.05, 1.9839715185235522866}, {100, 0, 0.01, 2.6258905214380179306},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Relative(z.Quarn_FindValue("T", c.x, c.df1, 0, true), c.expected, 1e-13)) << c.df1 << " " << c.x;
    }
    // One degree of freedom, far beyond the first bracket: t = tan(pi (1 - p) / 2).
    EXPECT_TRUE(Relative(z.Quarn_FindValue("T", 1e-6, 1, 0, true), 1 / std::tan(kPi * 1e-6 / 2), 1e-13));
}

TEST(CZValueFindValue, ChiSquareQuantiles) {
    CZValue z;
    // mpmath: bisection of gammainc(df/2, x/2, inf, regularized=True) - p.
    // Tables: 3.841, 5.991, 18.307, 67.505 (5%); 0.455, 1.386, 9.342, 49.335 (50%).
    const Case cases[] = {
        {1, 0, 0.05, 3.8414588206941259584},    {1, 0, 0.5, 0.45493642311957275194},
        {1, 0, 0.99, 0.0001570878579097019775}, {2, 0, 0.05, 5.9914645471079819869},
        {2, 0, 0.5, 1.3862943611198906188},     {10, 0, 0.05, 18.307038053275146872},
        {10, 0, 0.5, 9.3418177655919674406},    {10, 0, 0.99, 2.5582121601872060575},
        {50, 0, 0.05, 67.50480654954119997},    {50, 0, 0.5, 49.334936733976835281},
        {50, 0, 0.99, 29.706682698841289637},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Relative(z.Quarn_FindValue("C", c.x, c.df1, 0, true), c.expected, 1e-13)) << c.df1 << " " << c.x;
    }
}

TEST(CZValueFindValue, FQuantiles) {
    CZValue z;
    // mpmath: bisection of betainc(d2/2, d1/2, 0, d2/(d2 + x*d1), regularized=True) - p.
    // Tables (5%): 161.45, 3.326, 2.348, 2.922, 5.786; (1%): 4052.2, 5.636, 3.368, 4.510, 13.27.
    const Case cases[] = {
        {1, 1, 0.05, 161.4476387975884957},
        {1, 1, 0.01, 4052.1806954768291218},
        {1, 1, 0.5, 1.0},
        {5, 10, 0.05, 3.3258345304130120113},
        {5, 10, 0.01, 5.6363261876690792279},
        {10, 20, 0.05, 2.3478775669983120048},
        {10, 20, 0.5, 0.96626388859291627883},
        {3, 30, 0.05, 2.9222771906450386805},
        {3, 30, 0.01, 4.5097395624590646807},
        {2, 5, 0.05, 5.7861350433499670012},
        {2, 5, 0.01, 13.273933612004831236},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Relative(z.Quarn_FindValue("F", c.x, c.df1, c.df2, true), c.expected, 1e-13))
            << c.df1 << " " << c.df2 << " " << c.x;
    }
}

TEST(CZValueFindValue, InverseReturnsItsArgumentThroughTheForwardFunction) {
    // The search stops within 2e-15 (accurate) or 1e-12 of the probability
    // sought, or where the value no longer moves in its last places.
    CZValue z;
    const double probabilities[] = {0.9, 0.5, 0.1, 0.05, 0.025, 0.01, 0.001, 1e-5};
    for (bool accurate : {true, false}) {
        // A little above the search's own tolerance, for the last step's rounding.
        const double tol = accurate ? 1e-14 : 2e-12;
        for (double p : probabilities) {
            EXPECT_NEAR(z.Quarn_CalcProb("Z", z.Quarn_FindValue("Z", 1 - p, 0, 0, accurate), 0, 0), 1 - p, tol);
            for (double df : {1.0, 2.0, 5.0, 10.0, 30.0, 100.0}) {
                EXPECT_NEAR(z.Quarn_CalcProb("T", z.Quarn_FindValue("T", p, df, 0, accurate), df, 0), p, tol * p)
                    << "T " << df << " " << p;
            }
            for (double df : {1.0, 2.0, 10.0, 50.0}) {
                EXPECT_NEAR(z.Quarn_CalcProb("C", z.Quarn_FindValue("C", p, df, 0, accurate), df, 0), p, tol * p)
                    << "C " << df << " " << p;
            }
            const double fdf[][2] = {{1, 1}, {2, 5}, {5, 10}, {10, 20}, {3, 30}, {12, 4}};
            for (const auto& d : fdf) {
                const double x = z.Quarn_FindValue("F", p, d[0], d[1], accurate);
                EXPECT_NEAR(z.Quarn_CalcProb("F", x, d[0], d[1]), p, tol * p)
                    << "F " << d[0] << " " << d[1] << " " << p;
            }
        }
    }
}

TEST(CZValueFindValue, BadArgumentsRaiseClearErrors) {
    CZValue z;
    // An unknown letter, a probability outside (0, 1) or missing degrees of
    // freedom would leave the search without a bracket.
    EXPECT_EQ(ErrorNumber([&] { z.Quarn_FindValue("N", 0.05, 1, 1, true); }), vb::err::kInvalidProcedureCall);
    EXPECT_EQ(ErrorNumber([&] { z.Quarn_FindValue("", 0.05, 1, 1, true); }), vb::err::kInvalidProcedureCall);
    for (double p : {0.0, 1.0, -0.5, 1.5}) {
        EXPECT_EQ(ErrorNumber([&] { z.Quarn_FindValue("F", p, 2, 3, true); }), vb::err::kInvalidProcedureCall) << p;
    }
    EXPECT_EQ(ErrorNumber([&] { z.Quarn_FindValue("T", 0.05, 0, 0, true); }), vb::err::kInvalidProcedureCall);
    EXPECT_EQ(ErrorNumber([&] { z.Quarn_FindValue("C", 0.05, -1, 0, true); }), vb::err::kInvalidProcedureCall);
    EXPECT_EQ(ErrorNumber([&] { z.Quarn_FindValue("F", 0.05, 3, 0, true); }), vb::err::kInvalidProcedureCall);
    try {
        z.Quarn_FindValue("q", 0.05, 1, 1, true);
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Description(), "Probability type: q not expected");
    }
    // Degrees of freedom are not needed for "Z".
    EXPECT_GT(z.Quarn_FindValue("Z", 0.5, 0, -4, true), 0);
}

// Upper-tail probabilities a step below 1, q = 1 - p = 2^-53 and 2^-40: the
// values lie at the foot of each distribution, where the lower tail is
// q. Closed forms there: t(1) and F(1, 1) through the Cauchy distribution,
// P(|T| < t) = (2 / pi) atan t, so t = tan(pi q / 2) and F = t^2; chi-square
// with 1 degree of freedom, erf(sqrt(x / 2)) = q, so x = pi q^2 / 2 (the
// next term of the series, pi q^2 / 6 of it, is below 1e-24); with 2,
// 1 - exp(-x / 2) = q, so x = -2 ln(1 - q); F(2, 10), 1 - (1 + f / 5)^-5 = q;
// the normal, erf(z / sqrt 2) = q, so z = sqrt(2 pi) q / 2. The others:
// mpmath 1.3 at 60 digits (gammainc and betainc, bisected).
TEST(CZValueFindValue, ProbabilitiesNearOneFindTheFootOfTheDistribution) {
    CZValue z;
    struct Case {
        const char* letter;
        double df1, df2;
        double atQ53, atQ40;  // the value for q = 2^-53 and for q = 2^-40
    };
    const auto cauchy = [](long double q) {
        return static_cast<double>(std::tan(std::numbers::pi_v<long double> * q / 2));
    };
    const auto chi1 = [](long double q) { return static_cast<double>(std::numbers::pi_v<long double> * q * q / 2); };
    const auto chi2 = [](long double q) { return static_cast<double>(-2 * std::log1p(-q)); };
    const auto f2 = [](long double q) { return static_cast<double>(5 * std::expm1(-std::log1p(-q) / 5)); };
    const long double q53 = 0x1p-53L, q40 = 0x1p-40L;
    const Case cases[] = {
        {"T", 1, 0, cauchy(q53), cauchy(q40)},
        {"C", 1, 0, chi1(q53), chi1(q40)},
        {"C", 2, 0, chi2(q53), chi2(q40)},
        {"C", 10, 0, 0.003357915904105241851, 0.020387503016615808499},
        {"C", 500, 0, 282.76912381529442252, 308.44286581501227366},
        {"F", 1, 1, cauchy(q53) * cauchy(q53), cauchy(q40) * cauchy(q40)},
        {"F", 2, 10, f2(q53), f2(q40)},
        {"F", 5, 10, 2.3499360941340362447e-7, 8.6380544924284207554e-6},
        {"F", 30, 3, 0.0085014414493167074439, 0.016712873601509591152},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(Relative(z.Quarn_FindValue(c.letter, 1 - 0x1p-53, c.df1, c.df2, true), c.atQ53, 1e-13))
            << c.letter << " " << c.df1 << " " << c.df2;
        EXPECT_TRUE(Relative(z.Quarn_FindValue(c.letter, 1 - 0x1p-40, c.df1, c.df2, true), c.atQ40, 1e-13))
            << c.letter << " " << c.df1 << " " << c.df2;
    }
    const double sqrtTwoPi = std::sqrt(2 * kPi);
    EXPECT_TRUE(Relative(z.Quarn_NormalTailInverse(1 - 0x1p-53), sqrtTwoPi * 0x1p-53 / 2, 1e-13));
    EXPECT_TRUE(Relative(z.Quarn_NormalTailInverse(1 - 0x1p-40), sqrtTwoPi * 0x1p-40 / 2, 1e-13));
}

TEST(CZValueKolmogorov, LimitingProbability) {
    CZValue z;
    // mpmath: 1 - sqrt(2*pi)/z * nsum(exp(-(2k-1)^2 pi^2/(8 z^2)), k = 1..59).
    EXPECT_EQ(z.Quarn_CalcKSProb(0.26), 1.0);
    EXPECT_TRUE(Relative(z.Quarn_CalcKSProb(0.27), 0.99999958497128857909, 1e-13));
    EXPECT_TRUE(Relative(z.Quarn_CalcKSProb(0.5), 0.96394524366487509439, 1e-13));
    EXPECT_TRUE(Relative(z.Quarn_CalcKSProb(0.8), 0.54414241157419807674, 1e-13));
    EXPECT_TRUE(Relative(z.Quarn_CalcKSProb(0.999999), 0.27000074362745641005, 1e-12));
    EXPECT_TRUE(Relative(z.Quarn_CalcKSProb(1), 0.2699996716773545212, 1e-12));
    EXPECT_TRUE(Relative(z.Quarn_CalcKSProb(2), 0.00067092525577969534654, 1e-12));
    EXPECT_TRUE(Relative(z.Quarn_CalcKSProb(3.0999), 9.0038566075964870167e-9, 1e-9));
    // The tail itself far out, 0 only below the smallest Double
    // (2 nsum((-1)^(j-1) exp(-2 j^2 z^2), j = 1..inf) at 50 digits).
    EXPECT_TRUE(Relative(z.Quarn_CalcKSProb(3.1), 8.9926989245617193051e-9, 1e-14));
    EXPECT_TRUE(Relative(z.Quarn_CalcKSProb(5), 3.857499695927835566e-22, 1e-14));
    EXPECT_TRUE(Relative(z.Quarn_CalcKSProb(10), 2.7677930534734750613e-87, 1e-14));
    EXPECT_TRUE(Relative(z.Quarn_CalcKSProb(19), 5.5006506249652080126e-314, 1e-9));  // subnormal
    EXPECT_EQ(z.Quarn_CalcKSProb(20), 0.0);
    // Smirnov's table: 1.2238, 1.3581 and 1.6276 are the 10%, 5% and 1% points.
    EXPECT_NEAR(z.Quarn_CalcKSProb(1.2238), 0.10, 1e-4);
    EXPECT_NEAR(z.Quarn_CalcKSProb(1.3581), 0.05, 1e-4);
    EXPECT_NEAR(z.Quarn_CalcKSProb(1.6276), 0.01, 1e-4);
    // The two formulas meet at z = 1.
    EXPECT_NEAR(z.Quarn_CalcKSProb(1 - 1e-12), z.Quarn_CalcKSProb(1), 2e-6);
    EXPECT_EQ(ErrorNumber([&] { z.Quarn_CalcKSProb(std::nan("")); }), vb::err::kInvalidProcedureCall);
}

// Normal tails as the rank and sign tests take them, formed directly and not
// as one minus the central probability, which is 1 beyond 6.3 (R 1.0e-11 for
// a Mann-Whitney Z of -6.80 was written 0). mpmath at 50 digits:
// erfc(z / sqrt(2)) and its half; the inverse by findroot on its logarithm.
TEST(CZValueNormalTails, FarTailsKeepTheirDigits) {
    CZValue zv;
    const struct {
        double z, twoTails;
    } cases[] = {{1.96, 0.049995790296440872426}, {6.4, 1.5537695163419624664e-10}, {6.8, 1.0461915088289187917e-11},
                 {10, 1.5239706048321052132e-23}, {30, 9.8134278542963741191e-198}, {37, 1.1451142445049153645e-299}};
    for (const auto& c : cases) {
        EXPECT_TRUE(Relative(NormalTwoTails(zv, -c.z), c.twoTails, 1e-14)) << c.z;
        EXPECT_TRUE(Relative(NormalOneTail(zv, c.z), c.twoTails / 2, 1e-14)) << c.z;
        EXPECT_TRUE(Relative(NormalDistribution(zv, -c.z), c.twoTails / 2, 1e-14)) << c.z;
        EXPECT_TRUE(Relative(zv.Quarn_NormalTailInverse(c.twoTails), c.z, 1e-14)) << c.z;
    }
    EXPECT_TRUE(Relative(zv.Quarn_NormalTailInverse(1e-300), 37.065787880772130393, 1e-14));
    // Subnormal tails, then below the smallest Double.
    EXPECT_TRUE(Relative(zv.Quarn_NormalTail(38), 5.7708567201375686167e-316, 1e-7));
    EXPECT_EQ(zv.Quarn_NormalTail(39), 0.0);
    EXPECT_EQ(NormalDistribution(zv, 39), 1.0);
}

TEST(CZValueFactorials, BinomialCoefficients) {
    CZValue z;
    z.Quarn_FactorialInit();
    EXPECT_TRUE(Relative(z.Quarn_Binomial(5, 2), 10, 1e-13));
    EXPECT_TRUE(Relative(z.Quarn_Binomial(20, 10), 184756, 1e-13));
    EXPECT_TRUE(Relative(z.Quarn_Binomial(32, 16), 601080390, 1e-13));
    // Above 32! the logarithms come from the log-gamma function.
    EXPECT_TRUE(Relative(z.Quarn_Binomial(52, 5), 2598960, 1e-13));
    EXPECT_TRUE(Relative(z.Quarn_Binomial(40, 20), 137846528820.0, 1e-13));
    EXPECT_EQ(z.Quarn_Binomial(7, 0), 1.0);
    EXPECT_EQ(z.Quarn_Binomial(7, 7), 1.0);
    // No way to choose more than there are, or fewer than none.
    EXPECT_EQ(z.Quarn_Binomial(3, 5), 0.0);
    EXPECT_EQ(z.Quarn_Binomial(3, -1), 0.0);
}

TEST(CZValueFactorials, PoissonProbabilities) {
    CZValue z;
    z.Quarn_FactorialInit();
    // e^-2 2^3/3! by hand; e^-10 10^10/10! = 0.12511 in Poisson tables;
    // mpmath: exp(-40) * 40**50 / factorial(50).
    EXPECT_TRUE(Relative(z.Quarn_Poisson(2, std::log(2.0), 3), std::exp(-2.0) * 8 / 6, 1e-12));
    EXPECT_TRUE(Relative(z.Quarn_Poisson(10, std::log(10.0), 10), 0.12511003572113329898, 1e-12));
    EXPECT_TRUE(Relative(z.Quarn_Poisson(40, std::log(40.0), 50), 0.017707017552636246814, 1e-13));
    EXPECT_TRUE(Relative(z.Quarn_Poisson(0.5, std::log(0.5), 0), std::exp(-0.5), 1e-13));
    EXPECT_EQ(z.Quarn_Poisson(2, std::log(2.0), -1), 0.0);
    // The terms of a distribution add up to 1.
    double sum = 0;
    for (int y = 0; y <= 60; ++y) sum += z.Quarn_Poisson(7.5, std::log(7.5), y);
    EXPECT_NEAR(sum, 1, 1e-14);
}

TEST(CZValueFactorials, CacheMustBeMadeFirst) {
    CZValue z;
    EXPECT_EQ(ErrorNumber([&] { z.Quarn_Binomial(5, 2); }), vb::err::kSubscriptOutOfRange);
    EXPECT_EQ(ErrorNumber([&] { z.Quarn_Poisson(2, std::log(2.0), 32); }), vb::err::kSubscriptOutOfRange);
    // ln 33! and above never use the cache.
    EXPECT_TRUE(Relative(z.Quarn_Poisson(30, std::log(30.0), 33),
                         std::exp(-30 + 33 * std::log(30.0) - std::lgamma(34.0)), 1e-12));
    z.Quarn_FactorialInit();
    EXPECT_TRUE(Relative(z.Quarn_Binomial(5, 2), 10, 1e-13));
    // A second initialisation starts the cache afresh and still serves.
    z.Quarn_FactorialInit();
    EXPECT_TRUE(Relative(z.Quarn_Binomial(6, 3), 20, 1e-13));
}
