// Databases and tables for the grid tests, and the application object.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>

#include <atomic>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "dao/Dao.h"

namespace gridtest {

using namespace dao;

class GridTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_app_models";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QApplication(argc, argv);
    }
    void SetUp() override {
        static std::atomic<int> counter{0};
        dir_ = std::filesystem::temp_directory_path() /
               ("merivox_grid_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(dir_);
        ReleaseDBEngine();
        db = DBEngine().CreateDatabase((dir_ / "g.db").string());
    }
    void TearDown() override {
        db.reset();
        ReleaseDBEngine();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    void MakeKinds() {
        auto td = db->CreateTableDef("Kinds");
        td->Fields()->Append(td->CreateField("Name", dbText, 20));
        td->Fields()->Append(td->CreateField("Flag", dbBoolean));
        td->Fields()->Append(td->CreateField("When", dbDate));
        td->Fields()->Append(td->CreateField("X", dbDouble));
        td->Fields()->Append(td->CreateField("N", dbLong));
        db->TableDefs()->Append(td);
        db->Execute("INSERT INTO Kinds VALUES ('first', True, #2021-03-04 05:06:07#, 1.5, 7)");
        db->Execute("INSERT INTO Kinds VALUES (Null, Null, Null, Null, Null)");
        db->Execute("INSERT INTO Kinds VALUES ('third', False, #1999-12-31#, 1E+15, -40000)");
        db->Execute("INSERT INTO Kinds VALUES ('last', True, #2000-01-02 00:00:01#, -0.333333333333333333, 0)");
    }
    void MakeNumbers(int rows) {
        auto td = db->CreateTableDef("Numbers");
        td->Fields()->Append(td->CreateField("N", dbLong));
        db->TableDefs()->Append(td);
        DBEngine().BeginTrans();
        auto rs = db->OpenRecordset("Numbers", dbOpenTable, dbAppendOnly);
        for (int i = 1; i <= rows; ++i) {
            rs->AddNew();
            rs->Fields(0)->Value(vb::Variant(i));
            rs->Update();
        }
        rs->Close();
        DBEngine().CommitTrans();
    }
    static QString Cell(const QAbstractItemModel& m, int row, int column) {
        return m.data(m.index(row, column)).toString();
    }

    std::filesystem::path dir_;
    DatabasePtr db;
};

}  // namespace gridtest
