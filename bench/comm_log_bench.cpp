// Communication log throughput: one row per frame and per answer, each saved at once; and what
// one batch of the retention's deleting costs (target: at most 20 ms, so that a tick that falls
// due waits no longer).
#include "link/comm_log.h"
#include "scan/comm_log_retention.h"
#include "store/sqlite_db.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

namespace {

QString FreshLog(const QTemporaryDir& dir) {
  const QString path = dir.filePath(QStringLiteral("CommLog.orva"));
  QFile::copy(QStringLiteral(ORVA_BIN_DIR "/CommLog.orva"), path);
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
  return path;
}

void BM_LogRow(benchmark::State& state) {
  QTemporaryDir dir;
  orva::CommLog log = orva::CommLog::Open(FreshLog(dir));
  const QByteArray frame(static_cast<int>(state.range(0)), '\0');
  for (auto _ : state) log.LogRow(QStringLiteral("rx"), frame);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogRow)->Arg(12)->Arg(499)->Unit(benchmark::kMicrosecond);

// Adds `rows` rows of `size` bytes stamped two days ago, as a log that has outgrown its days.
void AddOldRows(orva::SqliteDb& db, qint64 rows, qint64 size) {
  db.Execute(
      QStringLiteral(
          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?1) "
          "INSERT INTO CommLog (TimeStamp, Soort, Data) SELECT ?2, 'rx', zeroblob(?3) FROM n"),
      {rows, QDateTime::currentDateTime().addDays(-2).toString(Qt::ISODateWithMs), size});
}

// One batch of old rows deleted from a log of range(0) rows of range(1) bytes; "max_ms" is the
// slowest batch of the run, "over_20ms" how many batches took longer than that.
void BM_DeleteOldBatch(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = FreshLog(dir);
  orva::SqliteDb db = orva::SqliteDb::OpenExisting(path);
  AddOldRows(db, state.range(0), state.range(1));
  orva::CommLog log = orva::CommLog::Open(path);
  const QDateTime cutoff = QDateTime::currentDateTime().addDays(-1);
  constexpr int kBatch = orva::CommLogRetention::kBatchRows;
  qint64 left = state.range(0);
  double max_ms = 0;
  int over_limit = 0;
  for (auto _ : state) {
    if (left < kBatch) {
      state.PauseTiming();
      AddOldRows(db, state.range(0) - left, state.range(1));
      left = state.range(0);
      state.ResumeTiming();
    }
    const auto start = std::chrono::steady_clock::now();
    left -= log.DeleteOlderThan(cutoff, kBatch);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    max_ms = std::max(max_ms, ms);
    if (ms > 20) ++over_limit;
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  state.counters["max_ms"] = max_ms;
  state.counters["over_20ms"] = over_limit;
}
BENCHMARK(BM_DeleteOldBatch)
    ->Args({200000, 60})
    ->Args({200000, 499})
    ->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
