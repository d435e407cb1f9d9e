// Frequency intervals: the interval of a value at the edges, the describe
// column names, and "Frequency" scenarios end to end. Expected counts are
// worked out by hand from the interval definitions in the comments.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <utility>

#include "DescribeSupport.h"
#include "analysis/descriptive/DescriptiveMath.h"
#include "numeric/Numerics.h"

using namespace enginetest;
using namespace describetest;

namespace {

TEST(FrequencyBin, ValuesOnABoundGoUpOrDownWithTheIncludedBound) {
    // first 0, width 10, 3 intervals; lower bounds included: [0,10) [10,20) [20,30)
    EXPECT_EQ(FrequencyBin(-0.001, 0, 10, true, 3), 0);
    EXPECT_EQ(FrequencyBin(0, 0, 10, true, 3), 1);
    EXPECT_EQ(FrequencyBin(10, 0, 10, true, 3), 2);
    EXPECT_EQ(FrequencyBin(29.999, 0, 10, true, 3), 3);
    EXPECT_EQ(FrequencyBin(30, 0, 10, true, 3), 4);
    EXPECT_EQ(FrequencyBin(1e300, 0, 10, true, 3), 4);
    // upper bounds included: (0,10] (10,20] (20,30]; 0 itself is below.
    EXPECT_EQ(FrequencyBin(0, 0, 10, false, 3), 0);
    EXPECT_EQ(FrequencyBin(10, 0, 10, false, 3), 1);
    EXPECT_EQ(FrequencyBin(10.001, 0, 10, false, 3), 2);
    EXPECT_EQ(FrequencyBin(30, 0, 10, false, 3), 3);
    EXPECT_EQ(FrequencyBin(30.001, 0, 10, false, 3), 4);
    // Bounds free of binary noise: 0.3 lies on the bound first 0.1 + 2 x 0.1.
    EXPECT_EQ(FrequencyBin(0.3, 0.1, 0.1, true, 5), 3);
    EXPECT_EQ(FrequencyBin(0.3, 0.1, 0.1, false, 5), 2);
    // 0.4 on 0.1 + 3 x 0.1, though 0.3 / 0.1 is 2.9999999999999996 in Doubles.
    EXPECT_EQ(FrequencyBin(0.4, 0.1, 0.1, true, 5), 4);
    EXPECT_EQ(FrequencyBin(0.4, 0.1, 0.1, false, 5), 3);
    EXPECT_THROW(FrequencyBin(1, 0, 0, true, 3), vb::VbError);
    // A distance from the first bound beyond the largest Double: 1e308 lies
    // 8 widths above -1e308 in steps of 2.5e307.
    EXPECT_EQ(FrequencyBin(1e308, -1e308, 2.5e307, true, 10), 9);
}

// Values on a bound as typed, first + k width worked out in decimals by hand,
// at every magnitude: the value goes to the interval whose limit it is, its
// neighbouring Doubles on either side go above and below the bound.
TEST(FrequencyBin, ValuesOnABoundAsTypedAtEveryMagnitude) {
    struct Case {
        double first, width, x;
        int k;  // x = first + k width
    };
    for (const Case& c :
         {Case{-0.3, 0.01, -0.1, 20}, Case{-4.9, 0.1, -0.8, 41}, Case{-0.3, 0.1, 0, 3}, Case{0, 1e-9, 3e-9, 3},
          Case{0, 1e-9, 6e-9, 6}, Case{0, 1e-9, 7e-9, 7}, Case{0, 1e-9, 9e-9, 9}, Case{-1e-9, 2.5e-10, 5e-10, 6},
          Case{1e-300, 1e-301, 1.5e-300, 5}, Case{-1e308, 2e307, 4e307, 7}, Case{-1e308, 2e307, 8e307, 9},
          Case{-1e308, 2e307, -4e307, 3}}) {
        SCOPED_TRACE(testing::Message() << c.x << " from " << c.first << " by " << c.width);
        const double up = std::nextafter(c.x, INFINITY), down = std::nextafter(c.x, -INFINITY);
        EXPECT_EQ(FrequencyBin(c.x, c.first, c.width, true, 50), c.k + 1);
        EXPECT_EQ(FrequencyBin(c.x, c.first, c.width, false, 50), c.k);
        for (bool lower : {true, false}) {
            EXPECT_EQ(FrequencyBin(up, c.first, c.width, lower, 50), c.k + 1);
            EXPECT_EQ(FrequencyBin(down, c.first, c.width, lower, 50), c.k);
        }
    }
    // Between 0 and 0.1 from -0.3 by 0.1: the fourth interval, however small.
    for (double x : {5e-324, 1e-300, 1e-20, 5e-17}) EXPECT_EQ(FrequencyBin(x, -0.3, 0.1, false, 5), 4) << x;
}

// Default intervals over random data of every magnitude (a fixed seed): the
// smallest and largest values lie in the intervals, a value equal to a bound
// as the result table writes it (15 significant digits) goes by the
// included limit, and larger values never go lower.
TEST(FrequencyIntervalDefaults, BoundsAsWrittenHoldTheDataInOrder) {
    std::mt19937_64 random(20261210);
    const auto typed = [&](int exponent) {
        // A value of four digits or fewer at 10^exponent, read as typed.
        const long digits = std::uniform_int_distribution<long>(-9999, 9999)(random);
        return std::strtod((std::to_string(digits) + "e" + std::to_string(exponent)).c_str(), nullptr);
    };
    const auto written = [](double b) {
        char text[32];
        std::snprintf(text, sizeof text, "%.15g", b);
        return std::strtod(text, nullptr);
    };
    for (int set = 0; set < 3000; ++set) {
        // Every other pair of sets at ordinary magnitudes.
        const int exponent = (set / 4) % 2 ? std::uniform_int_distribution<int>(-320, 300)(random)
                                           : std::uniform_int_distribution<int>(-3, 2)(random);
        const auto n = static_cast<int16_t>(std::uniform_int_distribution<int>(2, 50)(random));
        std::vector<double> values(8);
        for (double& v : values) v = typed(exponent - std::uniform_int_distribution<int>(0, 3)(random));
        std::sort(values.begin(), values.end());
        if (values.front() == values.back()) continue;
        const bool lower = set % 2 == 0, fraction = set % 4 < 2;
        double first = 0, width = 0;
        FrequencyIntervalDefaults(fraction, n, lower, values.front(), values.back(), first, width);
        SCOPED_TRACE(testing::Message() << "set " << set << ": " << values.front() << " .. " << values.back() << ", "
                                        << n << " from " << first << " by " << width);
        const IntervalBounds bounds(n, first, width, true);
        int32_t previous = 0;
        for (double v : values) {
            const int32_t bin = bounds.Bin(v, lower);
            ASSERT_GE(bin, std::max(previous, 1));
            ASSERT_LE(bin, n);
            previous = bin;
        }
        for (int j = 0; j <= n; ++j) {
            const double b = written(IntervalBound(first, width, j));
            ASSERT_EQ(bounds.Bin(b, lower), lower ? j + 1 : j) << "bound " << j;
            ASSERT_EQ(bounds.Bin(std::nextafter(b, INFINITY), lower), j + 1) << "bound " << j;
            ASSERT_EQ(bounds.Bin(std::nextafter(b, -INFINITY), lower), j) << "bound " << j;
        }
    }
}

// Default intervals over values next to the largest Double: every bound is a
// number, and the smallest and largest values fall inside the intervals (the
// largest on the last bound, as for any data, when the first interval starts
// a margin below the smallest); equal values at the most negative Double
// start at it.
TEST(FrequencyIntervalDefaults, BoundsNextToTheLargestDoubleAreNumbers) {
    const double lowest = std::numeric_limits<double>::lowest();
    for (const auto& [low, high] : {std::pair{-1.5e308, 1.5e308}, {-1.7e308, 1.7e308}, {lowest, lowest}}) {
        for (bool fromMinimum : {false, true}) {
            double first = 0, width = 0;
            FrequencyIntervalDefaults(false, 10, fromMinimum, low, high, first, width);
            for (int i = 0; i <= 10; ++i) EXPECT_TRUE(std::isfinite(IntervalBound(first, width, i))) << low << " " << i;
            EXPECT_EQ(FrequencyBin(low, first, width, true, 10), 1) << low;
            if (low != high) {
                EXPECT_EQ(FrequencyBin(high, first, width, fromMinimum, 10), 10) << low;
            }
            std::vector<std::string> counts, proportions;
            EXPECT_TRUE(FrequencyColumnNames(10, first, width, true, counts, proportions)) << low;
        }
    }
}

TEST(FrequencyColumnNames, NamesStateTheBoundsThatPlaceTheValues) {
    std::vector<std::string> counts, shares;
    FrequencyColumnNames(2, 10, 10, true, counts, shares);
    EXPECT_EQ(counts, (std::vector<std::string>{"N<10", "10<=N<20", "20<=N<30", "30<=N"}));
    EXPECT_EQ(shares, (std::vector<std::string>{"%<10", "10<=%<20", "20<=%<30", "30<=%"}));
    FrequencyColumnNames(3, 0.1, 0.1, false, counts, shares);
    EXPECT_EQ(counts, (std::vector<std::string>{"N<=0.1", "0.1<N<=0.2", "0.2<N<=0.3", "0.3<N<=0.4", "0.4<N"}));
    // A first bound with more digits than a rounded name would show: the
    // names give the bounds the values are placed by (2.00000000005 below
    // the first, 102.00000000005 in the first interval), and a bound of 16
    // digits keeps them all.
    FrequencyColumnNames(2, 2.0000000001, 100, true, counts, shares);
    EXPECT_EQ(counts, (std::vector<std::string>{"N<2.0000000001", "2.0000000001<=N<102.0000000001",
                                                "102.0000000001<=N<202.0000000001", "202.0000000001<=N"}));
    EXPECT_EQ(FrequencyBin(2.00000000005, 2.0000000001, 100, true, 2), 0);
    EXPECT_EQ(FrequencyBin(102.00000000005, 2.0000000001, 100, true, 2), 1);
    FrequencyColumnNames(1, 0.1234567890123456, 1, false, counts, shares);
    EXPECT_EQ(counts[1], "0.1234567890123456<N<=1.1234567890123457");
}

class FrequencyTest : public EngineTest {
protected:
    int32_t Scenario(std::map<std::string, vb::Variant> options, bool weighted = true, const char* input = "Data") {
        StoredScenario scenario;
        scenario.subType = "Frequency";
        scenario.input = input;
        scenario.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"X2", "X", 2}};
        if (weighted) scenario.fields.emplace_back("W", "W", 1);
        scenario.options = std::move(options);
        return AddScenario(db, scenario);
    }
    static std::map<std::string, vb::Variant> Specified(const char* inc, bool sums = false) {
        return {{"InterV", int16_t(3)}, {"FreqIncRadio", inc}, {"FreqGroupRadio", "Specified"},
                {"FreqInit", 0.0},      {"FreqWidth", 10.0},   {"FreqSum", vb::Variant(sums)}};
    }
};

