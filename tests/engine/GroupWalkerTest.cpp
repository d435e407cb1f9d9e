// The shared group walk: where groups break (Null values, letter case under
// both sort orders), the order of its events, progress, weights and the
// per-group counts.
#include "EngineTestSupport.h"
#include "GroupWalker.h"
#include "QuantaraImpl.h"
#include "RunContextSupport.h"
#include "vb/Conversions.h"

using namespace enginetest;

namespace {

using Row = std::vector<vb::Variant>;
const vb::Variant kNull = vb::Variant::Null();

class GroupWalk : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        run.SourceDatabase(db);
        run.OutputDatabase(db);
    }
    void TearDown() override {
        run.CloseRecordsets();
        EngineTest::TearDown();
    }

    // A run context of its own, with no engine object.
    RunContext run;

    static std::string Text(const vb::Variant& v) { return v.IsNull() ? "Null" : v.ToString(); }

    // Walks the sorted source and lists each finished group as
    // "values:records".
    std::vector<std::string> Groups(const std::string& table, FieldNames f, int16_t nG) {
        std::vector<int32_t> types, sizes;
        EXPECT_EQ(run.Quarn_InitDataTable(table, f, nG, types, sizes), "");
        GroupWalker walk(run, f, nG, false, 0);
        std::vector<std::string> groups;
        walk.Walk({.record = {},
                   .groupEnd =
                       [&](const GroupValues& g, int32_t n) {
                           std::string s;
                           for (int16_t i = 1; i <= nG; ++i) s += (i > 1 ? "," : "") + Text(g[size_t(i)]);
                           groups.push_back(s + ":" + std::to_string(n));
                       },
                   .groupStart = {}});
        return groups;
    }
};

TEST_F(GroupWalk, NullIsAGroupOfItsOwnAndEqualsOnlyNull) {
    AppendRows({{"b", kNull, 1.0}, {kNull, kNull, 2.0}, {"", kNull, 3.0}, {kNull, kNull, 4.0}, {"b", kNull, 5.0}});
    // Null sorts first, then the empty text.
    EXPECT_EQ(Groups("Data", {"", "G1", "X1"}, 1), (std::vector<std::string>{"Null:2", ":1", "b:2"}));
}

TEST_F(GroupWalk, LetterCaseUnderTheGeneralSortOrderIsOneGroup) {
    AppendRows({{"abc", "x", 1.0}, {"ABC", "x", 2.0}, {"Abc", "y", 3.0}, {"abd", "x", 4.0}});
    EXPECT_EQ(Groups("Data", {"", "G1", "X1"}, 1), (std::vector<std::string>{"abc:3", "abd:1"}));
    EXPECT_EQ(Groups("Data", {"", "G1", "G2", "X1"}, 2), (std::vector<std::string>{"abc,x:2", "Abc,y:1", "abd,x:1"}));
    // A number as first group field does not make letter case count.
    AppendRows({{"abc", "x", 1.0}});
    EXPECT_EQ(Groups("Data", {"", "X1", "G1", "X2"}, 2),
              (std::vector<std::string>{"1,abc:2", "2,ABC:1", "3,Abc:1", "4,abd:1"}));
}

TEST_F(GroupWalk, LetterCaseUnderABinarySortOrderSeparatesGroups) {
    db->Execute("CREATE TABLE Bin (G TEXT, X DOUBLE)");
    AppendRows({{"abc", 1.0}, {"ABC", 2.0}, {"abc", 3.0}, {"B", 4.0}}, "Bin");
    // Binary order: "ABC" < "B" < "abc".
    EXPECT_EQ(Groups("Bin", {"", "G", "X"}, 1), (std::vector<std::string>{"ABC:1", "B:1", "abc:2"}));
}

TEST_F(GroupWalk, WithoutGroupFieldsTheWholeSourceIsOneGroup) {
    AppendRows({{"a", kNull, 1.0}, {"b", kNull, 2.0}, {"c", kNull, 3.0}});
    EXPECT_EQ(Groups("Data", {"", "X1"}, 0), (std::vector<std::string>{":3"}));
}

