// How long the window can go without answering while it scans a slow controller: a 10 ms
// timer on the window's thread, and the gaps between its firings during a scan against a
// simulator that answers every command after 500 ms.
#include "influxd_process.h"
#include "ktx_sim_process.h"
#include "window_harness.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace orva::test {
namespace {

void BM_WindowDuringSlowScan(benchmark::State& state) {
  InfluxdProcess influxd;
  KtxSimProcess sim;
  QString error;
  if (!influxd.Start(&error) || !influxd.CreateDatabase(QStringLiteral("orva")) ||
      !sim.Start({QStringLiteral("--latency"), QStringLiteral("500")})) {
    state.SkipWithError("cannot start influxd and ktx-sim");
    return;
  }
  WindowHarness h(QString(), sim.address(), QStringLiteral(ORVA_BIN_DIR "/demo-installation.orva"));
  h.Child<QLineEdit>("txtipaddress")->setText(influxd.host());
  h.port()->setText(influxd.port_text());
  h.AddRow(QStringLiteral("Module"));
  h.Choose(1, ScanGridModel::kItem, "cmbModule",
           QStringLiteral("160012 MS-5 multi-sensor Living room"));
  h.AddRow(QStringLiteral("Output_status"));
  h.Choose(2, ScanGridModel::kItem, "cmbOutput", QStringLiteral("Living room (A12.0)"));

  std::vector<qint64> gaps;
  for (auto _ : state) {
    QTest::mouseClick(h.scan_box(), Qt::LeftButton);
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
      gaps.push_back(clock.elapsed() - last);
      last = clock.elapsed();
    });
    probe.start(10);
    QTest::qWait(5000);
    probe.stop();
    const bool scanned =
        !influxd.Points(QStringLiteral("SELECT * FROM \"160012\""), QStringLiteral("orva"))
             .isEmpty();
    QTest::mouseClick(h.scan_box(), Qt::LeftButton);
    if (!scanned) {
      state.SkipWithError("the scan posted nothing");
      return;
    }
  }
  std::sort(gaps.begin(), gaps.end());
  state.counters["longest_gap_ms"] = static_cast<double>(gaps.back());
  state.counters["p99_gap_ms"] = static_cast<double>(gaps[gaps.size() * 99 / 100]);
  state.counters["gaps"] = static_cast<double>(gaps.size());
}
BENCHMARK(BM_WindowDuringSlowScan)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orva::test

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
