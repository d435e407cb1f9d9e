// The run's scratch database: made on request as a new file of its own in the
// temporary folder, so that runs of several engine objects or programs at once
// never share (or delete) each other's file; the run deletes it at its end.
#include <filesystem>
#include <system_error>

#include "ErrorStack.h"
#include "QuantaraImpl.h"
#include "RunContext.h"
#include "StatsGeneral.h"
#include "os/SystemInfo.h"
#include "vb/VbError.h"

bool RunContext::CloseAndDeleteScratch() {
    try {
        if (tempDb_) tempDb_->Close();
    } catch (...) {}
    tempDb_ = nullptr;
    try {
        dao::DBEngine().Idle(dao::dbRefreshCache);
    } catch (...) {}
    if (tempFilePath_.empty()) return true;
    std::error_code ec;
    std::filesystem::remove(tempFilePath_, ec);
    if (ec) return false;
    for (const char* suffix : {"-wal", "-shm", "-journal"}) std::filesystem::remove(tempFilePath_ + suffix, ec);
    return true;
}

void RunContext::DeleteScratchDatabase() {
    std::error_code ec;
    if (tempFilePath_.empty() || !std::filesystem::is_regular_file(tempFilePath_, ec)) return;
    CloseAndDeleteScratch();
}

bool RunContext::Quarn_UTIL_MakeTempDB() {
    ProcScope scope(ErrStack(), "Quarn_UTIL_MakeTempDB");
    // A scratch database made earlier in this run is closed and its file
    // deleted first: each request starts from an empty database.
    if (!tempFilePath_.empty() && FileIsPresent(tempFilePath_) && !CloseAndDeleteScratch()) return false;
    tempDb_ = nullptr;
    // The name is reserved by creating the file; the database then takes its
    // place under the same name.
    const std::string path = TempFileName("kzp");
    if (path.empty()) return false;
    tempFilePath_ = path;
    std::error_code ec;
    std::filesystem::remove(path, ec);
    tempDb_ = dao::DBEngine().CreateDatabase(path, dao::dbLangGeneral);
    // Made inside the analysis's transactions: it joins them.
    for (auto& level : transactionLevels_) {
        tempDb_->BeginTrans();
        level.push_back(tempDb_);
    }
    return true;
}

void RunContext::Quarn_EmptyTable(bool fTemp, const std::string& strTable, int32_t lngRows,
                                  const dao::DatabasePtr& db) {
    ProcScope scope(ErrStack(), "Quarn_EmptyTable");
    if (lngRows <= 0) return;
    const dao::DatabasePtr target = fTemp ? tempDb_ : db;
    if (!target) throw vb::VbError(91, "Object variable or With block variable not set", "Quarn_EmptyTable");
    if (lngRows >= 100) {
        target->Execute("DELETE DISTINCTROW * FROM " + BracketName(strTable));
        return;
    }
    // Fewer rows: deleted one by one inside one transaction.
    dao::RecordsetPtr rs = target->OpenRecordset(strTable, dao::dbOpenTable);
    BeginTrans();
    while (!rs->Eof()) {
        rs->Delete();
        rs->MoveNext();
    }
    CommitTrans();
    rs->Close();
}

std::string TempFileName(const std::string& strPrefix) {
    try {
        return os::MakeTempFile(strPrefix);
    } catch (...) {
        return {};
    }
}

bool FileIsPresent(const std::string& strPath) {
    if (strPath.empty()) return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(strPath, ec);
}
