// Posting records to a local influxd, one HTTP request per record as the scan does: records per
// second and CPU per post, with the kept-alive connection and with a fresh connection per post,
// against a server with its data on disk and one with its data in memory (influx_servers.h).
// Beside them, the same posts through a minimal hand-written keep-alive client on QTcpSocket
// (raw_client.h) on the same server in the same run: the floor that libcurl's generality should
// not raise by more than a few per cent. Also the CPU cost of turning controller answers into
// record text.
#include <benchmark/benchmark.h>

#include "delivery/influx_writer.h"
#include "influx_servers.h"
#include "raw_client.h"
#include "scan/line_protocol.h"
#include "scan/module_fields.h"

namespace orva {
namespace {

bench::InfluxServers* servers = nullptr;
const QString kDatabase = QStringLiteral("bench");

// Own series per record, so that no point replaces another whatever the server's clock.
QString Record(int n) {
  return QStringLiteral("bench,n=%1 temperature=21.5,humidity=45.5,light=300").arg(n % 5000);
}

void BM_PostRecord(benchmark::State& state) {
  const bool keep_alive = state.range(0) != 0;
  const bool in_memory = state.range(1) != 0;
  const test::InfluxdProcess* influxd = servers->For(state, in_memory);
  if (!influxd) return;
  const InfluxServer server{influxd->host(), influxd->port_text(), kDatabase, {}, {}};
  InfluxWriter writer({.keep_alive = keep_alive});
  int n = 0;
  for (auto _ : state) {
    const PostResult result = writer.PostRecord(server, Record(n++));
    if (result.outcome != PostOutcome::kSent) {
      state.SkipWithError(qPrintable(result.status_text + QLatin1Char(' ') + result.detail));
      break;
    }
  }
  state.SetLabel(bench::InfluxServers::Label(keep_alive, in_memory));
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PostRecord)
    ->ArgsProduct({{1, 0}, {0, 1}})
    ->UseRealTime()
    ->MinTime(3.0)
    ->Unit(benchmark::kMicrosecond);

void BM_RawPost(benchmark::State& state) {
  const bool in_memory = state.range(0) != 0;
  const test::InfluxdProcess* influxd = servers->For(state, in_memory);
  if (!influxd) return;
  bench::RawClient client(influxd->host(), influxd->port_text().toUShort(), kDatabase);
  int n = 0;
  for (auto _ : state) {
    if (client.Post(Record(n++).toUtf8()) != 204) {
      state.SkipWithError("the raw client got no 204");
      break;
    }
  }
  state.SetLabel(bench::InfluxServers::Label(true, in_memory) + ", raw client");
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RawPost)->Arg(0)->Arg(1)->UseRealTime()->MinTime(3.0)->Unit(benchmark::kMicrosecond);

void BM_EnergyMeterRecord(benchmark::State& state) {
  EnergyImage image;
  for (size_t j = 0; j < image.size(); ++j) image[j] = static_cast<quint8>(j * 37);
  for (auto _ : state) {
    benchmark::DoNotOptimize(RecordText(QStringLiteral("654321"), EnergyMeterFields(image)));
  }
}
BENCHMARK(BM_EnergyMeterRecord)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orva

int main(int argc, char** argv) {
  return orva::bench::RunWithInfluxServers(argc, argv, orva::kDatabase, &orva::servers);
}