TEST_F(GroupWalk, EventsComeInTheOrderOfTheRecordLoop) {
    AppendRows({{"a", kNull, 1.0, kNull, kNull, 1.0},
                {"a", kNull, 2.0, kNull, kNull, kNull},
                {"b", kNull, 3.0, kNull, kNull, 2.5},
                {"b", kNull, 4.0, kNull, kNull, -1.0},
                {"b", kNull, 5.0, kNull, kNull, 1.0},
                {"b", kNull, 6.0, kNull, kNull, 1.0},
                {"c", kNull, 7.0, kNull, kNull, 1.0}});
    FieldNames f{"", "G1", "X1", "W"};
    std::vector<int32_t> types, sizes;
    ASSERT_EQ(run.Quarn_InitDataTable("Data", f, 1, types, sizes), "");
    run.ShowStatus(true);
    run.OnStatus([this](std::string& message) { log.StatStatus(message); });
    GroupWalker walk(run, f, 1, true, 3);
    std::vector<std::string> trace;
    const int32_t read =
        walk.Walk({.record =
                       [&](double w) {
                           double x = 0;
                           ASSERT_TRUE(walk.PresentValue(2, x));
                           trace.push_back("record " + Text(walk.Group()[1]) + " " + vb::CStr(x) + " w=" + vb::CStr(w) +
                                           " read=" + std::to_string(walk.RecordsRead()) +
                                           " inGroup=" + std::to_string(walk.GroupRecords()));
                       },
                   .groupEnd =
                       [&](const GroupValues& g, int32_t n) {
                           trace.push_back("end " + Text(g[1]) + " " + std::to_string(n) + " after " +
                                           std::to_string(log.statuses.size()) + " messages");
                       },
                   .groupStart = [&] { trace.push_back("start " + Text(walk.Group()[1])); }});
    EXPECT_EQ(read, 7);
    const std::vector<std::string> expected = {"record a 1 w=1 read=0 inGroup=0",   "record a 2 w=0 read=1 inGroup=1",
                                               "end a 2 after 1 messages",          "start b",
                                               "record b 3 w=2.5 read=2 inGroup=0", "record b 4 w=0 read=3 inGroup=1",
                                               "record b 5 w=1 read=4 inGroup=2",   "record b 6 w=1 read=5 inGroup=3",
                                               "end b 4 after 3 messages",          "start c",
                                               "record c 7 w=1 read=6 inGroup=0",   "end c 1 after 4 messages"};
    EXPECT_EQ(trace, expected);
    // Forced at each break and at the end, else every fifth record.
    EXPECT_EQ(log.statuses, (std::vector<std::string>{"Analyzing record: 2", "Analyzing record: 5",
                                                      "Analyzing record: 6", "Analyzing record: 7"}));
}

TEST_F(GroupWalk, MissingCountsRestartWithEachGroup) {
    AppendRows({{"a", kNull, 1.0, kNull}, {"a", kNull, kNull, 2.0}, {"a", kNull, -9.0, 3.0}, {"b", kNull, 4.0, 4.0}});
    run.MissingType("Equal");
    run.MissingEqual(-9);
    FieldNames f{"", "G1", "X1", "X2"};
    std::vector<int32_t> types, sizes;
    ASSERT_EQ(run.Quarn_InitDataTable("Data", f, 1, types, sizes), "");
    GroupWalker walk(run, f, 1, false, 0);
    std::vector<std::string> counts;
    walk.Walk({.record =
                   [&](double) {
                       double x = 0;
                       for (int16_t k = 1; k <= 2; ++k)
                           if (walk.PresentValue(int16_t(1 + k), x)) walk.AddObservation(k);
                   },
               .groupEnd =
                   [&](const GroupValues& g, int32_t n) {
                       counts.push_back(
                           Text(g[1]) + " " + std::to_string(n) + " X1 " + std::to_string(walk.Observations(1)) + "/" +
                           std::to_string(walk.MissingCount(1)) + " X2 " + std::to_string(walk.Observations(2)) + "/" +
                           std::to_string(walk.MissingCount(2)));
                   },
               .groupStart = {}});
    EXPECT_EQ(counts, (std::vector<std::string>{"a 3 X1 1/2 X2 2/1", "b 1 X1 1/0 X2 1/0"}));
}

TEST_F(GroupWalk, AnEmptySourceEndsNoGroup) {
    ASSERT_EQ(run.OpenDataRecordset("SELECT [G1], [X1] FROM [Data]"), "");
    FieldNames f{"", "G1", "X1"};
    GroupWalker walk(run, f, 1, false, 0);
    int ends = 0;
    EXPECT_EQ(walk.Walk({.record = {}, .groupEnd = [&](const GroupValues&, int32_t) { ++ends; }, .groupStart = {}}), 0);
    EXPECT_EQ(ends, 0);
}

}  // namespace
