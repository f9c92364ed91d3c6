// Whole scan ticks through ktx-sim (no latency) over TCP and a local influxd, one post per record,
// as the scan thread runs them: rows and records per second, CPU time per row (this process
// only: the simulator and the server run beside it) and peak resident memory. Once with the
// kept-alive HTTP connection and once with a fresh connection per post; each against a server
// with its data on disk and one with its data in memory (influx_servers.h).
//
// BM_HeadlessScan: the program itself, `orva-influx --headless`, scanning the four whole modules
// of the demo installation on ktx-sim (no latency) as fast as it can (ScanTime 0.001), buffered
// into the influxd with its data in memory: the CPU time of the program (every thread, user and
// system) per record read, and its peak resident memory. Two runs, of 100 and of 2,100 ticks;
// their difference leaves the start and the end out. ORVA_BASELINE_PROGRAM=/path/orva-influx
// (an earlier build, its small databases beside it) adds the same case for that program, in
// the same run.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <vector>

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
  test::KtxSimProcess* demo_sim = nullptr;  // the demo installation's controller
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
    const CommLogBatch log_batch(comm_log);
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

// The four whole-module rows of the demo installation: seven controller transactions (the energy
// meter takes four blocks) and four records a tick.
const char kDemoModules[] =
    R"({"ScanType":"Module","ModuleType":"0016","ModuleSerial":"160012"},)"
    R"({"ScanType":"Module","ModuleType":"0001","ModuleSerial":"0A1234"},)"
    R"({"ScanType":"Module","ModuleType":"0017","ModuleSerial":"175310"},)"
    R"({"ScanType":"Module","ModuleType":"MD-1 motion detector indoor","ModuleSerial":"C40101"})";
constexpr int kDemoRecordsPerTick = 4;

struct ProgramRun {
  int exit_code = -1;
  double cpu_seconds = 0;
  double wall_seconds = 0;
  double peak_rss_mb = 0;
  qint64 records = 0;  // sent, as the last line says
};

