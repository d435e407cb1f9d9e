// The NIST reference datasets run end to end: each univariate set through a
// Describe scenario, each one-way analysis-of-variance set through an ANOVA
// scenario; the result tables are read back and every certified value must
// agree to at least 13 significant digits (the log relative error, LRE).
// The univariate files are built exactly by tests/data/nist/make_univariate.py.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "AnovaSupport.h"
#include "NistData.h"

using namespace enginetest;

namespace {

constexpr double kFloor = 13;

class NistAccuracy : public EngineTest {
protected:
    void ExpectDigits(const std::string& set, const std::string& what, double computed, double certified) {
        const double lre = nist::Lre(computed, certified);
        std::printf("LRE %-10s %-22s %5.1f\n", set.c_str(), what.c_str(), lre);
        EXPECT_GE(lre, kFloor) << set << " " << what << ": " << computed << " against " << certified;
    }

    // Mean and standard deviation of the set's one column.
    void Univariate(const std::string& set) {
        const nist::DataFile file = nist::Read(set + ".dat");
        {
            dao::TableDefPtr t = db->CreateTableDef("Sample");
            AddField(t, "V", dao::dbDouble);
            db->TableDefs()->Append(t);
            dao::DBEngine().BeginTrans();
            dao::RecordsetPtr rs = db->OpenRecordset("Sample", dao::dbOpenTable);
            for (const auto& row : nist::DataRows(file)) {
                rs->AddNew();
                rs->Fields(0)->Value(row.at(0));
                rs->Update();
            }
            rs->Close();
            dao::DBEngine().CommitTrans();
        }
        StoredScenario s;
        s.subType = "Describe";
        s.input = "Sample";
        s.fields = {{"V", "X", 1}};
        s.options = {{"VarStd", vb::Variant(true)}, {"VarNRadio", "N-1"}};
        ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
        const auto rows = ReadResultRows(db, "Out1");
        ASSERT_EQ(rows.size(), 1u);
        ExpectDigits(set, "mean", Num(rows[0], "Mean"), nist::Certified(file, "Sample Mean").at(0));
        ExpectDigits(set, "standard deviation", Num(rows[0], "StdDeviation"),
                     nist::Certified(file, "Sample Standard Deviation").at(0));
    }

    // The between and within rows of a one-way table of the set's
    // treatments and responses.
    void OneWay(const std::string& set) {
        const nist::DataFile file = nist::Read(set + ".dat");
        std::vector<anovatest::TrialRow> trial;
        for (const auto& row : nist::DataRows(file)) {
            anovatest::TrialRow r;
            r.g = "g";
            r.a = std::to_string(static_cast<int>(row.at(0)));
            r.x = row.at(1);
            trial.push_back(r);
        }
        dao::DBEngine().BeginTrans();
        anovatest::CreateTrial(db, trial);
        dao::DBEngine().CommitTrans();
        ASSERT_TRUE(Run(AddScenario(db, anovatest::GroupScenario("ANOVA", {{"A", "C"}, {"X", "X"}}))))
            << engine->get_ErrorInfo();
        const auto rows = ReadResultRows(db, "Out1");
        ASSERT_EQ(rows.size(), 3u);
        const ResultRow& between = rows[0];
        const ResultRow& within = rows[1];
        ASSERT_EQ(between.at("Source_of_Variation").ToString(), "Main: [A]");
        ASSERT_EQ(within.at("Source_of_Variation").ToString(), "Residual");
        // "Between Treatment" or "Between Instrument", and so on.
        const std::vector<double> b = nist::Certified(file, "Between");
        const std::vector<double> w = nist::Certified(file, "Within");
        EXPECT_EQ(Num(between, "DF"), b.at(0));
        EXPECT_EQ(Num(within, "DF"), w.at(0));
        ExpectDigits(set, "between SS", Num(between, "Sum_of_Squares"), b.at(1));
        ExpectDigits(set, "between MS", Num(between, "Mean_Square"), b.at(2));
        ExpectDigits(set, "F", Num(between, "F-Value"), b.at(3));
        ExpectDigits(set, "within SS", Num(within, "Sum_of_Squares"), w.at(1));
        ExpectDigits(set, "within MS", Num(within, "Mean_Square"), w.at(2));
        // The table has no R-square or residual deviation columns; both follow
        // from its sums, so they are checked as a reader would form them.
        const double total = Num(rows[2], "Sum_of_Squares");
        ExpectDigits(set, "R-square", Num(between, "Sum_of_Squares") / total,
                     nist::Certified(file, "Certified R-Squared").at(0));
        // Some headers end their certified range before the deviation line.
        for (const std::string& line : file.lines) {
            const auto at = line.find("Standard Deviation");
            if (at == std::string::npos || line.find("Residual") != std::string::npos) continue;
            const std::vector<double> sd = nist::NumbersOnLine(line.substr(at + 18));
            if (sd.size() == 1) ExpectDigits(set, "residual SD", std::sqrt(Num(within, "Mean_Square")), sd[0]);
            break;
        }
    }
};

TEST_F(NistAccuracy, NumAcc1) { Univariate("NumAcc1"); }
TEST_F(NistAccuracy, NumAcc2) { Univariate("NumAcc2"); }
TEST_F(NistAccuracy, NumAcc3) { Univariate("NumAcc3"); }
TEST_F(NistAccuracy, NumAcc4) { Univariate("NumAcc4"); }
TEST_F(NistAccuracy, PiDigits) { Univariate("PiDigits"); }

TEST_F(NistAccuracy, SiRstv) { OneWay("SiRstv"); }
TEST_F(NistAccuracy, SmLs01) { OneWay("SmLs01"); }
TEST_F(NistAccuracy, SmLs02) { OneWay("SmLs02"); }
TEST_F(NistAccuracy, SmLs03) { OneWay("SmLs03"); }
TEST_F(NistAccuracy, SmLs04) { OneWay("SmLs04"); }
TEST_F(NistAccuracy, SmLs05) { OneWay("SmLs05"); }
TEST_F(NistAccuracy, SmLs06) { OneWay("SmLs06"); }
TEST_F(NistAccuracy, SmLs07) { OneWay("SmLs07"); }
TEST_F(NistAccuracy, SmLs08) { OneWay("SmLs08"); }
TEST_F(NistAccuracy, SmLs09) { OneWay("SmLs09"); }
TEST_F(NistAccuracy, AtmWtAg) { OneWay("AtmWtAg"); }

}  // namespace
