// Whole scan ticks through ktx-sim (no latency) over TCP and a local influxd, one post per record,
// as the scan thread runs them: rows and records per second, CPU time per row (this process
// only: the simulator and the server run beside it) and peak resident memory. Once with the
// kept-alive HTTP connection and once with a fresh connection per post; each against a server
// with its data on disk and one with its data in memory (influx_servers.h).
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <QCoreApplication>
#include <cstdio>
#include <ctime>

#include "delivery/influx_writer.h"
#include "influx_servers.h"
#include "ktx_sim_process.h"
#include "link/comm_log.h"
#include "link/link.h"
#include "link/prompter.h"
#include "link/serial_transport.h"
#include "link/steady_clock.h"
#include "link/tcp_transport.h"
#include "scan/scan_tick.h"
#include "scan_scene.h"
#include "store/installation_db.h"
#include "store/language_texts.h"
#include "store/reference_db.h"
#include "store/settings_db.h"
#include "temp_dir.h"

namespace orva {
namespace {

// test::SceneRows(): 15 controller transactions and 8 records per tick.
constexpr int kRecordsPerTick = 8;

class SilentPrompter : public Prompter {
 public:
  void ShowMessage(const QString& title, const QString& text) override {
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
  }
  bool AskYesNo(const QString&) override { return false; }
};

struct Peers {
  bench::InfluxServers* servers = nullptr;
  test::KtxSimProcess* sim = nullptr;
  test::ProgramFolder* folder = nullptr;
};
Peers peers;
const QString kDatabase = QStringLiteral("bench");

double ProcessCpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

double PeakResidentMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

void BM_ScanTick(benchmark::State& state) {
  const test::ProgramFolder& folder = *peers.folder;
  SettingsDb settings = SettingsDb::Open(folder.File(QStringLiteral("config2.orva")));
  InstallationDb installation = InstallationDb::Open(folder.working_copy());
  CommLog comm_log = CommLog::Open(folder.File(QStringLiteral("CommLog.orva")));
  ReferenceDb reference = ReferenceDb::Open(folder.File(QStringLiteral("init2.orva")));
  const LanguageTexts texts(reference, [] { return QStringLiteral("E"); });
  SilentPrompter prompter;
  TcpTransport tcp;
  SerialTransport serial;
  SteadyClock clock;
  Link link(LinkContext{settings,
                        installation,
                        comm_log,
                        texts,
                        prompter,
                        peers.sim->address(),
                        QStringLiteral("115200"),
                        {},
                        {}},
            LinkPorts{tcp, serial, clock});
  const bool keep_alive = state.range(0) != 0;
  const bool in_memory = state.range(1) != 0;
  const test::InfluxdProcess* influxd = peers.servers->For(state, in_memory);
  if (!influxd) return;
  InfluxWriter writer({.keep_alive = keep_alive});
  const InfluxServer server{influxd->host(), influxd->port_text(), kDatabase};
  int posted = 0;
  QString failure;
  ScanTickHooks hooks{[&](const QString& record) {
                        ++posted;
                        return writer.PostRecord(server, record);
                      },
                      [&](const QString& text, bool red) {
                        if (red) failure = text;
                      },
                      [](int) {}, [] { return true; }, [](const RowReading&) {}};
  ScanTick tick(link, installation, hooks);
  const QList<ScanRow> rows = test::SceneRows();
  tick.Run(rows);  // connects and logs in outside the measured ticks
  posted = 0;

  const double cpu_start = ProcessCpuSeconds();
  for (auto _ : state) {
    if (tick.Run(rows) != TickEnd::kCompleted || !failure.isEmpty()) {
      state.SkipWithError(qPrintable(failure));
      break;
    }
  }
  const double cpu = ProcessCpuSeconds() - cpu_start;
  const double row_count = static_cast<double>(state.iterations()) * rows.size();
  state.SetLabel(bench::InfluxServers::Label(keep_alive, in_memory));
  state.counters["rows/s"] = benchmark::Counter(row_count, benchmark::Counter::kIsRate);
  state.counters["records/s"] = benchmark::Counter(posted, benchmark::Counter::kIsRate);
  state.counters["cpu_us/row"] = row_count > 0 ? cpu * 1e6 / row_count : 0;
  state.counters["peak_rss_MB"] = PeakResidentMb();
  if (posted != state.iterations() * kRecordsPerTick && failure.isEmpty())
    state.SkipWithError(qPrintable(
        QStringLiteral("%1 records posted in %2 ticks").arg(posted).arg(state.iterations())));
}
BENCHMARK(BM_ScanTick)
    ->ArgsProduct({{1, 0}, {0, 1}})
    ->UseRealTime()
    ->MinTime(3.0)
    ->Unit(benchmark::kMillisecond);

bool Prepare(test::ProgramFolder& folder, QString* error) {
  const QString model = test::WriteScanScene(folder);
  // The log is written as in the program; an empty one keeps runs comparable.
  SqliteDb::OpenExisting(folder.File(QStringLiteral("CommLog.orva")))
      .Exec(QStringLiteral("DELETE FROM CommLog"));
  if (!peers.sim->Start({QStringLiteral("--model"), model, QStringLiteral("--freeze-time")})) {
    *error = peers.sim->error();
    return false;
  }
  return peers.servers->Start(kDatabase, error);
}

}  // namespace
}  // namespace orva

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  orva::test::ProgramFolder folder;
  orva::test::KtxSimProcess sim;
  orva::bench::InfluxServers servers;
  orva::peers = {&servers, &sim, &folder};
  QString error;
  if (!orva::Prepare(folder, &error)) {
    std::fprintf(stderr, "cannot set up the simulator and influxd: %s\n", qPrintable(error));
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