TEST_F(FrequencyTest, SpecifiedIntervalsWithOpenEndsLowerBoundsIncluded) {
    // X1 with weights: -1 (1), 0 (2), 10 (1), 29.999 (1), 30 (3); a weight-0
    // and a Null-weight record add nothing.
    AppendRows({{"a", Null(), -1.0, Null(), Null(), 1.0},
                {"a", Null(), 0.0, Null(), Null(), 2.0},
                {"a", Null(), 10.0, Null(), Null(), 1.0},
                {"a", Null(), 29.999, Null(), Null(), 1.0},
                {"a", Null(), 30.0, Null(), Null(), 3.0},
                {"a", Null(), 15.0, Null(), Null(), 0.0},
                {"a", Null(), 15.0, Null(), Null(), Null()}});
    ASSERT_TRUE(Run(Scenario(Specified("Lower")))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out1"),
              (std::vector<std::string>{"StatOutputID", "G1", "DataField", "Interval", "Low<=Range", "Range<High",
                                        "Count", "Cumulative", "Count%", "Cumulative%"}));
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 5u);  // X2 has no values: no rows
    // below 0: 1; [0,10): 2; [10,20): 1; [20,30): 1; 30 and up: 3. Sum of weights 8.
    const double count[] = {1, 2, 1, 1, 3};
    const double cum[] = {1, 3, 4, 5, 8};
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Num(rows[i], "Interval"), static_cast<double>(i + 1));
        EXPECT_EQ(Num(rows[i], "Count"), count[i]);
        EXPECT_EQ(Num(rows[i], "Cumulative"), cum[i]);
        EXPECT_DOUBLE_EQ(Num(rows[i], "Count%"), count[i] / 8);
        EXPECT_DOUBLE_EQ(Num(rows[i], "Cumulative%"), cum[i] / 8);
    }
    EXPECT_TRUE(IsNull(rows[0], "Low<=Range"));
    EXPECT_EQ(Num(rows[0], "Range<High"), 0);
    EXPECT_EQ(Num(rows[1], "Low<=Range"), 0);
    EXPECT_EQ(Num(rows[1], "Range<High"), 10);
    EXPECT_EQ(Num(rows[3], "Low<=Range"), 20);
    EXPECT_EQ(Num(rows[4], "Low<=Range"), 30);
    EXPECT_TRUE(IsNull(rows[4], "Range<High"));
    EXPECT_EQ(Num(rows[4], "Cumulative%"), 1);
}

