// How long the window can go without answering while it scans: a 10 ms timer on the window's
// thread, and the gaps between its firings. Once during a scan of a slow controller (every
// answer after 500 ms), once during a scan of eight demo rows every 0.1 s whose values view and
// chart are updated as they come, with the chart holding the most points it ever keeps.
#include "influxd_process.h"
#include "ktx_sim_process.h"
#include "ui/values_panel.h"
#include "window_harness.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace orva::test {
namespace {

const QString kDemoInstallation = QStringLiteral(ORVA_BIN_DIR "/demo-installation.orva");

// The energy meter's row in the fast scan's configuration.
constexpr int kMeterRow = 3;

// Ticks the box, measures the window's gaps for 5 s and unticks it; false when nothing was sent.
// False when nothing reached influxd: the scan did not run.
bool MeasureGaps(WindowHarness& h, InfluxdProcess& influxd,
                 const std::function<void()>& after_ticking, std::vector<qint64>& gaps) {
  QTest::mouseClick(h.scan_box(), Qt::LeftButton);
  after_ticking();
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
  QTest::mouseClick(h.scan_box(), Qt::LeftButton);
  return !influxd.Points(QStringLiteral("SELECT * FROM \"160012\""), QStringLiteral("orva"))
              .isEmpty();
}

void Report(benchmark::State& state, std::vector<qint64> gaps) {
  std::sort(gaps.begin(), gaps.end());
  state.counters["longest_gap_ms"] = static_cast<double>(gaps.back());
  state.counters["p99_gap_ms"] = static_cast<double>(gaps[gaps.size() * 99 / 100]);
  state.counters["gaps"] = static_cast<double>(gaps.size());
}

void BM_WindowDuringSlowScan(benchmark::State& state) {
  InfluxdProcess influxd;
  KtxSimProcess sim;
  QString error;
  if (!influxd.Start(&error) || !influxd.CreateDatabase(QStringLiteral("orva")) ||
      !sim.Start({QStringLiteral("--latency"), QStringLiteral("500")})) {
    state.SkipWithError("cannot start influxd and ktx-sim");
    return;
  }
  WindowHarness h(QString(), sim.address(), kDemoInstallation);
  h.Child<QLineEdit>("txtipaddress")->setText(influxd.host());
  h.port()->setText(influxd.port_text());
  h.AddRow(QStringLiteral("Module"));
  h.Choose(1, ScanGridModel::kItem, "cmbModule",
           QStringLiteral("160012 MS-5 multi-sensor Living room"));
  h.AddRow(QStringLiteral("Output_status"));
  h.Choose(2, ScanGridModel::kItem, "cmbOutput", QStringLiteral("Living room (A12.0)"));

  std::vector<qint64> gaps;
  for (auto _ : state) {
    if (!MeasureGaps(
            h, influxd, [] {}, gaps)) {
      state.SkipWithError("the scan posted nothing");
      return;
    }
  }
  Report(state, gaps);
}
BENCHMARK(BM_WindowDuringSlowScan)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_WindowWhileValuesAndChartUpdate(benchmark::State& state) {
  InfluxdProcess influxd;
  KtxSimProcess sim;
  QString error;
  if (!influxd.Start(&error) || !influxd.CreateDatabase(QStringLiteral("orva")) || !sim.Start()) {
    state.SkipWithError("cannot start influxd and ktx-sim");
    return;
  }
  WindowHarness h(QString(), sim.address(), kDemoInstallation);
  const QString config = h.folder.root() + QStringLiteral("demo.JSON");
  WriteFile(
      config,
      QStringLiteral(
          R"({"InfluxDB":{"Host":"%1","Port":%2,"DBName":"orva",)"
          R"("ScanTime":0.1,"Config":[)"
          R"({"ScanType":"Module","ModuleType":"0016","ModuleSerial":"160012"},)"
          R"({"ScanType":"Module","ModuleType":"0001","ModuleSerial":"0A1234"},)"
          R"({"ScanType":"Module","ModuleType":"0017","ModuleSerial":"175310"},)"
          R"({"ScanType":"Module","ModuleType":"MD-1 motion detector indoor","ModuleSerial":"C40101"},)"
          R"({"ScanType":"Module_memory","ModuleType":"0005","ModuleSerial":"B1C2D3","SRAM":104,"Type":"24-bit"},)"
          R"({"ScanType":"Output_status","OutputId":1},)"
          R"({"ScanType":"Output_status","OutputId":2},)"
          R"({"ScanType":"Output_status","OutputId":3}]}})")
          .arg(influxd.host(), influxd.port_text())
          .toUtf8());
  h.window->LoadConfigFile(config);
  auto* values = h.window->findChild<ValuesPanel*>();
  // The chart as full as it gets: the values of the last hour of a field before the scan's own.
  const auto fill_chart = [&] {
    // Filled while another row shows, as for a user who comes back to the row after an hour.
    h.ClickCell(1, ScanGridModel::kItem);
    const QDateTime now = QDateTime::currentDateTime();
    for (qsizetype i = ScanReadings::kMaxPoints; i > 0; --i) {
      values->Add({kMeterRow,
                   QStringLiteral("175310"),
                   true,
                   {{QStringLiteral("Consumption_Total"), QString::number(15000 + i % 100)}},
                   {},
                   now.addMSecs(-i * ScanReadings::kSpanMs / ScanReadings::kMaxPoints)});
    }
    h.ClickCell(kMeterRow, ScanGridModel::kItem);
  };

  std::vector<qint64> gaps;
  for (auto _ : state) {
    if (!MeasureGaps(h, influxd, fill_chart, gaps)) {
      state.SkipWithError("the scan posted nothing");
      return;
    }
  }
  Report(state, gaps);
}
BENCHMARK(BM_WindowWhileValuesAndChartUpdate)->Iterations(1)->Unit(benchmark::kMillisecond);

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
