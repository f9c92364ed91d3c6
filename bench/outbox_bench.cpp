// The outbox: committing a tick of 50 records to it (target < 2 ms); draining a backlog of
// 1,000,000 records into a local influxd with its data on disk (target >= 100,000 records/s, and
// >= 0.5 x a minimal batched client posting the same number in batches of 5,000 to the same
// server in the same run); the resident memory of this process with that backlog (target
// <= 40 MB), which holds the outbox and the sender as the program does.
#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "delivery/outbox.h"
#include "delivery/outbox_sender.h"
#include "influx_servers.h"
#include "raw_client.h"

namespace orva {
namespace {

bench::InfluxServers* servers = nullptr;
const QString kDatabase = QStringLiteral("bench");
constexpr qint64 kBacklog = 1'000'000;
constexpr qint64 kBatch = 5'000;

// A record as the scan stamps it; 5,000 series, each point of its own millisecond.
QByteArray Line(const char* measurement, qint64 n, qint64 base_ms) {
  return measurement + (",n=" + QByteArray::number(n % kBatch)) +
         " temperature=21.5,humidity=45.5,light=300 " + QByteArray::number(base_ms + n);
}

QList<StampedRecord> Tick(const char* measurement, qint64 first, qint64 count, qint64 base_ms) {
  QList<StampedRecord> records;
  for (qint64 n = first; n < first + count; ++n) {
    records << StampedRecord{Line(measurement, n, base_ms), base_ms + n};
  }
  return records;
}

// Megabytes of this process's resident memory, now ("VmRSS") or at its peak ("VmHWM").
double ResidentMb(const char* key) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith(key)) return line.mid(6).trimmed().split(' ').front().toDouble() / 1024;
  }
  return 0;
}

qint64 BaseMs() { return QDateTime::currentMSecsSinceEpoch() - 2 * kBacklog; }

void BM_CommitTick(benchmark::State& state) {
  QTemporaryDir dir;
  Outbox outbox(dir.filePath(QStringLiteral("Outbox.orva")), kBacklog);
  const qint64 base = BaseMs();
  qint64 n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const QList<StampedRecord> tick = Tick("tick", n, 50, base);
    n += 50;
    state.ResumeTiming();
    outbox.Add(TimePrecision::kMilliseconds, tick);
  }
  state.SetLabel("50 records, synced to disk");
}
BENCHMARK(BM_CommitTick)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_DrainBacklog(benchmark::State& state) {
  const test::InfluxdProcess* influxd = servers->For(state, false);
  if (!influxd) return;
  const InfluxServer server{influxd->host(), influxd->port_text(), kDatabase, {}, {}};
  for (auto _ : state) {
    QTemporaryDir dir;
    Outbox outbox(dir.filePath(QStringLiteral("Outbox.orva")), kBacklog);
    const qint64 base = BaseMs();
    for (qint64 n = 0; n < kBacklog; n += kBatch) {
      outbox.Add(TimePrecision::kMilliseconds, Tick("drain", n, kBatch, base));
    }
    state.counters["backlog RSS MB"] = ResidentMb("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    {
      OutboxSender sender(outbox, {}, [&] { return server; });
      while (outbox.size() > 0) QThread::msleep(5);
    }
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    state.counters["records/s"] = static_cast<double>(kBacklog) / (timer.nsecsElapsed() / 1e9);
    state.counters["peak RSS MB"] = ResidentMb("VmHWM:");
  }
  state.SetLabel("1,000,000 records, server data on disk");
}
BENCHMARK(BM_DrainBacklog)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_RawBatched(benchmark::State& state) {
  const test::InfluxdProcess* influxd = servers->For(state, false);
  if (!influxd) return;
  for (auto _ : state) {
    bench::RawClient client(influxd->host(), influxd->port_text().toUShort(), kDatabase);
    const qint64 base = BaseMs();
    QElapsedTimer timer;
    qint64 busy_ns = 0;
    for (qint64 n = 0; n < kBacklog; n += kBatch) {
      QByteArray body;
      for (qint64 i = n; i < n + kBatch; ++i) body += Line("raw", i, base) + '\n';
      timer.start();
      if (client.Post(body) != 204) {
        state.SkipWithError("the raw client got no 204");
        return;
      }
      busy_ns += timer.nsecsElapsed();
    }
    state.SetIterationTime(static_cast<double>(busy_ns) / 1e9);
    state.counters["records/s"] = static_cast<double>(kBacklog) / (busy_ns / 1e9);
  }
  state.SetLabel("raw client, batches of 5,000, server data on disk");
}
BENCHMARK(BM_RawBatched)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace orva

int main(int argc, char** argv) {
  return orva::bench::RunWithInfluxServers(argc, argv, orva::kDatabase, &orva::servers);
}