TEST_F(FrequencyTest, UpperBoundsIncludedAndSums) {
    // X1: 0 (below), 10 (first interval), 20, -5 (below), 35 (beyond); sum 60.
    // X2: -3 and 3, summing to 0: no sum shares.
    AppendRows({{"a", Null(), 0.0, -3.0, Null(), 1.0},
                {"a", Null(), 10.0, 3.0, Null(), 1.0},
                {"a", Null(), 20.0, Null(), Null(), 1.0},
                {"a", Null(), -5.0, Null(), Null(), 1.0},
                {"a", Null(), 35.0, Null(), Null(), 1.0}});
    ASSERT_TRUE(Run(Scenario(Specified("Upper", true)))) << engine->get_ErrorInfo();
    const auto cols = ColumnNames(db, "Out1");
    EXPECT_EQ(cols[4], "Low<Range");
    EXPECT_EQ(cols[5], "Range<=High");
    EXPECT_EQ(cols.back(), "CumulativeSum%");
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 10u);
    // X1 bins: below {0, -5}; (0,10] {10}; (10,20] {20}; (20,30] {}; beyond {35}.
    const double count[] = {2, 1, 1, 0, 1};
    const double sum[] = {-5, 10, 20, 0, 35};
    double cumSum = 0;
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        cumSum += sum[i];
        EXPECT_EQ(Num(rows[i], "Count"), count[i]);
        EXPECT_EQ(Num(rows[i], "Sum"), sum[i]);
        EXPECT_EQ(Num(rows[i], "CumulativeSum"), cumSum);
        EXPECT_DOUBLE_EQ(Num(rows[i], "Sum%"), sum[i] / 60);
        EXPECT_DOUBLE_EQ(Num(rows[i], "CumulativeSum%"), cumSum / 60);
    }
    for (size_t i = 5; i < 10; ++i) {
        EXPECT_EQ(rows[i].at("DataField").ToString(), "X2");
        EXPECT_TRUE(IsNull(rows[i], "Sum%"));
        EXPECT_TRUE(IsNull(rows[i], "CumulativeSum%"));
    }
}

