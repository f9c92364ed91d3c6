// Whole scan ticks through ktx-sim (no latency) over TCP and a local influxd, one post per record,
// as the scan thread runs them: rows and records per second, CPU time per row (this process
// only: the simulator and the server run beside it) and peak resident memory. Once with the
// kept-alive HTTP connection and once with a fresh connection per post.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <ctime>

#include "app/installation_db.h"
#include "app/language_texts.h"
#include "app/reference_db.h"
#include "app/settings_db.h"
#include "influxd_process.h"
#include "ktx_sim_process.h"
#include "link/comm_log.h"
#include "link/link.h"
#include "link/prompter.h"
#include "link/serial_transport.h"
#include "link/steady_clock.h"
#include "link/tcp_transport.h"
#include "scan/influx_writer.h"
#include "scan/scan_tick.h"
#include "temp_dir.h"

namespace orva {
namespace {

constexpr char kModel[] = R"({
  "controller": {"serial": "123456", "type": 12, "version": "3.20.32",
                 "interface_version": "2.15"},
  "modules": [
    {"serial": "160012", "type": "0016",
     "raw": [{"offset": 32, "hex": "08 98 11 94 01 2C 01 C2 00 01"}]},
    {"serial": "0A1234", "type": "0001",
     "raw": [{"offset": 32, "hex": "00 D7 01 2C 00 20 0C 00 28 00 00"}]},
    {"serial": "175310", "type": "0017", "raw": [{"offset": 32, "hex": "FF FF FF"}]},
    {"serial": "C40101", "type": "MD-1 motion detector indoor",
     "raw": [{"offset": 92, "hex": "01"}]},
    {"serial": "B1C2D3", "type": "0005",
     "raw": [{"offset": 47, "hex": "01 2C"}, {"offset": 100, "hex": "25 00 00 00 01 86 A0"}]}
  ],
  "outputs": [
    {"name": "Meters", "address": 30, "sub_address": 0, "mode": 280,
     "status": "00 30 39 00 01 F4 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 07"},
    {"name": "Hall", "address": 20, "mode": 151, "status": "01 80 40 00 FF"},
    {"name": "Living room", "address": 12, "mode": 82, "status": "2A 00 29 03"}
  ]
})";

constexpr char kInstallation[] = R"sql(
  CREATE TABLE config (Id INTEGER PRIMARY KEY, IPAddress VARCHAR(50), webport INTEGER,
                       ethuser VARCHAR(40), rxctlversie VARCHAR(6), rxethversie VARCHAR(4),
                       ctltype VARCHAR(2), CTLSerial VARCHAR(6));
  INSERT INTO config VALUES (1, '127.0.0.1', 8446, 'ORVA', NULL, NULL, NULL, '123456');
  CREATE TABLE modules (Id INTEGER PRIMARY KEY, serienr VARCHAR(6), Type VARCHAR(50),
                        plaats VARCHAR(50));
  INSERT INTO modules VALUES (1, '160012', '0016', 'Living room'), (2, '0A1234', '0001', 'Roof'),
    (3, '175310', '0017', 'Meter cupboard'), (4, 'C40101', 'MD-1 motion detector indoor', 'Hall'),
    (5, 'B1C2D3', '0005', 'Kitchen');
  CREATE TABLE outputs (Id INTEGER PRIMARY KEY, Naam VARCHAR(50), ModeId INTEGER,
                        Adres INTEGER, SubAdres INTEGER);
  INSERT INTO outputs VALUES (1, 'Water', 280, 30, 1), (2, 'Hall', 151, 20, 1),
    (3, 'Living room', 82, 12, 0);
)sql";

