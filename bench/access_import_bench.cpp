// Importing an Access file into a new SQLite database, as the settings step does when the
// command line names an Access installation database. Target: nwind.mdb in under 1 s.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "import/access_import.h"
#include "store/sqlite_db.h"
#include "temp_dir.h"

namespace orva {
namespace {

qint64 CountRows(const QString& path) {
  SqliteDb db = SqliteDb::OpenReadOnly(path);
  qint64 rows = 0;
  for (const QString& table : db.TableNames()) {
    rows += *db.QueryFirst(
                   QStringLiteral("SELECT COUNT(*) AS n FROM %1").arg(SqliteDb::QuoteName(table)))
                 ->Integer(u"n");
  }
  return rows;
}

void BM_ImportAccess(benchmark::State& state, const char* file) {
  const QString source = test::FixturePath(QStringLiteral("access/") + QLatin1String(file));
  QTemporaryDir dir;
  const QString target = dir.filePath(QStringLiteral("imported.orva"));
  qint64 rows = 0;
  for (auto _ : state) {
    ImportAccessDatabase(source, target);
    state.PauseTiming();
    rows = CountRows(target);
    QFile::remove(target);
    state.ResumeTiming();
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["bytes/s"] = benchmark::Counter(static_cast<double>(QFile(source).size()),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK_CAPTURE(BM_ImportAccess, nwind_jet3, "nwind.mdb")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportAccess, dates_jet4, "DateTestDatabase.mdb")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportAccess, assets_ace, "ASampleDatabase.accdb")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orva

BENCHMARK_MAIN();