TEST_F(FrequencyTest, DefaultIntervalsWriteOnlyTheIntervalsPerGroup) {
    // Default intervals over 0..50 (fraction flag on): margin 10^(log10(50) - 1)
    // = 5, width (50 + 5 - 0) / 5 = 11, first 0 with lower bounds included.
    // The bounds are gathered while the read sorts; with an index in the
    // read's order the rows come unsorted, before all were seen, and the
    // bounds must still be the whole table's.
    AppendRows(
        {{"a", Null(), 0.0}, {"a", Null(), 12.0}, {"a", Null(), 50.0}, {"b", Null(), 23.0}, {"b", Null(), 21.9}});
    const int32_t id =
        Scenario({{"InterV", int16_t(5)}, {"FreqIncRadio", "Lower"}, {"FreqGroupRadio", "Default"}}, false);
    for (bool indexed : {false, true}) {
        SCOPED_TRACE(indexed ? "indexed" : "sorted");
        if (indexed) db->Execute("CREATE INDEX ReadOrder ON Data (G1, X1)");
        ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
        const auto rows = ReadResultRows(db, "Out1");
        ASSERT_EQ(rows.size(), 10u);
        EXPECT_EQ(rows[0].at("G1").ToString(), "a");
        EXPECT_EQ(Num(rows[0], "Interval"), 1);
        EXPECT_EQ(Num(rows[0], "Low<=Range"), 0);
        EXPECT_NEAR(Num(rows[0], "Range<High"), 11, 1e-12);
        const double countA[] = {1, 1, 0, 0, 1};  // [0,11) [11,22) [22,33) [33,44) [44,55)
        const double countB[] = {0, 1, 1, 0, 0};
        for (size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(Num(rows[i], "Count"), countA[i]) << i;
            EXPECT_EQ(rows[5 + i].at("G1").ToString(), "b");
            EXPECT_EQ(Num(rows[5 + i], "Count"), countB[i]) << i;
        }
        EXPECT_EQ(Num(rows[4], "Cumulative%"), 1);
    }
}