// Ten rows of every kind: 15 controller transactions and 8 records per tick.
QList<ScanRow> Rows() {
  const auto module = [](const char* serial, const char* type) {
    return ScanRow{QStringLiteral("Module"),
                   QString::fromLatin1(serial),
                   QString::fromLatin1(type),
                   {},
                   {},
                   0};
  };
  const auto memory = [](const char* sram, const char* type) {
    return ScanRow{QStringLiteral("Module_memory"), QStringLiteral("B1C2D3 Kitchen"),
                   QStringLiteral("0005"),          QString::fromLatin1(sram),
                   QString::fromLatin1(type),       0};
  };
  const auto output = [](int id) {
    return ScanRow{QStringLiteral("Output_status"), QString(), QString(), {}, {}, id};
  };
  return {module("160012", "0016"),
          module("0A1234", "0001"),
          module("175310", "0017"),
          module("C40101", "MD-1 motion detector indoor"),
          memory("100", "Byte"),
          memory("47", "Integer"),
          memory("104", "24-bit"),
          output(1),
          output(2),
          output(3)};
}
constexpr int kRecordsPerTick = 8;

class SilentPrompter : public Prompter {
 public:
  void ShowMessage(const QString& title, const QString& text) override {
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
  }
  bool AskYesNo(const QString&) override { return false; }
};

struct Peers {
  test::InfluxdProcess* influxd = nullptr;
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
                        {}},
            LinkPorts{tcp, serial, clock});
  InfluxWriter writer({.keep_alive = state.range(0) != 0});
  const InfluxServer server{peers.influxd->host(), peers.influxd->port_text(), kDatabase};
  int posted = 0;
  QString failure;
  ScanTickHooks hooks{[&](const QString& record) {
                        ++posted;
                        return writer.PostRecord(server, record);
                      },
                      [&](const QString& text, bool red) {
                        if (red) failure = text;
                      },
                      [](int) {}, [] { return true; }};
  ScanTick tick(link, installation, hooks);
  const QList<ScanRow> rows = Rows();
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
  state.SetLabel(state.range(0) != 0 ? "keep-alive" : "fresh connection per post");
  state.counters["rows/s"] = benchmark::Counter(row_count, benchmark::Counter::kIsRate);
  state.counters["records/s"] = benchmark::Counter(posted, benchmark::Counter::kIsRate);
  state.counters["cpu_us/row"] = row_count > 0 ? cpu * 1e6 / row_count : 0;
  state.counters["peak_rss_MB"] = PeakResidentMb();
  if (posted != state.iterations() * kRecordsPerTick && failure.isEmpty())
    state.SkipWithError(qPrintable(
        QStringLiteral("%1 records posted in %2 ticks").arg(posted).arg(state.iterations())));
}
BENCHMARK(BM_ScanTick)->Arg(1)->Arg(0)->UseRealTime()->MinTime(3.0)->Unit(benchmark::kMillisecond);

bool Prepare(test::ProgramFolder& folder, QString* error) {
  QDir().mkpath(folder.temp_folder());
  SqliteDb::Create(folder.working_copy()).Exec(QLatin1String(kInstallation));
  SettingsDb::Open(folder.File(QStringLiteral("config2.orva")))
      .Update({{QStringLiteral("SerOfEth"), QStringLiteral(" E ")}});
  // The log is written as in the program; an empty one keeps runs comparable.
  SqliteDb::OpenExisting(folder.File(QStringLiteral("CommLog.orva")))
      .Exec(QStringLiteral("DELETE FROM CommLog"));
  const QString model = folder.program_dir() + QStringLiteral("/model.json");
  test::WriteFile(model, kModel);
  if (!peers.sim->Start({QStringLiteral("--model"), model, QStringLiteral("--freeze-time")})) {
    *error = peers.sim->error();
    return false;
  }
  return peers.influxd->Start(error) && peers.influxd->CreateDatabase(kDatabase);
}

}  // namespace
}  // namespace orva

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  orva::test::ProgramFolder folder;
  orva::test::KtxSimProcess sim;
  orva::test::InfluxdProcess influxd;
  orva::peers = {&influxd, &sim, &folder};
  QString error;
  if (!orva::Prepare(folder, &error)) {
    std::fprintf(stderr, "cannot set up the simulator and influxd: %s\n", qPrintable(error));
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
