// The run's scratch database: made on request as a new file of its own in the
// temporary folder, so that runs of several engine objects or programs at once
// never share (or delete) each other's file; the run deletes it at its end.
#include <filesystem>
#include <system_error>

#include "ErrorStack.h"
#include "Merivox6/Quantara.h"
#include "QuantaraImpl.h"
#include "StatsGeneral.h"
#include "os/SystemInfo.h"
#include "vb/VbError.h"

bool engine::CloseAndDeleteScratch(Quantara::Impl& s) {
    try {
        if (s.TempDatabase) s.TempDatabase->Close();
    } catch (...) {}
    s.TempDatabase = nullptr;
    try {
        dao::DBEngine().Idle(dao::dbRefreshCache);
    } catch (...) {}
    if (s.TempFilePath.empty()) return true;
    std::error_code ec;
    std::filesystem::remove(s.TempFilePath, ec);
    if (ec) return false;
    for (const char* suffix : {"-wal", "-shm", "-journal"}) std::filesystem::remove(s.TempFilePath + suffix, ec);
    return true;
}

bool Quantara::Quarn_UTIL_MakeTempDB() {
    ProcScope scope(ErrStack(), "Quarn_UTIL_MakeTempDB");
    auto& s = *m_;
    // A scratch database made earlier in this run is closed and its file
    // deleted first: each request starts from an empty database.
    if (!s.TempFilePath.empty() && FileIsPresent(s.TempFilePath) && !engine::CloseAndDeleteScratch(s)) return false;
    s.TempDatabase = nullptr;
    // The name is reserved by creating the file; the database then takes its
    // place under the same name.
    const std::string path = TempFileName("kzp");
    if (path.empty()) return false;
    s.TempFilePath = path;
    std::error_code ec;
    std::filesystem::remove(path, ec);
    s.TempDatabase = dao::DBEngine().CreateDatabase(path, dao::dbLangGeneral);
    // Made inside the analysis's transactions: it joins them.
    for (auto& level : s.transactionLevels) {
        s.TempDatabase->BeginTrans();
        level.push_back(s.TempDatabase);
    }
    return true;
}

void Quantara::Quarn_EmptyTable(bool fTemp, const std::string& strTable, int32_t lngRows, const dao::DatabasePtr& db) {
    ProcScope scope(ErrStack(), "Quarn_EmptyTable");
    if (lngRows <= 0) return;
    const dao::DatabasePtr target = fTemp ? m_->TempDatabase : db;
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