// Intervals at the resolution of the values, counted by hand from the
// bounds first + k width (lower bounds included, as by default).
TEST_F(FrequencyTest, IntervalsAtTheLimitOfResolution) {
    const auto given = [&](double first, double width, int16_t n) {
        return Scenario({{"InterV", n},
                         {"FreqIncRadio", "Lower"},
                         {"FreqGroupRadio", "Specified"},
                         {"FreqInit", first},
                         {"FreqWidth", width}},
                        false);
    };
    const auto counts = [&] {
        std::vector<double> c;
        for (const Row& r : ReadResultRows(db, "Out1")) c.push_back(Num(r, "Count"));
        return c;
    };
    {
        // Doubles near 1e17 lie 16 apart: 1e17 + 16k for k = -1..7 over five
        // intervals of 16 from 1e17: one below, one in each, three beyond.
        SCOPED_TRACE("one unit in the last place");
        std::vector<std::vector<vb::Variant>> rows;
        for (int k = -1; k <= 7; ++k) rows.push_back({"a", Null(), 1e17 + 16.0 * k});
        AppendRows(rows);
        ASSERT_TRUE(Run(given(1e17, 16, 5))) << engine->get_ErrorInfo();
        EXPECT_EQ(counts(), (std::vector<double>{1, 1, 1, 1, 1, 1, 3}));
        // Bounds that are one number are refused, saying what to change.
        for (const auto& [first, width] : {std::pair{1e17, 1.0}, {1.0, 1e-300}}) {
            EXPECT_FALSE(Run(given(first, width, 5))) << width;
            EXPECT_NE(engine->get_ErrorInfo().find("cannot be told apart"), std::string::npos)
                << engine->get_ErrorInfo();
            EXPECT_NE(engine->get_ErrorInfo().find("Choose a wider interval width"), std::string::npos);
        }
        db->Execute("DELETE FROM Data");
    }
    {
        // Widths of the smallest subnormal: 0, 5e-324, 1e-323 and 1.5e-323
        // are four numbers; 1 lies far beyond.
        SCOPED_TRACE("subnormal width");
        const double tiny = std::numeric_limits<double>::denorm_min();
        AppendRows({{"a", Null(), -tiny},
                    {"a", Null(), 0.0},
                    {"a", Null(), tiny},
                    {"a", Null(), 2 * tiny},
                    {"a", Null(), 3 * tiny},
                    {"a", Null(), 1.0}});
        ASSERT_TRUE(Run(given(0, tiny, 3))) << engine->get_ErrorInfo();
        EXPECT_EQ(counts(), (std::vector<double>{1, 1, 1, 1, 2}));
        db->Execute("DELETE FROM Data");
    }
    {
        // Default intervals over the whole range of Doubles count every record.
        SCOPED_TRACE("largest Doubles");
        const double top = std::numeric_limits<double>::max();
        AppendRows(
            {{"a", Null(), -top}, {"a", Null(), -1.0}, {"a", Null(), 0.0}, {"a", Null(), 1.0}, {"a", Null(), top}});
        for (const char* inc : {"Lower", "Upper"}) {
            SCOPED_TRACE(inc);
            ASSERT_TRUE(
                Run(Scenario({{"InterV", int16_t(5)}, {"FreqIncRadio", inc}, {"FreqGroupRadio", "Default"}}, false)))
                << engine->get_ErrorInfo();
            const auto rows = ReadResultRows(db, "Out1");
            ASSERT_EQ(rows.size(), 5u);
            EXPECT_EQ(Num(rows[4], "Cumulative"), 5);
            StoredScenario describe;
            describe.options = {{"FreqN", vb::Variant(true)},
                                {"InterV", int16_t(5)},
                                {"FreqIncRadio", inc},
                                {"FreqDispRadio", "Cumulative"},
                                {"FreqGroupRadio", "Default"}};
            ASSERT_TRUE(Run(AddScenario(db, describe))) << engine->get_ErrorInfo();
            // The last of the five cumulative count columns.
            EXPECT_EQ(ReadResultRows(db, "Out1").at(0).at(ColumnNames(db, "Out1").back()).ToDouble(), 5);
        }
    }
}

