// Tie-averaged ranks written back into a record set, with hand-worked tie
// terms: a tie group of t observations adds t^3 - t to the cube sum and,
// for Kendall's tau, t(t-1), t(t-1)(t-2) and t(t-1)(2t+5).
#include "EngineTestSupport.h"
#include "StatsGeneral.h"
#include "numeric/WeightedSums.h"

using namespace enginetest;

namespace {

class WeightedSumsTest : public EngineTest {
protected:
    // statTemp1 (X, Weight, X-Rank) in `target` with the rows (value, weight).
    void Stage(const dao::DatabasePtr& target, const std::vector<std::pair<double, double>>& rows) {
        target->Execute("CREATE TABLE statTemp1 (Field INTEGER, X DOUBLE, Weight DOUBLE, [X-Rank] DOUBLE)");
        dao::RecordsetPtr rs = target->OpenRecordset("statTemp1", dao::dbOpenTable);
        for (const auto& [x, w] : rows) {
            rs->AddNew();
            rs->Fields(std::string_view("Field"))->Value(int16_t(1));
            rs->Fields(std::string_view("X"))->Value(x);
            rs->Fields(std::string_view("Weight"))->Value(w);
            rs->Update();
        }
        rs->Close();
    }

    // Ranks in value order, after WeightedSums over `rs`.
    std::vector<double> Rank(const dao::RecordsetPtr& rs, bool tau = true) {
        WeightedSums(rs, tau, "X", "X-Rank", tw, t3, tg, t2, tt, t5);
        EXPECT_TRUE(rs->Eof());
        std::vector<double> ranks;
        dao::RecordsetPtr back = db->OpenRecordset("SELECT [X-Rank] FROM statTemp1 ORDER BY [X], [X-Rank]");
        for (; !back->Eof(); back->MoveNext()) ranks.push_back(back->Fields(0)->Value().ToDouble());
        return ranks;
    }

    dao::RecordsetPtr Sorted() { return db->OpenRecordset("SELECT * FROM statTemp1 ORDER BY [X]"); }

    double tw = -1, t3 = -1, tg = -1, t2 = -1, tt = -1, t5 = -1;
};

TEST_F(WeightedSumsTest, OneTiedPairAmongUnitWeights) {
    Stage(db, {{7, 1}, {5, 1}, {3, 1}, {5, 1}});
    EXPECT_EQ(Rank(Sorted()), (std::vector<double>{1, 2.5, 2.5, 4}));
    EXPECT_EQ(t3, 6);  // 2^3 - 2
    EXPECT_EQ(tg, 1);
    EXPECT_EQ(tw, 2);
    EXPECT_EQ(t2, 2);   // 2 * 1
    EXPECT_EQ(tt, 0);   // (2 - 2) * 2
    EXPECT_EQ(t5, 18);  // (4 + 5) * 2
}

TEST_F(WeightedSumsTest, AWeightOfThreeIsATieGroupOfThree) {
    // Ranks 1 to 3 for the value 1, then 4 and 5.
    Stage(db, {{1, 3}, {2, 1}, {4, 1}});
    EXPECT_EQ(Rank(Sorted()), (std::vector<double>{2, 4, 5}));
    EXPECT_EQ(tg, 1);
    EXPECT_EQ(tw, 3);
    EXPECT_EQ(t3, 24);  // 27 - 3
    EXPECT_EQ(t2, 6);
    EXPECT_EQ(tt, 6);   // 1 * 6
    EXPECT_EQ(t5, 66);  // 11 * 6
}

TEST_F(WeightedSumsTest, FractionalWeightsCountByTheirWholePart) {
    // 2.7 counts 2, 0.9 counts 0: value 3 is tied over weights 1.5 + 1.5 = 1 + 1.
    Stage(db, {{1, 2.7}, {3, 1.5}, {3, 1.5}, {8, 1}});
    EXPECT_EQ(Rank(Sorted(), false), (std::vector<double>{1.5, 3.5, 3.5, 5}));
    EXPECT_EQ(tg, 2);
    EXPECT_EQ(tw, 4);
    EXPECT_EQ(t3, 12);
    EXPECT_EQ(t2, 0);  // only with the tau flag
    EXPECT_EQ(t5, 0);
}

TEST_F(WeightedSumsTest, AGroupThatWeighsNothingSitsBetweenItsNeighbours) {
    Stage(db, {{1, 1}, {2, 0.5}, {3, 1}});
    EXPECT_EQ(Rank(Sorted()), (std::vector<double>{1, 1.5, 2}));
    EXPECT_EQ(tg, 0);
    EXPECT_EQ(tw, 0);
}

TEST_F(WeightedSumsTest, AnEmptySetAndAllTied) {
    Stage(db, {});
    EXPECT_TRUE(Rank(Sorted()).empty());
    EXPECT_EQ(tw + t3 + tg + t2 + tt + t5, 0);
    db->Execute("INSERT INTO statTemp1 (Field, X, Weight) VALUES (1, 4, 1)");
    db->Execute("INSERT INTO statTemp1 (Field, X, Weight) VALUES (1, 4, 1)");
    db->Execute("INSERT INTO statTemp1 (Field, X, Weight) VALUES (1, 4, 1)");
    EXPECT_EQ(Rank(Sorted()), (std::vector<double>{2, 2, 2}));
    EXPECT_EQ(t3, 24);
}

TEST_F(WeightedSumsTest, ThroughAnInClauseOnTheScratchFile) {
    // The way the paired-field tests reach the scratch table.
    const std::string scratch = (folder / "scratch's.db").string();
    dao::DatabasePtr temp = dao::DBEngine().CreateDatabase(scratch);
    Stage(temp, {{2, 1}, {1, 1}, {2, 1}});
    dao::RecordsetPtr rs =
        db->OpenRecordset("SELECT * FROM statTemp1 " + InFileClause(scratch) + " where (([Field] = 1)) ORDER BY [X];");
    WeightedSums(rs, false, "X", "X-Rank", tw, t3, tg, t2, tt, t5);
    std::vector<double> ranks;
    dao::RecordsetPtr back = temp->OpenRecordset("SELECT [X-Rank] FROM statTemp1 ORDER BY [X]");
    for (; !back->Eof(); back->MoveNext()) ranks.push_back(back->Fields(0)->Value().ToDouble());
    EXPECT_EQ(ranks, (std::vector<double>{1, 2.5, 2.5}));
    EXPECT_EQ(t3, 6);
    temp->Close();
}

}  // namespace
