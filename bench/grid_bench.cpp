// The data grid over a large table: the grid control (offscreen) over the
// grid model, timed from opening the record set to the first rows painted, then
// to the last row painted, with the resident memory after opening and after
// scrolling through sampled positions. Run once on a table whose keys have
// no gaps and once after rows were deleted from it (keys with gaps); then a
// plain QTableView over the whole model, whose row header alone holds 8
// bytes per row.
//   grid_bench [rows] [database]   (default 10 000 000 rows in a temporary file;
//                                   an existing database file is reused)
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "BenchClock.h"
#include "RawSqlite.h"
#include "dao/Dao.h"
#include "models/DataGridModel.h"
#include "models/DataGridView.h"

namespace {

using bench::Clock;
using bench::Seconds;

// Current resident memory in MB (VmRSS).
double RssMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return -1;
}

// Builds the table in a child process, so its memory is not counted here.
void Build(const std::string& path, int64_t rows) {
    pid_t child = ::fork();
    if (child == 0) {
        try {
            auto db = dao::DBEngine().CreateDatabase(path);
            for (const char* name : {"Data", "Gaps"}) {
                auto td = db->CreateTableDef(name);
                td->Fields()->Append(td->CreateField("G", dao::dbText, 10));
                for (const char* f : {"A", "B", "C", "D"}) td->Fields()->Append(td->CreateField(f, dao::dbDouble));
                td->Fields()->Append(td->CreateField("N", dao::dbLong));
                db->TableDefs()->Append(td);
            }
            db->Close();
            rawsqlite::Fill(path, "Data", rows);
            rawsqlite::Fill(path, "Gaps", rows);
            // The second table with every 1000th row and its last row gone: keys with gaps.
            auto again = dao::DBEngine().OpenDatabase(path);
            again->Execute("DELETE FROM Gaps WHERE (N Mod 1000) = 7 OR N = " + std::to_string(rows - 1));
            again->Close();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "build failed: %s\n", e.what());
            std::_Exit(1);
        }
        std::_Exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::exit(1);
}

// Opens the table in the grid control (or, for comparison, in a plain
// QTableView over the whole model) and scrolls through it.
void Run(const dao::DatabasePtr& db, const std::string& table, bool plain) {
    double before = RssMb();
    auto t = Clock::now();
    QWidget window;
    window.resize(1000, 700);
    auto* model = new DataGridModel(db->OpenRecordset(table, dao::dbOpenSnapshot, dao::dbReadOnly), &window);
    DataGridView* grid = nullptr;
    QTableView* view = nullptr;
    if (plain) {
        view = new QTableView(&window);
        view->setModel(model);
    } else {
        grid = new DataGridView(&window);
        grid->SetModel(model);
    }
    (plain ? static_cast<QWidget*>(view) : grid)->resize(1000, 700);
    window.show();
    QApplication::processEvents();
    double open = Seconds(t);
    double afterOpen = RssMb();

    t = Clock::now();
    if (plain)
        view->scrollToBottom();
    else
        grid->ScrollToBottom();
    QApplication::processEvents();
    double last = Seconds(t);
    QString lastText = model->data(model->index(model->rowCount() - 1, model->columnCount() - 1)).toString();

    // Scroll through 1000 sampled positions, painting each.
    t = Clock::now();
    const int samples = 1000;
    for (int i = 0; i < samples; ++i) {
        int row = static_cast<int>(static_cast<int64_t>(model->rowCount() - 1) * i / (samples - 1));
        if (plain)
            view->scrollTo(model->index(row, 0), QAbstractItemView::PositionAtTop);
        else
            grid->ScrollToRow(row);
        QApplication::processEvents();
    }
    double through = Seconds(t);
    double afterScroll = RssMb();
    std::printf("%-5s %-10s %lld rows: open %.3f s, last row %.3f s (N = %s), %d positions %.2f s (%.1f ms each)\n",
                table.c_str(), plain ? "QTableView" : "grid", static_cast<long long>(model->rowCount()), open, last,
                qPrintable(lastText), samples, through, through * 1000 / samples);
    std::printf("      resident memory: %.0f MB before, %.0f MB after opening, %.0f MB after scrolling; "
                "%lld pages read, %d held, %lld rows visited\n",
                before, afterOpen, afterScroll, static_cast<long long>(model->PagesRead()), model->CachedPages(),
                static_cast<long long>(model->Pager().RowsVisited()));
}

}  // namespace

int main(int argc, char** argv) {
    int64_t rows = argc > 1 ? std::atoll(argv[1]) : 10'000'000;
    std::string path;
    std::filesystem::path dir;
    if (argc > 2) {
        path = argv[2];
    } else {
        dir = std::filesystem::temp_directory_path() / ("merivox_grid_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        path = (dir / "grid.db").string();
    }
    if (!std::filesystem::exists(path)) {
        auto t = Clock::now();
        Build(path, rows);
        std::printf("built %lld rows twice (the second with gaps) in %.1f s, file %.0f MB\n",
                    static_cast<long long>(rows), Seconds(t),
                    static_cast<double>(std::filesystem::file_size(path)) / 1e6);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int rc = 0;
    try {
        auto db = dao::DBEngine().OpenDatabase(path);
        Run(db, "Data", false);
        Run(db, "Gaps", false);
        Run(db, "Data", true);
        db->Close();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        rc = 1;
    }
    if (!dir.empty()) std::filesystem::remove_all(dir);
    return rc;
}