// Another tool can leave every choice of a frequency scenario empty: each
// reads as a new scenario's (10 default intervals, lower bounds included),
// not as 0 intervals and an empty table.
TEST_F(FrequencyTest, EmptyChoicesReadAsANewScenarios) {
    std::vector<std::vector<vb::Variant>> data;
    for (int i = 0; i < 200; ++i) data.push_back({"a", Null(), double(i), double(i % 7)});
    AppendRows(data);
    ASSERT_TRUE(Run(Scenario({}, false))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 20u);  // two fields of 10 intervals
    EXPECT_EQ(ColumnNames(db, "Out1")[4], "Low<=Range");
    for (size_t field = 0; field < 2; ++field) {
        double records = 0;
        for (size_t k = 0; k < 10; ++k) records += Num(rows[10 * field + k], "Count");
        EXPECT_EQ(records, 200) << field;
    }
}

// The bounds are gathered by an SQL function of the read's own select list.
// Over a user's view the read gathers as over a table; a view that calls the
// function itself, trying every token a run might use, must not reach the
// run's gathering: its run fails, or gives the same results.
TEST_F(FrequencyTest, AViewThatCallsTheGatheringCannotChangeTheIntervals) {
    AppendRows(
        {{"a", Null(), 0.0}, {"a", Null(), 12.0}, {"a", Null(), 50.0}, {"b", Null(), 23.0}, {"b", Null(), 21.9}});
    db->Execute("CREATE VIEW Plain AS SELECT * FROM Data");
    db->Execute(
        "CREATE VIEW Hostile AS WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 100000) "
        "SELECT * FROM Data WHERE (SELECT count(quarn_bounds(k, 1e9, -1e9)) FROM n) = 0");
    const std::map<std::string, vb::Variant> options = {
        {"InterV", int16_t(5)}, {"FreqIncRadio", "Lower"}, {"FreqGroupRadio", "Default"}};
    ASSERT_TRUE(Run(Scenario(options, false, "Plain"))) << engine->get_ErrorInfo();
    // Intervals of 11 from 0, as from the table itself.
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(Num(rows[0], "Low<=Range"), 0);
    EXPECT_NEAR(Num(rows[0], "Range<High"), 11, 1e-12);
    const std::vector<std::string> plain = TableAsText(db, "Out1");
    if (Run(Scenario(options, false, "Hostile"))) {
        EXPECT_EQ(TableAsText(db, "Out1"), plain);
    }
}

}  // namespace