// Runs `program` with `arguments` and the environment plus `extra_env`, its output into `log`,
// and waits for it; its own resource usage, not that of other children.
ProgramRun RunProgram(const QString& program, const QStringList& arguments,
                      const QStringList& extra_env, const QString& log) {
  std::vector<QByteArray> args{QFile::encodeName(program)};
  for (const QString& argument : arguments) args.push_back(argument.toUtf8());
  std::vector<char*> argv;
  for (QByteArray& argument : args) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<QByteArray> env;
  for (char** entry = environ; *entry; ++entry) env.emplace_back(*entry);
  for (const QString& entry : extra_env) env.push_back(entry.toUtf8());
  std::vector<char*> envp;
  for (QByteArray& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const QByteArray log_path = QFile::encodeName(log);
  posix_spawn_file_actions_addopen(&actions, 1, log_path.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  ProgramRun run;
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return run;
  timespec end{};
  clock_gettime(CLOCK_MONOTONIC, &end);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.cpu_seconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                    usage.ru_stime.tv_usec / 1e6;
  run.wall_seconds = (end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) / 1e9;
  run.peak_rss_mb = usage.ru_maxrss / 1024.0;
  return run;
}

// One headless run of `ticks` on a fresh state folder; nullopt, with the reason in *error, when
// it did not end well.
std::optional<ProgramRun> HeadlessRun(const test::InfluxdProcess& influxd, const QString& program,
                                      int ticks, QString* error) {
  QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("scan.json"));
  test::WriteFile(config, QStringLiteral(R"({"InfluxDB":{"Host":"127.0.0.1","Port":%1,)"
                                         R"("DBName":"%2","ScanTime":0.001,"Config":[%3]}})")
                              .arg(influxd.port_text(), kDatabase, QLatin1String(kDemoModules))
                              .toUtf8());
  QDir().mkpath(dir.filePath(QStringLiteral("state")));
  const QString log = dir.filePath(QStringLiteral("out.log"));
  const ProgramRun run =
      RunProgram(program,
                 {"--headless", "--language", "E", "--state-dir",
                  dir.filePath(QStringLiteral("state")), "--config", config, "--ticks",
                  QString::number(ticks), "-d", QFileInfo(program).absolutePath(), "-f",
                  "demo-installation.orva", "-c", peers.demo_sim->address()},
                 {"ORVA_ROOT=" + dir.filePath(QStringLiteral("root")),
                  "ORVA_SERIAL_PORT_TEMPLATE=" + dir.filePath(QStringLiteral("no-tty%1"))},
                 log);
  const QString output = QString::fromUtf8(test::ReadFile(log));
  // The scan may begin a tick or two more before the end of the last one counted reaches the
  // main thread (a tick every millisecond): every record read must have gone.
  const QRegularExpressionMatch sent =
      QRegularExpression(QStringLiteral("InfluxDB: ([0-9,]+) records sent\n$")).match(output);
  ProgramRun counted = run;
  counted.records = sent.hasMatch() ? sent.captured(1).remove(QLatin1Char(',')).toLongLong() : 0;
  if (run.exit_code != 0 || counted.records < ticks * kDemoRecordsPerTick) {
    *error = QStringLiteral("%1 exited with %2: %3")
                 .arg(program)
                 .arg(run.exit_code)
                 .arg(output.right(600));
    return std::nullopt;
  }
  return counted;
}

void BM_HeadlessScan(benchmark::State& state, const QString& program) {
  constexpr int kFewTicks = 100;
  constexpr int kManyTicks = 2'100;
  const test::InfluxdProcess* influxd = peers.servers->For(state, true);
  if (!influxd) return;
  for (auto _ : state) {
    QString error;
    const std::optional<ProgramRun> few = HeadlessRun(*influxd, program, kFewTicks, &error);
    const std::optional<ProgramRun> many =
        few ? HeadlessRun(*influxd, program, kManyTicks, &error) : std::nullopt;
    if (!many) {
      state.SkipWithError(qPrintable(error));
      return;
    }
    const double records = static_cast<double>(many->records - few->records);
    const double wall = many->wall_seconds - few->wall_seconds;
    state.SetIterationTime(wall);
    state.counters["cpu_ms/record"] = (many->cpu_seconds - few->cpu_seconds) * 1e3 / records;
    state.counters["records/s"] = records / wall;
    state.counters["peak_rss_MB"] = many->peak_rss_mb;
  }
  state.SetLabel(QStringLiteral("%1, 4 modules a tick, buffered, server data in memory")
                     .arg(program)
                     .toStdString());
}

bool Prepare(test::ProgramFolder& folder, QString* error) {
  const QString model = test::WriteScanScene(folder);
  // The log is written as in the program; an empty one keeps runs comparable.
  SqliteDb::OpenExisting(folder.File(QStringLiteral("CommLog.orva")))
      .Exec(QStringLiteral("DELETE FROM CommLog"));
  if (!peers.sim->Start({QStringLiteral("--model"), model, QStringLiteral("--freeze-time")})) {
    *error = peers.sim->error();
    return false;
  }
  if (!peers.demo_sim->Start({QStringLiteral("--freeze-time")})) {
    *error = peers.demo_sim->error();
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
  orva::test::KtxSimProcess demo_sim;
  orva::bench::InfluxServers servers;
  orva::peers = {&servers, &sim, &folder, &demo_sim};
  QString error;
  if (!orva::Prepare(folder, &error)) {
    std::fprintf(stderr, "cannot set up the simulator and influxd: %s\n", qPrintable(error));
    return 1;
  }
  QStringList programs = {QStringLiteral(ORVA_BIN_DIR "/orva-influx")};
  if (const char* baseline = std::getenv("ORVA_BASELINE_PROGRAM"); baseline && *baseline) {
    programs << QString::fromLocal8Bit(baseline);
  }
  for (const QString& program : programs) {
    benchmark::RegisterBenchmark(
        programs.size() == 1 || program == programs.front() ? "BM_HeadlessScan"
                                                            : "BM_HeadlessScan/baseline",
        [program](benchmark::State& state) { orva::BM_HeadlessScan(state, program); })
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kSecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
