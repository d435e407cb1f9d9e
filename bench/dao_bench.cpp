// The data-access layer against sqlite3 itself: a forward walk of a sorted
// dynaset (fields by position and by name), appends through an append-only
// record set, and the peak resident memory of the walk.
//   dao_bench [rows]        (default 10 000 000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "BenchClock.h"
#include "RawSqlite.h"
#include "dao/Dao.h"

namespace {

using bench::Clock;
using bench::PeakRssMb;
using bench::ResetPeakRss;
using bench::Seconds;

void MakeTable(const dao::DatabasePtr& db, const std::string& name) {
    auto td = db->CreateTableDef(name);
    td->Fields()->Append(td->CreateField("G", dao::dbText, 10));
    for (const char* f : {"A", "B", "C", "D"}) td->Fields()->Append(td->CreateField(f, dao::dbDouble));
    td->Fields()->Append(td->CreateField("N", dao::dbLong));
    db->TableDefs()->Append(td);
}

rawsqlite::WalkResult LayerWalk(const dao::DatabasePtr& db, bool byName) {
    auto rs = db->OpenRecordset("SELECT G, A, B, C, D, N FROM [Data] ORDER BY [G]", dao::dbOpenDynaset,
                                dao::dbReadOnly | dao::dbSeeChanges);
    rawsqlite::WalkResult r;
    static const char* names[] = {"G", "A", "B", "C", "D", "N"};
    while (!rs->Eof()) {
        vb::Variant g = byName ? rs->Fields(names[0])->Value() : rs->Fields(0)->Value();
        r.checksum += static_cast<double>(g.String().size());
        for (int c = 1; c <= 5; ++c) r.checksum += (byName ? rs->Fields(names[c]) : rs->Fields(c))->Value().ToDouble();
        ++r.rows;
        rs->MoveNext();
    }
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    int64_t rows = argc > 1 ? std::atoll(argv[1]) : 10'000'000;
    int64_t appends = std::min<int64_t>(1'000'000, rows);
    auto dir = std::filesystem::temp_directory_path() / ("merivox_dao_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "bench.db").string();
    try {
        {
            auto db = dao::DBEngine().CreateDatabase(path);
            MakeTable(db, "Data");
            MakeTable(db, "RawAppend");
            MakeTable(db, "LayerAppend");
            db->Close();
        }
        auto t = Clock::now();
        rawsqlite::Fill(path, "Data", rows);
        std::printf("built %lld rows in %.1f s\n", static_cast<long long>(rows), Seconds(t));

        auto db = dao::DBEngine().OpenDatabase(path);

        ResetPeakRss();
        t = Clock::now();
        auto raw = rawsqlite::Walk(path, "Data");
        double rawWalk = Seconds(t);
        double rawPeak = PeakRssMb();

        ResetPeakRss();
        t = Clock::now();
        auto byPos = LayerWalk(db, false);
        double posWalk = Seconds(t);
        double layerPeak = PeakRssMb();

        t = Clock::now();
        auto byName = LayerWalk(db, true);
        double nameWalk = Seconds(t);

        t = Clock::now();
        rawsqlite::Append(path, "RawAppend", appends);
        double rawAppend = Seconds(t);

        t = Clock::now();
        {
            auto ws = dao::DBEngine().Workspaces(0);
            ws->BeginTrans();
            auto rs = db->OpenRecordset("LayerAppend", dao::dbOpenDynaset, dao::dbAppendOnly);
            static const char* groups[] = {"g7", "g2", "g9", "g0", "g5", "g1", "g8", "g3", "g6", "g4"};
            for (int64_t i = 0; i < appends; ++i) {
                rs->AddNew();
                rs->Fields(0)->Value(groups[i % 10]);
                rs->Fields(1)->Value(static_cast<double>(i) * 0.5);
                rs->Fields(2)->Value(static_cast<double>(i % 1000) / 7.0);
                rs->Fields(3)->Value(1.0 / static_cast<double>(i + 1));
                rs->Fields(4)->Value(static_cast<double>(i % 97));
                rs->Fields(5)->Value(static_cast<int32_t>(i % 2000000000));
                rs->Update();
            }
            rs->Close();
            ws->CommitTrans();
        }
        double layerAppend = Seconds(t);

        if (byPos.rows != raw.rows || byName.rows != raw.rows || byPos.checksum != raw.checksum ||
            byName.checksum != raw.checksum) {
            std::fprintf(stderr, "the walks disagree: %lld/%lld rows\n", static_cast<long long>(byPos.rows),
                         static_cast<long long>(raw.rows));
            return 1;
        }
        std::printf("\n%-44s %10s %10s %7s %7s\n", "", "layer", "sqlite3", "ratio", "limit");
        std::printf("%-44s %9.2fs %9.2fs %7.2f %7s\n", "forward walk, fields by position", posWalk, rawWalk,
                    posWalk / rawWalk, "1.5");
        std::printf("%-44s %9.2fs %9.2fs %7.2f %7s\n", "forward walk, fields by name", nameWalk, rawWalk,
                    nameWalk / rawWalk, "2.0");
        std::printf("%-44s %9.2fs %9.2fs %7.2f %7s\n", "append 1M rows (append-only set, transaction)", layerAppend,
                    rawAppend, layerAppend / rawAppend, "2.0");
        std::printf("%-44s %8.0fMB %8.0fMB %7s %7s\n", "peak resident memory during the walk", layerPeak, rawPeak, "",
                    "100MB");
        std::printf("(%lld rows; Text group column of 10 values, four Double columns, one Long)\n",
                    static_cast<long long>(rows));
        db->Close();
    } catch (const vb::VbError& e) {
        std::fprintf(stderr, "error %d: %s\n", e.Number(), e.Description().c_str());
        std::filesystem::remove_all(dir);
        return 1;
    }
    std::filesystem::remove_all(dir);
    return 0;
}
