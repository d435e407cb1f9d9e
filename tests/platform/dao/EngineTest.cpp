// The engine and workspaces: workgroup log-on and database passwords.
#include "DaoTestSupport.h"

using namespace dao;
using daotest::ErrorOf;

namespace {

class EngineTest : public daotest::DaoTest {};

TEST_F(EngineTest, WorkgroupLogOn) {
    std::string mdw = Path("work.mdw");
    CreateWorkgroupFile(mdw);
    SetAccount(mdw, "Analyst", "s3cret");
    auto& eng = DBEngine();
    eng.SystemDB(mdw);
    auto ws = eng.CreateWorkspace("Stats", "analyst", "s3cret", dbUseJet);
    EXPECT_EQ(ws->Name(), "Stats");
    EXPECT_EQ(ws->UserName(), "analyst");
    eng.Workspaces()->Append(ws);
    EXPECT_EQ(eng.Workspaces()->Count(), 2);
    EXPECT_EQ(eng.Workspaces()->Item("stats")->UserName(), "analyst");
    EXPECT_NO_THROW(eng.CreateWorkspace("StatsGeneric", "Admin", "", dbUseJet));
    EXPECT_EQ(ErrorOf([&] { eng.CreateWorkspace("Stats", "Analyst", "wrong", dbUseJet); }), err::kBadAccount);
    EXPECT_EQ(ErrorOf([&] { eng.CreateWorkspace("Stats", "Nobody", "", dbUseJet); }), err::kBadAccount);
    EXPECT_EQ(ErrorOf([&] { eng.CreateWorkspace("Stats", "Admin", "", dbUseODBC); }), err::kNotSupported);
    eng.SystemDB(Path("missing.mdw"));
    EXPECT_EQ(ErrorOf([&] { eng.CreateWorkspace("Stats", "Admin", "", dbUseJet); }), err::kWorkgroupMissing);
    EXPECT_EQ(ErrorOf([&] { CreateWorkgroupFile(mdw); }), err::kDatabaseExists);
}

TEST_F(EngineTest, TheBuiltWorkgroupFileSitsBesideTheProgram) {
    auto& eng = DBEngine();
    EXPECT_EQ(eng.SystemDB(), ProgramFolder() + "/Merivox.MDW");
    auto ws = eng.CreateWorkspace("StatsGeneric", "Admin", "", dbUseJet);
    EXPECT_EQ(ws->UserName(), "Admin");
}

TEST_F(EngineTest, DatabasePassword) {
    {
        auto db = NewDb("locked.db");
        // Without a password any ";pwd=" opens it.
        db->NewPassword("", "pass word");
        EXPECT_EQ(ErrorOf([&] { db->NewPassword("bad", "x"); }), err::kBadPassword);
    }
    auto ws = DBEngine().Workspaces(0);
    EXPECT_EQ(ErrorOf([&] { ws->OpenDatabase(Path("locked.db"), false, false, ";pwd=nope"); }), err::kBadPassword);
    EXPECT_EQ(ErrorOf([&] { ws->OpenDatabase(Path("locked.db"), false, false, ";pwd="); }), err::kBadPassword);
    auto db = ws->OpenDatabase(Path("locked.db"), false, false, ";PWD=pass word");
    EXPECT_EQ(db->TableDefs()->Count(), 0);  // the catalog holding the hash stays hidden
    db->Close();
    SetDatabasePassword(Path("locked.db"), "");
    EXPECT_NO_THROW(ws->OpenDatabase(Path("locked.db"), false, false, ";pwd=anything"));
}

TEST_F(EngineTest, ReleasedEngineStartsAfresh) {
    auto& eng = DBEngine();
    eng.SystemDB("/elsewhere.mdw");
    auto db = NewDb();
    ReleaseDBEngine();
    EXPECT_EQ(DBEngine().SystemDB(), ProgramFolder() + "/Merivox.MDW");
    EXPECT_EQ(DBEngine().Workspaces()->Count(), 1);
    EXPECT_EQ(DBEngine().Workspaces(0)->UserName(), "admin");
    EXPECT_EQ(DBEngine().Version(), "3.5");
    EXPECT_EQ(db->TableDefs()->Count(), 0);  // objects held elsewhere keep working
}

}  // namespace
