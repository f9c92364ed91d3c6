// The outbox: committing a tick of 50 records to it (target < 2 ms); draining a backlog of
// 1,000,000 records into a local influxd with its data on disk (target >= 0.9 x a minimal
// batched client posting the same number in batches of 5,000 to the same server in the same
// run) and into a local VictoriaMetrics (target >= 400,000 records/s, beside the same client);
// the resident memory of this process with that backlog (target <= 40 MB), which holds the
// outbox and the sender as the program does. Each drain is checked: every record arrived.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <optional>

#include "delivery/outbox.h"
#include "delivery/outbox_sender.h"
#include "influx_servers.h"
#include "raw_client.h"
#include "victoria_metrics_process.h"

namespace orva {
namespace {

bench::InfluxServers* servers = nullptr;
test::VictoriaMetricsProcess* victoria = nullptr;
const QString kDatabase = QStringLiteral("bench");
constexpr qint64 kBacklog = 1'000'000;
constexpr qint64 kBatch = 5'000;

// A record as the scan stamps it; 5,000 series, each point of its own millisecond.
QByteArray Line(const QByteArray& measurement, qint64 n, qint64 base_ms) {
  return measurement + (",n=" + QByteArray::number(n % kBatch)) +
         " temperature=21.5,humidity=45.5,light=300 " + QByteArray::number(base_ms + n);
}

QList<StampedRecord> Tick(const QByteArray& measurement, qint64 first, qint64 count,
                          qint64 base_ms) {
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

enum Target { kInfluxd = 0, kVictoriaMetrics = 1 };

// The server of a case (its first argument), or nullopt with the case skipped.
std::optional<InfluxServer> ServerOf(benchmark::State& state) {
  if (state.range(0) == kVictoriaMetrics) {
    if (victoria && victoria->running()) {
      return InfluxServer{victoria->host(), victoria->port_text(), kDatabase, {}, {}};
    }
    state.SkipWithError("no victoria-metrics");
    return std::nullopt;
  }
  const test::InfluxdProcess* influxd = servers->For(state, false);
  if (!influxd) return std::nullopt;
  return InfluxServer{influxd->host(), influxd->port_text(), kDatabase, {}, {}};
}

std::string TargetLabel(const benchmark::State& state) {
  return state.range(0) == kVictoriaMetrics ? "VictoriaMetrics" : "influxd, server data on disk";
}

// A measurement name of its own for every run, so that each counts only its own points.
QByteArray FreshMeasurement(const char* stem) {
  static int runs = 0;
  return stem + QByteArray::number(++runs);
}

// How many of the points of `measurement` (temperature, one per record) the server holds.
qint64 Arrived(benchmark::State& state, const QByteArray& measurement) {
  if (state.range(0) == kVictoriaMetrics) {
    return victoria->SampleCount(QString::fromLatin1(measurement + "_temperature"), 30);
  }
  const QList<QJsonObject> points =
      servers->For(state, false)
          ->Points(QStringLiteral("SELECT COUNT(temperature) AS n FROM \"%1\"")
                       .arg(QString::fromLatin1(measurement)),
                   kDatabase);
  return points.isEmpty() ? -1 : points.front().value(QStringLiteral("n")).toInteger();
}

void CheckArrived(benchmark::State& state, const QByteArray& measurement) {
  // VictoriaMetrics makes what it took searchable in the background, a while after its reply.
  qint64 arrived = Arrived(state, measurement);
  for (int wait = 0; wait < 20 && arrived != kBacklog; ++wait) {
    QThread::msleep(500);
    arrived = Arrived(state, measurement);
  }
  state.counters["arrived"] = static_cast<double>(arrived);
  if (arrived != kBacklog) {
    state.SkipWithError(
        qPrintable(QStringLiteral("%1 of %2 records arrived").arg(arrived).arg(kBacklog)));
  }
}

void BM_DrainBacklog(benchmark::State& state) {
  const std::optional<InfluxServer> server = ServerOf(state);
  if (!server) return;
  for (auto _ : state) {
    QTemporaryDir dir;
    Outbox outbox(dir.filePath(QStringLiteral("Outbox.orva")), kBacklog);
    const QByteArray measurement = FreshMeasurement("drain");
    const qint64 base = BaseMs();
    for (qint64 n = 0; n < kBacklog; n += kBatch) {
      outbox.Add(TimePrecision::kMilliseconds, Tick(measurement, n, kBatch, base));
    }
    state.counters["backlog RSS MB"] = ResidentMb("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    {
      OutboxSender sender(outbox, {}, [&] { return *server; });
      while (outbox.size() > 0) QThread::msleep(5);
    }
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    state.counters["records/s"] = static_cast<double>(kBacklog) / (timer.nsecsElapsed() / 1e9);
    state.counters["peak RSS MB"] = ResidentMb("VmHWM:");
    CheckArrived(state, measurement);
  }
  state.SetLabel("1,000,000 records, " + TargetLabel(state));
}
BENCHMARK(BM_DrainBacklog)
    ->Arg(kInfluxd)
    ->Arg(kVictoriaMetrics)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

void BM_RawBatched(benchmark::State& state) {
  const std::optional<InfluxServer> server = ServerOf(state);
  if (!server) return;
  for (auto _ : state) {
    bench::RawClient client(server->host, server->port.toUShort(), kDatabase);
    const QByteArray measurement = FreshMeasurement("raw");
    const qint64 base = BaseMs();
    QElapsedTimer timer;
    qint64 busy_ns = 0;
    for (qint64 n = 0; n < kBacklog; n += kBatch) {
      QByteArray body;
      for (qint64 i = n; i < n + kBatch; ++i) body += Line(measurement, i, base) + '\n';
      timer.start();
      if (client.Post(body) != 204) {
        state.SkipWithError("the raw client got no 204");
        return;
      }
      busy_ns += timer.nsecsElapsed();
    }
    state.SetIterationTime(static_cast<double>(busy_ns) / 1e9);
    state.counters["records/s"] = static_cast<double>(kBacklog) / (busy_ns / 1e9);
    CheckArrived(state, measurement);
  }
  state.SetLabel("raw client, batches of 5,000, " + TargetLabel(state));
}
BENCHMARK(BM_RawBatched)
    ->Arg(kInfluxd)
    ->Arg(kVictoriaMetrics)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace orva

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  orva::bench::InfluxServers influx;
  QString error;
  if (!influx.Start(orva::kDatabase, &error)) {
    std::fprintf(stderr, "influxd did not start: %s\n", qPrintable(error));
    return 1;
  }
  orva::test::VictoriaMetricsProcess victoria;
  if (!victoria.WaitReady()) {
    std::fprintf(stderr, "victoria-metrics did not start\n");
    return 1;
  }
  orva::servers = &influx;
  orva::victoria = &victoria;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  orva::servers = nullptr;
  orva::victoria = nullptr;
  return 0;
}
