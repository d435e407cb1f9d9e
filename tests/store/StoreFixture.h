// A fresh database file in a temporary folder, made the current database,
// with recorded UI services and a fresh error stack whose report goes to the
// same folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "CurrentDatabase.h"
#include "ErrorStack.h"
#include "dao/Dao.h"
#include "ui/RecordingUi.h"
#include "vb/VbError.h"

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "storetest.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        path_ = (dir_ / "scenarios.mdb").string();
        auto stack = std::make_shared<CErr_Zelk>();
        stack->Destination(vb::Variant((dir_ / "error.log").string()));
        SetErrStack(stack);
        workspace_ = dao::DBEngine().Workspaces(0);
        db_ = workspace_->CreateDatabase(path_);
        store::SetCurrentDatabase(workspace_, db_);
    }

    void TearDown() override {
        store::ClearCurrentDatabase();
        if (db_) db_->Close();
        db_.reset();
        workspace_.reset();
        SetErrStack(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    // Closes and re-opens the database file, so nothing cached survives.
    void Reopen() {
        db_->Close();
        db_ = workspace_->OpenDatabase(path_);
        store::SetCurrentDatabase(workspace_, db_);
    }

    bool HasTable(const std::string& name) {
        db_->TableDefs()->Refresh();
        return db_->TableDefs()->Contains(name);
    }

    // The DAO error number an action raises; 0 when it succeeds.
    template <class F>
    static int32_t ErrorOf(F&& action) {
        try {
            action();
        } catch (const vb::VbError& e) {
            return e.Number();
        }
        return 0;
    }

    std::filesystem::path dir_;
    std::string path_;
    dao::WorkspacePtr workspace_;
    dao::DatabasePtr db_;
    ui::RecordingUi ui_;
    ui::ScopedUi scopedUi_{ui_};
};
