// Communication log throughput: one row per frame and per answer, each saved at once.
#include "link/comm_log.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void BM_LogRow(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("CommLog.orva"));
  QFile::copy(QStringLiteral(ORVA_BIN_DIR "/CommLog.orva"), path);
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
  orva::CommLog log = orva::CommLog::Open(path);
  const QByteArray frame(static_cast<int>(state.range(0)), '\0');
  for (auto _ : state) log.LogRow(QStringLiteral("rx"), frame);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogRow)->Arg(12)->Arg(499)->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();
