// The t bands of Describe over many groups: every group's band is its own
// t value times its standard error, whether the group's degrees of freedom
// were met before in the run or not, whole or fractional (weights).
#include <cmath>
#include <string>

#include "DescribeSupport.h"

using namespace enginetest;
using namespace describetest;

namespace {

class DescribeBandTest : public EngineTest {};

// Two-tailed t values for 0.05 and for 1 - 0.99 (the Double the 99% level
// gives), by mpmath at 40 digits: bisection of
// betainc(df/2, 1/2, 0, df/(t*t + df), regularized=True) - p.
struct TValues {
    double df, t95, t99;
};
constexpr TValues kTValues[] = {
    {1, 12.7062047361747039378, 63.6567411628715244472},  {2, 4.30265272974946372339, 9.92484320091828864033},
    {3, 3.18244630528370952042, 5.84090930973335541126},  {4, 2.77644510519779430355, 4.6040948713499920459},
    {5, 2.57058183563631546895, 4.03214298355522717928},  {9, 2.26215716279820550864, 3.24983554159212572051},
    {29, 2.04522964213270427171, 2.75638590367060512035}, {1.5, 6.01666310442793169266, 17.8203105144627966819},
};

TEST_F(DescribeBandTest, EveryGroupGetsTheTValueOfItsOwnDegreesOfFreedom) {
    // Groups of 2, 3, 4, 5, 6, 10 and 30 rows holding 1 .. n, each size twice
    // and interleaved, so that later groups meet sizes already seen: the
    // standard error of 1 .. n is sqrt((n + 1) / 12).
    const int sizes[] = {2, 3, 4, 5, 6, 10, 30};
    std::vector<std::vector<vb::Variant>> rows;
    int group = 0;
    for (int round = 0; round < 2; ++round) {
        for (int n : sizes) {
            char name[16];
            std::snprintf(name, sizeof name, "G%02d", group++);
            for (int i = 1; i <= n; ++i) rows.push_back({name, Null(), double(i), Null(), Null(), 1.0});
        }
    }
    // A weighted group: 1, 2, 3 with weights 0.5, 1, 1 count 2.5, so 1.5
    // degrees of freedom; mean 2.2, s^2 = 1.4 / 1.5, standard error sqrt(s^2 / 2.5).
    for (auto [x, w] : {std::pair{1.0, 0.5}, {2.0, 1.0}, {3.0, 1.0}})
        rows.push_back({"W", Null(), x, Null(), Null(), w});
    AppendRows(rows);
    StoredScenario scenario;
    scenario.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"W", "W", 1}};
    scenario.options = {{"Mean", vb::Variant(true)},
                        {"CI", vb::Variant(true)},
                        {"CITypeRadio", "t"},
                        {"CI95", vb::Variant(true)},
                        {"CIUser", int16_t(99)}};
    ASSERT_TRUE(Run(AddScenario(db, scenario))) << engine->get_ErrorInfo();

    const auto result = ReadResultRows(db, "Out1");
    ASSERT_EQ(result.size(), 15u);
    const auto tFor = [](double df) {
        for (const TValues& v : kTValues)
            if (v.df == df) return v;
        ADD_FAILURE() << "no t value for " << df;
        return TValues{};
    };
    for (const Row& r : result) {
        const std::string name = r.at("G1").ToString();
        SCOPED_TRACE(name);
        double df = 0, se = 0;
        if (name == "W") {
            df = 1.5;
            se = std::sqrt(1.4 / 1.5 / 2.5);
        } else {
            const int n = sizes[std::stoi(name.substr(1)) % 7];
            df = n - 1;
            se = std::sqrt((n + 1) / 12.0);
        }
        const TValues t = tFor(df);
        const double band95 = r.at("95%_t_Band").ToDouble();
        const double band99 = r.at("99%_t_Band").ToDouble();
        EXPECT_NEAR(band95, t.t95 * se, 1e-13 * t.t95 * se);
        EXPECT_NEAR(band99, t.t99 * se, 1e-13 * t.t99 * se);
        const double mean = r.at("Mean").ToDouble();
        EXPECT_NEAR(r.at("99%_Lower").ToDouble(), mean - t.t99 * se, 1e-13 * (std::fabs(mean) + t.t99 * se));
        EXPECT_NEAR(r.at("99%_Upper").ToDouble(), mean + t.t99 * se, 1e-13 * (std::fabs(mean) + t.t99 * se));
    }
}

}  // namespace
