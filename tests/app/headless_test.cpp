#include "app/headless.h"
#include "app/exit_codes.h"
#include "influxd_process.h"
#include "ktx_sim_process.h"
#include "signal_child.h"
#include "store/sqlite_db.h"
#include "temp_dir.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstring>

namespace orva {
namespace {

// The socket systemd hands a Type=notify service in NOTIFY_SOCKET: one datagram per message.
class NotifySocket {
 public:
  explicit NotifySocket(const QString& path) : path_(path.toLocal8Bit()) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.constData(), sizeof address.sun_path - 1);
    bound_ = ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~NotifySocket() {
    ::close(fd_);
    ::unlink(path_.constData());
  }
  bool bound() const { return bound_; }
  // Takes the messages that have arrived.
  void Read() {
    char buffer[4096];
    ssize_t size;
    while ((size = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
      messages << QString::fromUtf8(buffer, size);
    }
  }

  QStringList messages;

 private:
  QByteArray path_;
  int fd_ = -1;
  bool bound_ = false;
};

TEST(HeadlessOptions, ReadsOurOptionsAndRefusesBadOnes) {
  auto options = ParseHeadlessOptions({"--headless", "--config", "scan.json", "-c", "ktx",
                                       "--ticks=3", "--echo-error-answer", "yes"});
  ASSERT_TRUE(std::holds_alternative<HeadlessOptions>(options));
  const HeadlessOptions& parsed = std::get<HeadlessOptions>(options);
  EXPECT_EQ(parsed.config_path, QStringLiteral("scan.json"));
  EXPECT_EQ(parsed.ticks, 3);
  EXPECT_TRUE(parsed.echo_error_answer);

  options = ParseHeadlessOptions({"--headless", "--config=a b.json"});
  ASSERT_TRUE(std::holds_alternative<HeadlessOptions>(options));
  EXPECT_EQ(std::get<HeadlessOptions>(options).config_path, QStringLiteral("a b.json"));
  EXPECT_FALSE(std::get<HeadlessOptions>(options).ticks.has_value());
  EXPECT_FALSE(std::get<HeadlessOptions>(options).echo_error_answer);

  for (const char* bad :
       {"--headless", "--headless --config", "--config a.json --ticks 0", "--config a --ticks x",
        "--config a --echo-error-answer maybe", "--config a --tick 5", "--config a --tick=5"}) {
    EXPECT_TRUE(std::holds_alternative<QString>(
        ParseHeadlessOptions(QString::fromLatin1(bad).split(QLatin1Char(' ')))))
        << bad;
  }
}

// The program as a service: a real simulator, the real binary, and one real influxd for the
// suite, with a database of each test's own.
class HeadlessRunTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    influxd_ = new test::InfluxdProcess;
    QString error;
    ASSERT_TRUE(influxd_->Start(&error)) << error.toStdString();
  }
  static void TearDownTestSuite() {
    delete influxd_;
    influxd_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(sim_.Start({QStringLiteral("--freeze-time")})) << sim_.error().toStdString();
    database_ = QString::fromLatin1(testing::UnitTest::GetInstance()->current_test_info()->name());
    ASSERT_TRUE(influxd_->CreateDatabase(database_));
    // Serial ports that do not exist fail at once; the ones of the machine may take seconds.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORVA_SERIAL_PORT_TEMPLATE"),
                       folder_.root() + QStringLiteral("no-tty%1"));
    program_.setProcessEnvironment(environment);
  }
  QList<QJsonObject> Points(const QString& statement) {
    return influxd_->Points(statement, database_);
  }
  // `settings`: more members of the "InfluxDB" object, each with a comma before it.
  QString WriteConfig(const QString& rows, const QString& settings = {},
                      const QString& scan_time = QStringLiteral("0.2")) {
    const QString path = folder_.root() + QStringLiteral("scan.json");
    test::WriteFile(path, QStringLiteral(R"({"InfluxDB":{"Host":"127.0.0.1","Port":%1,)"
                                         R"("DBName":"%2","ScanTime":%3%4,"Config":[%5]}})")
                              .arg(influxd_->port_text(), database_, scan_time, settings, rows)
                              .toUtf8());
    return path;
  }
  QStringList Arguments(const QStringList& options, const QString& address = {}) const {
    return QStringList{QStringLiteral("--headless")} + options +
           QStringList{"-d", QStringLiteral(ORVA_BIN_DIR),
                       "-f", "demo-installation.orva",
                       "-c", address.isEmpty() ? sim_.address() : address};
  }
  void Start(const QStringList& options, const QString& address = {}) {
    stdout_.clear();
    program_.setProgram(folder_.CopyProgram());
    program_.setArguments(Arguments(options, address));
    program_.start();
    ASSERT_TRUE(program_.waitForStarted());
  }
  // Collects the status lines until `text` has come `times` times and `also` holds.
  bool WaitForOutput(
      const QString& text, qsizetype times = 1,
      const std::function<bool()>& also = [] { return true; }) {
    return QTest::qWaitFor(
        [&] {
          program_.waitForReadyRead(20);
          stdout_ += QString::fromUtf8(program_.readAllStandardOutput());
          return stdout_.count(text) >= times && also();
        },
        20000);
  }
  // The exit code and the output of a command on the program folder (`--status`, `--outbox`).
  std::pair<int, QString> Command(const QString& option) {
    QProcess command;
    command.start(folder_.CopyProgram(), {option});
    EXPECT_TRUE(command.waitForFinished(30000));
    return {command.exitCode(),
            QString::fromUtf8(command.readAllStandardOutput() + command.readAllStandardError())};
  }
  std::pair<int, QString> Status() { return Command(QStringLiteral("--status")); }
  int Finish() {
    EXPECT_TRUE(program_.waitForFinished(60000));
    stdout_ += QString::fromUtf8(program_.readAllStandardOutput());
    stderr_ = QString::fromUtf8(program_.readAllStandardError());
    return program_.exitCode();
  }

  static test::InfluxdProcess* influxd_;
  QString database_;
  test::ProgramFolder folder_;
  test::KtxSimProcess sim_;
  QProcess program_;
  QString stdout_;
  QString stderr_;
};

test::InfluxdProcess* HeadlessRunTest::influxd_ = nullptr;

const QString kSent = QStringLiteral(" InfluxDB data sent");
// Direct delivery, whose status lines tell each post.
const QString kDirect = QStringLiteral(R"(,"Delivery":"direct")");
const QString kModuleAndOutput =
    QStringLiteral(R"({"ScanType":"Module","ModuleType":"0016","ModuleSerial":"160012"},)"
                   R"({"ScanType":"Output_status","OutputId":2})");

// One row of every kind of the demo installation.
const QString kEveryKind = QStringLiteral(
    R"({"ScanType":"Module","ModuleType":"0016","ModuleSerial":"160012"},)"
    R"({"ScanType":"Module","ModuleType":"0001","ModuleSerial":"0A1234"},)"
    R"({"ScanType":"Module","ModuleType":"0017","ModuleSerial":"175310"},)"
    R"({"ScanType":"Module","ModuleType":"MD-1 motion detector indoor","ModuleSerial":"C40101"},)"
    R"({"ScanType":"Module_memory","ModuleType":"0005","ModuleSerial":"B1C2D3","SRAM":100,)"
    R"("Type":"Byte"},{"ScanType":"Module_memory","ModuleType":"0005","ModuleSerial":"B1C2D3",)"
    R"("SRAM":102,"Type":"Integer"},{"ScanType":"Module_memory","ModuleType":"0005",)"
    R"("ModuleSerial":"B1C2D3","SRAM":104,"Type":"24-bit"},{"ScanType":"Output_status",)"
    R"("OutputId":1},{"ScanType":"Output_status","OutputId":2},)"
    R"({"ScanType":"Output_status","OutputId":3},{"ScanType":"Output_status","OutputId":4})");

// Buffered, the default: each tick's records carry their read time, so every tick is a point of
// its own, and all are out before the program ends. The tags the file asks for come with each
// point, and the InfluxQL examples of the README, read from it, find what the scan delivered.
TEST_F(HeadlessRunTest, ScansTheGivenTicksAndPostsWhatItReads) {
  Start({"--config", WriteConfig(kEveryKind, R"(,"Tags":["name","kind"])"), "--ticks", "3"});
  ASSERT_EQ(Finish(), 0) << stderr_.toStdString();
  EXPECT_FALSE(stdout_.contains(QStringLiteral("InfluxDB data sent"))) << stdout_.toStdString();
  // Eight records a tick: seven rows of modules and memory, one of the outputs of module 123456.
  EXPECT_TRUE(stdout_.trimmed().endsWith(QStringLiteral("InfluxDB: 24 records sent")))
      << stdout_.toStdString();
  EXPECT_TRUE(stderr_.isEmpty()) << stderr_.toStdString();
  for (const char* measurement : {"160012", "0A1234", "175310", "C40101", "123456"}) {
    EXPECT_EQ(Points(QStringLiteral("SELECT * FROM \"%1\"").arg(measurement)).size(), 3)
        << measurement;
  }
  QStringList series;
  for (const QJsonObject& row : Points(QStringLiteral("SHOW SERIES"))) {
    series << row.value(QStringLiteral("key")).toString();
  }
  EXPECT_EQ(series, QStringList({"0A1234,kind=weather\\ station,name=Roof", "123456,kind=outputs",
                                 "160012,kind=multi-sensor,name=Living\\ room",
                                 "175310,kind=energy\\ meter,name=Meter\\ cupboard",
                                 "B1C2D3,kind=shutter\\ module,name=Kitchen",
                                 "C40101,kind=motion\\ sensor,name=Hall"}));

  // The simulator's demo model, its clock stopped: what each row must have delivered.
  const std::tuple<const char*, const char*, double> expected[] = {
      {"160012", "temperature", 22},
      {"0A1234", "temperature", 21.5},
      {"175310", "Current_Consumption", 1.25},
      {"B1C2D3", "SRAM102", 300},
      {"B1C2D3", "SRAM104", 100000},
      {"123456", "Hall", 128},
      {"123456", "Water", 12345},
      {"123456", "Living_room_Roomtemp", 20.5},
  };
  for (const auto& [measurement, field, value] : expected) {
    const auto points =
        Points(QStringLiteral("SELECT LAST(\"%1\") AS v FROM \"%2\"").arg(field, measurement));
    ASSERT_EQ(points.size(), 1) << measurement << " " << field;
    EXPECT_DOUBLE_EQ(points[0].value(QStringLiteral("v")).toDouble(), value)
        << measurement << " " << field;
  }
  const auto motion = Points(QStringLiteral("SELECT * FROM \"C40101\""));
  ASSERT_FALSE(motion.isEmpty());
  EXPECT_TRUE(motion.last().contains(QStringLiteral("motion")));

  QStringList queries;
  bool in_block = false;
  for (const QString& line :
       QString::fromUtf8(test::ReadFile(ORVA_SOURCE_DIR "/README.md")).split('\n')) {
    if (line.startsWith(QStringLiteral("```")))
      in_block = line == QStringLiteral("```influxql");
    else if (in_block && !line.startsWith(QStringLiteral("--")))
      queries << line;
  }
  ASSERT_GE(queries.size(), 8);
  for (const QString& query : queries) {
    const QList<QJsonObject> rows = Points(query);
    const bool valued = std::any_of(rows.begin(), rows.end(), [](const QJsonObject& row) {
      return std::any_of(row.begin(), row.end(),
                         [](const QJsonValue& value) { return value.isDouble(); });
    });
    EXPECT_TRUE(valued) << query.toStdString();
  }
}

// As a service meets them: SIGTERM and a hang-up alike let the row under way be read and posted
// before the program exits, and a reader of the status lines that goes away (`| head -1`) does
// not stop it at all. Direct delivery, whose status lines tell each post.
TEST_F(HeadlessRunTest, SignalsFinishTheCurrentRowAndAGoneReaderStopsNothing) {
  sim_.Stop();
  ASSERT_TRUE(sim_.Start({"--freeze-time", "--latency", "400"}));
  const QString config = WriteConfig(kModuleAndOutput, kDirect);
  int runs = 0;
  for (const int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    const qint64 statuses = sim_.StatusRequests();
    Start({"--config", config});
    // The module record is out and the output row is waiting for its answer.
    ASSERT_TRUE(WaitForOutput(kSent, 1, [&] { return sim_.StatusRequests() > statuses; }));
    QElapsedTimer since_signal;
    since_signal.start();
    ASSERT_TRUE(SignalChild(program_, signal));
    EXPECT_EQ(Finish(), 0) << stderr_.toStdString();
    EXPECT_EQ(program_.exitStatus(), QProcess::NormalExit);
    EXPECT_LT(since_signal.elapsed(), 1500);
    EXPECT_EQ(stdout_.count(kSent), 2) << stdout_.toStdString();
    const auto outputs = Points(QStringLiteral("SELECT * FROM \"123456\""));
    ASSERT_EQ(outputs.size(), ++runs) << stdout_.toStdString() << stderr_.toStdString();
    EXPECT_DOUBLE_EQ(outputs.last().value(QStringLiteral("Hall")).toDouble(), 128);
  }

  // pipefail gives the program's own exit status: 0 after its three ticks, 141 if the closed
  // pipe killed it.
  QProcess pipeline;
  pipeline.start(
      QStringLiteral("bash"),
      QStringList{"-c", "set -o pipefail; \"$0\" \"$@\" | head -n 1", folder_.CopyProgram()} +
          Arguments({"--config", config, "--ticks", "3"}));
  ASSERT_TRUE(pipeline.waitForFinished(30000));
  EXPECT_EQ(pipeline.exitCode(), 0) << pipeline.readAllStandardError().toStdString();
  EXPECT_EQ(pipeline.readAllStandardOutput().count('\n'), 1);
}

// As a Type=notify service: ready once scanning, the watchdog while waiting for a tick (twice a
// WatchdogSec= of 1 s), as each row starts and after the tick, the status line, and stopping on a
// stop signal.
TEST_F(HeadlessRunTest, TellsSystemdHowTheScanGoes) {
  NotifySocket notify(folder_.root() + QStringLiteral("notify"));
  ASSERT_TRUE(notify.bound());
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("NOTIFY_SOCKET"), folder_.root() + QStringLiteral("notify"));
  environment.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("1000000"));
  program_.setProcessEnvironment(environment);
  Start({"--config",
         WriteConfig(R"({"ScanType":"Module","ModuleType":"0016","ModuleSerial":"160012"},)"
                     R"({"ScanType":"Module","ModuleType":"0001","ModuleSerial":"0A1234"})",
                     QStringLiteral(R"(,"Delivery":"direct")"), QStringLiteral("2"))});
  const QString sent = QStringLiteral("STATUS=InfluxDB data sent");
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        notify.Read();
        // The first tick's two posts, and the watchdog after them.
        const qsizetype tick = notify.messages.lastIndexOf(sent);
        return notify.messages.count(sent) >= 2 &&
               notify.messages.indexOf(QStringLiteral("WATCHDOG=1"), tick) > tick;
      },
      15000))
      << notify.messages.join(' ').toStdString();
  ASSERT_TRUE(SignalChild(program_, SIGTERM));
  EXPECT_EQ(Finish(), 0) << stderr_.toStdString();
  notify.Read();

  const QStringList& messages = notify.messages;
  ASSERT_FALSE(messages.isEmpty());
  EXPECT_EQ(messages.first(), QStringLiteral("READY=1"));
  EXPECT_GE(messages.mid(0, messages.indexOf(sent)).count(QStringLiteral("WATCHDOG=1")), 2)
      << messages.join(' ').toStdString();
  // The scan thread answers no ping while a tick runs; the second row tells the watchdog itself.
  const qsizetype first_row = messages.indexOf(sent);
  const qsizetype second_row = messages.indexOf(sent, first_row + 1);
  ASSERT_GT(second_row, first_row) << messages.join(' ').toStdString();
  EXPECT_TRUE(
      messages.mid(first_row, second_row - first_row).contains(QStringLiteral("WATCHDOG=1")))
      << messages.join(' ').toStdString();
  EXPECT_EQ(messages.last(), QStringLiteral("STOPPING=1"));
}

// The three single-block modules, whose points can be counted against the reads ktx-sim answered.
const QString kThreeModules = QStringLiteral(
    R"({"ScanType":"Module","ModuleType":"0016","ModuleSerial":"160012"},)"
    R"({"ScanType":"Module","ModuleType":"0001","ModuleSerial":"0A1234"},)"
    R"({"ScanType":"Module","ModuleType":"MD-1 motion detector indoor","ModuleSerial":"C40101"})");

// A server that hangs (SIGSTOP) holds up the sender only: the scan keeps its rate, a tick of the
// three rows every 0.2 s. Then influxd goes away, the program is killed outright while it is
// away and started again, and influxd comes back: every value read reaches it once, with the
// time it was read, but those of the tick the kill cut short (at most one per row).
TEST_F(HeadlessRunTest, AServerThatHangsOrGoesAwayNeitherSlowsTheScanNorLosesValues) {
  const QString config = WriteConfig(kThreeModules);
  Start({"--config", config});
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return !Points(QStringLiteral("SELECT * FROM \"160012\"")).isEmpty(); }, 15000));
  influxd_->Signal(SIGSTOP);
  const qint64 before = sim_.ModuleReads();
  QTest::qWait(4000);
  EXPECT_GE(sim_.ModuleReads() - before, 4 / 0.2 * 3 * 0.9);
  influxd_->Signal(SIGCONT);

  const qint64 outage_start = QDateTime::currentMSecsSinceEpoch();
  influxd_->Stop();
  QTest::qWait(1500);
  program_.kill();
  ASSERT_TRUE(program_.waitForFinished(5000));
  Start({"--config", config});
  QTest::qWait(1500);
  const qint64 outage_end = QDateTime::currentMSecsSinceEpoch();
  QString error;
  ASSERT_TRUE(influxd_->Start(&error)) << error.toStdString();
  QTest::qWait(1500);
  ASSERT_TRUE(SignalChild(program_, SIGTERM));
  ASSERT_EQ(Finish(), 0) << stderr_.toStdString();
  EXPECT_TRUE(stdout_.contains(QStringLiteral("InfluxDB unreachable"))) << stdout_.toStdString();

  const qint64 reads = sim_.ModuleReads();
  qint64 points = 0;
  qint64 in_outage = 0;
  for (const char* measurement : {"160012", "0A1234", "C40101"}) {
    for (const QJsonObject& point :
         Points(QStringLiteral("SELECT * FROM \"%1\"").arg(measurement))) {
      ++points;
      const qint64 time = QDateTime::fromString(point.value("time").toString(), Qt::ISODateWithMs)
                              .toMSecsSinceEpoch();
      in_outage += time > outage_start && time < outage_end;
    }
  }
  EXPECT_LE(points, reads);
  EXPECT_GE(points, reads - 3);
  EXPECT_GT(in_outage, 20) << "values read while the server was away";
  EXPECT_TRUE(Points(QStringLiteral("SHOW TAG KEYS")).isEmpty()) << "tags only when asked for";
}

// A new user's path in one program folder, against a server that wants a login and has no
// database yet: a wrong port, then a wrong password, then the right settings with a look into
// the outbox by sqlite3 meanwhile. Every value read arrives, in the database the program made,
// and each run that left records behind said why.
TEST_F(HeadlessRunTest, MendedSettingsCarryEveryWaitingRecord) {
  test::InfluxdProcess server({}, test::InfluxdSecurity{{}, {}, "admin", "right"});
  QString error;
  ASSERT_TRUE(server.Start(&error)) << error.toStdString();
  const QString secret = folder_.root() + QStringLiteral("secret");
  const QString config = folder_.root() + QStringLiteral("mended.json");
  const auto set = [&](const QString& port, const QByteArray& password) {
    test::WriteFile(secret, password + '\n');
    test::WriteFile(config, QStringLiteral(R"({"InfluxDB":{"Host":"127.0.0.1","Port":%1,)"
                                           R"("DBName":"mended","ScanTime":0.2,"User":"admin",)"
                                           R"("SecretFile":"%2","Config":[%3]}})")
                                .arg(port, secret, kThreeModules)
                                .toUtf8());
  };
  const struct {
    QString port;
    QByteArray password;
    QString reason;
  } wrong[] = {{"1", "right", "(InfluxDB unreachable ("},
               {server.port_text(), "wrong", "(InfluxDB refused the login (401)"}};
  for (const auto& c : wrong) {
    set(c.port, c.password);
    Start({"--config", config, "--ticks", "3"});
    EXPECT_EQ(Finish(), 0) << stderr_.toStdString();
    EXPECT_TRUE(stdout_.trimmed().section('\n', -1).contains(
        QStringLiteral(" records stay in the outbox for the next start ") + c.reason))
        << stdout_.toStdString();
  }
  const QString outbox = Command(QStringLiteral("--outbox")).second;
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^waiting 18\n  precision ms: 18, read [^\n]*\n$"))
                  .match(outbox)
                  .hasMatch())
      << "nothing refused: " << outbox.toStdString();
  set(server.port_text(), "right");
  Start({"--config", config});
  ASSERT_TRUE(WaitForOutput(QStringLiteral("InfluxDB: created database mended, ")))
      << stdout_.toStdString();
  QProcess look;
  look.start(QStringLiteral("sqlite3"),
             {folder_.File(QStringLiteral("Outbox.orva")), "SELECT COUNT(*) FROM Records"});
  ASSERT_TRUE(look.waitForFinished(10000));
  EXPECT_EQ(look.exitCode(), 0) << look.readAllStandardError().toStdString();
  const auto [cleared, refusal] = Command(QStringLiteral("--outbox-clear"));
  EXPECT_EQ(cleared, kStartupFailed);
  EXPECT_TRUE(refusal.contains(QStringLiteral("running (process %1)").arg(program_.processId())));
  QTest::qWait(1500);
  ASSERT_TRUE(SignalChild(program_, SIGTERM));
  ASSERT_EQ(Finish(), 0) << stderr_.toStdString();

  qsizetype points = 0;
  for (const char* measurement : {"160012", "0A1234", "C40101"}) {
    points +=
        server.Points(QStringLiteral("SELECT * FROM \"%1\"").arg(measurement), "mended").size();
  }
  EXPECT_EQ(points, sim_.ModuleReads());
  EXPECT_EQ(Command(QStringLiteral("--outbox-clear")),
            std::make_pair(0, QStringLiteral("dropped 0 records\n")));
}

// An outbox that cannot take the ticks (a read-only file, a full disk) or that is damaged never
// stops the scan: the lost ticks are counted where the user looks, a run of N ticks that lost
// any says so in its exit code, and a damaged file is kept aside for a fresh one.
TEST_F(HeadlessRunTest, AnOutboxThatFailsNeverStopsTheScan) {
  const QString outbox = folder_.File(QStringLiteral("Outbox.orva"));
  const QString config = WriteConfig(kThreeModules);
  Start({"--config", config, "--ticks", "1"});  // the outbox as every later start finds it
  ASSERT_EQ(Finish(), 0) << stderr_.toStdString();
  // Root writes to a file whatever its mode, but not to an immutable one.
  const QStringList read_only =
      getuid() == 0 ? QStringList{"chattr", "+i", outbox} : QStringList{"chmod", "a-w", outbox};
  const QStringList writable =
      getuid() == 0 ? QStringList{"chattr", "-i", outbox} : QStringList{"chmod", "u+w", outbox};
  const struct {
    const char* name;
    rlim_t file_size_limit;
    QString status;  // a line --status shows while the run goes on
    int exit_code;
  } cases[] = {
      {"read-only", RLIM_INFINITY, QStringLiteral(" · lost "), kLastTickFailed},
      {"full disk", 64 * 1024, QStringLiteral(" · lost "), kLastTickFailed},
      {"garbage", RLIM_INFINITY, QStringLiteral("A damaged outbox was set aside as "), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.name == std::string("read-only")) {
      ASSERT_EQ(QProcess::execute(read_only.first(), read_only.mid(1)), 0);
    } else if (c.name == std::string("garbage")) {
      test::WriteFile(outbox, QByteArray(8192, 'x'));
    }
    program_.setChildProcessModifier([limit = c.file_size_limit] {
      const rlimit size{limit, limit};
      setrlimit(RLIMIT_FSIZE, &size);
    });
    const qint64 reads = sim_.ModuleReads();
    Start({"--config", config, "--ticks", "25"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return Status().second.contains(c.status); }, 15000))
        << Status().second.toStdString();
    EXPECT_EQ(Finish(), c.exit_code) << stdout_.toStdString();
    QProcess::execute(writable.first(), writable.mid(1));
    EXPECT_EQ(sim_.ModuleReads() - reads, 25 * 3) << "the scan went on";
  }
  program_.setChildProcessModifier({});
  EXPECT_EQ(QDir(folder_.program_dir())
                .entryList({QStringLiteral("Outbox.orva.damaged-*")}, QDir::Files)
                .size(),
            1);
  EXPECT_EQ(stdout_.count(QStringLiteral("The outbox was damaged and is kept aside as ")), 1);
  EXPECT_GE(Points(QStringLiteral("SELECT * FROM \"160012\"")).size(), 25);
}

// A controller that goes away is told once, in the language asked for, however many ticks miss
// it, and its return once. Then a log that cannot be written (a full disk, a read-only file) is
// told once as well, and its mend: the log is a diagnosis aid, and must not stop the data. It
// keeps the days the file asks for.
TEST_F(HeadlessRunTest, AnAbsentControllerAndAFailingLogAreToldOnceAndTheScanGoesOn) {
  sim_.Stop();
  const QString log_file = folder_.File(QStringLiteral("CommLog.orva"));
  const QString two_days_ago = QDateTime::currentDateTime().addDays(-2).toString(Qt::ISODateWithMs);
  SqliteDb::OpenExisting(log_file).Execute(
      QStringLiteral("INSERT INTO CommLog (TimeStamp, Soort, Data) VALUES (?1, 'TX', x'2A')"),
      {two_days_ago});
  SqliteDb::OpenExisting(log_file).Exec(QStringLiteral(
      "CREATE TRIGGER refuse BEFORE INSERT ON CommLog BEGIN SELECT RAISE(FAIL, 'disk full'); END"));
  Start({"--config", WriteConfig(kModuleAndOutput, kDirect + QStringLiteral(R"(,"CommLogDays":1)")),
         "--language", "E"});
  const QString lost = QStringLiteral(" ERROR Communication: No TCP/IP connection to the KTX\n");
  ASSERT_TRUE(WaitForOutput(lost)) << stdout_.toStdString();
  QTest::qWait(2000);  // some ticks of 0.2 s without it
  ASSERT_TRUE(sim_.Restart());
  ASSERT_TRUE(WaitForOutput(QStringLiteral("KTX found again after"))) << stdout_.toStdString();
  // Three ticks with the log failing throughout, then the log mends.
  ASSERT_TRUE(WaitForOutput(kSent, 6)) << stdout_.toStdString();
  SqliteDb::OpenExisting(log_file).Exec(QStringLiteral("DROP TRIGGER refuse"));
  ASSERT_TRUE(WaitForOutput(QStringLiteral("CommLog.orva is written again")))
      << stdout_.toStdString();
  ASSERT_TRUE(SignalChild(program_, SIGTERM));
  EXPECT_EQ(Finish(), 0);
  EXPECT_EQ(stdout_.count(QStringLiteral(" ERROR ")), 2) << stdout_.toStdString();
  EXPECT_EQ(stdout_.count(QRegularExpression(QStringLiteral(" ERROR [^\n]*CommLog"))), 1);
  EXPECT_EQ(stdout_.count(QStringLiteral("found again")), 1) << stdout_.toStdString();
  EXPECT_EQ(stdout_.count(QStringLiteral(" (TCP/IP via ")), 1) << stdout_.toStdString();
  const QStringList errors = stdout_.split('\n').filter(QStringLiteral(" ERROR "));
  EXPECT_EQ(stderr_, errors.join('\n') + '\n');
  EXPECT_TRUE(errors.first().endsWith(lost.chopped(1))) << stdout_.toStdString();
  EXPECT_FALSE(Points(QStringLiteral("SELECT * FROM \"123456\"")).isEmpty());
  SqliteDb log = SqliteDb::OpenExisting(log_file);
  EXPECT_TRUE(log.QueryFirst(QStringLiteral("SELECT 1 FROM CommLog")).has_value());
  EXPECT_FALSE(
      log.QueryFirst(QStringLiteral("SELECT 1 FROM CommLog WHERE TimeStamp <= ?1"), {two_days_ago})
          .has_value());
}

// Every tick counts whatever it met, and the exit code tells whether the last one failed: a
// controller that is silent or answers an error status, or none at the address. With TCP/IP
// refused, a serial port is written to only when the settings name it, here the simulator's
// pseudo-terminal in this test's own folder.
TEST_F(HeadlessRunTest, TicksEndTheRunWhateverTheControllerDoes) {
  sim_.Stop();
  const QString tty = folder_.root() + QStringLiteral("tty%1");
  ASSERT_TRUE(sim_.Start({"--freeze-time", "--serial-link", tty.arg(2)}));
  QProcessEnvironment environment = program_.processEnvironment();
  environment.insert(QStringLiteral("ORVA_SERIAL_PORT_TEMPLATE"), tty);
  program_.setProcessEnvironment(environment);
  const QString config = WriteConfig(kEveryKind, kDirect);
  const struct {
    const char* fault;         // of the simulator; none: nothing listens at the address
    const char* serial_ports;  // --serial-ports, if any
    int exit_code;
    qint64 module_reads;  // one a row a tick that reached the simulator
  } cases[] = {{"silent", "", 4, 0},
               {"error-status 63", "", 4, 0},
               {nullptr, "", 4, 0},
               {nullptr, "none", 4, 0},
               {nullptr, "1-3", 0, 2 * 11}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.fault ? c.fault : "unreachable") + " " + c.serial_ports);
    if (c.fault) {
      ASSERT_TRUE(sim_.SetFault(QString::fromLatin1(c.fault).section(' ', 0, 0),
                                QString::fromLatin1(c.fault).section(' ', 1)));
    } else {
      ASSERT_TRUE(sim_.SetFault(QStringLiteral("clear")));
    }
    const qint64 reads = sim_.ModuleReads();
    QElapsedTimer run;
    run.start();
    Start(QStringList{"--config", config, "--ticks", "2"} +
              (*c.serial_ports ? QStringList{"--serial-ports", c.serial_ports} : QStringList()),
          c.fault ? QString() : QStringLiteral("127.0.0.1:1"));
    EXPECT_EQ(Finish(), c.exit_code) << stdout_.toStdString();
    EXPECT_EQ(sim_.ModuleReads() - reads, c.module_reads);
    if (!c.fault && !*c.serial_ports) {
      // Eleven rows, but one attempt to reach the controller a tick.
      EXPECT_LT(run.elapsed(), 12000);
      EXPECT_LE(stdout_.count(QStringLiteral(" ERROR ")), 6) << stdout_.toStdString();
    }
  }
}

// A second start on the same folders ends at once and leaves the running scan and its files
// alone; `--status` gives the figures of the instance running on the program folder, and says so
// when none runs there, though a killed one left its lock file behind, which blocks nothing.
TEST_F(HeadlessRunTest, OneInstancePerFolderShowsItsFiguresAndAKilledOneBlocksNothing) {
  const QString config = WriteConfig(kThreeModules);
  const auto motion_points = [&] {
    return Points(QStringLiteral("SELECT * FROM \"C40101\"")).size();
  };
  Start({"--config", config});
  ASSERT_TRUE(QTest::qWaitFor([&] { return motion_points() >= 1; }, 15000));
  const QByteArray working_copy = test::ReadFile(folder_.working_copy());
  QProcess second;
  second.setProcessEnvironment(program_.processEnvironment());
  second.start(program_.program(), program_.arguments());
  ASSERT_TRUE(second.waitForFinished(30000));
  EXPECT_EQ(second.exitCode(), 1);
  EXPECT_EQ(second.readAllStandardError(),
            QStringLiteral("orva-influx is already running (process %1)\n")
                .arg(program_.processId())
                .toUtf8());
  EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
  EXPECT_EQ(test::ReadFile(folder_.working_copy()), working_copy);
  const qsizetype before = motion_points();
  ASSERT_TRUE(QTest::qWaitFor([&] { return motion_points() >= std::max<qsizetype>(before + 2, 3); },
                              15000));
  QTest::qWait(1500);  // the state file is written once a second
  const auto [code, text] = Status();
  EXPECT_EQ(code, 0);
  const QRegularExpressionMatch figures =
      QRegularExpression(QStringLiteral("^Read (\\d+) · sent (\\d+) · waiting \\d+ · dropped 0 · "
                                        "rejected 0 · last post [-0-9 ]*\\d\\d:\\d\\d:\\d\\d\n$"))
          .match(text);
  ASSERT_TRUE(figures.hasMatch()) << text.toStdString();
  EXPECT_GE(figures.captured(2).toInt(), 9) << "three ticks of three records";
  EXPECT_GE(figures.captured(1).toInt(), figures.captured(2).toInt());

  program_.kill();
  ASSERT_TRUE(program_.waitForFinished());
  ASSERT_TRUE(QFile::exists(folder_.File(QStringLiteral("orva-influx.lock"))));
  EXPECT_EQ(Status(), std::make_pair(kNotRunning, QStringLiteral("not running\n")));
  // A new start's `--status` never passes the killed one's figures for its own, however long its
  // scan takes to open (here: its log held locked meanwhile).
  {
    SqliteDb log = SqliteDb::OpenExisting(folder_.File(QStringLiteral("CommLog.orva")));
    log.Exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE"));
    Start({"--config", config, "--ticks", "1"});
    std::pair<int, QString> status;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (status = Status()).first == 0; }, 4000));
    EXPECT_TRUE(status.second.startsWith(QStringLiteral("Read 0 · sent 0 · ")))
        << status.second.toStdString();
  }
  EXPECT_EQ(Finish(), 0) << stdout_.toStdString();
}

// A start that cannot go on says why in one line on stderr and exits non-zero: an address that
// cannot be one, a window without a display, a program folder without an installation, an
// installation file that is not there, a folder that cannot be written, a configuration with
// nothing to scan (after a line for each row it skips); an option that is not ours adds the usage.
// Our own faults are said in the language --language names, else the stored one, else the system's
// (LANG), else Dutch.
TEST(ProgramStart, AFailedStartSaysWhyInOneLine) {
  test::ProgramFolder folder;
  const QString under_a_file = folder.File(QStringLiteral("init2.orva"));
  const QString other = folder.root() + QStringLiteral("other.json");
  test::WriteFile(other, "{\"Other\":{}}");
  const QString no_rows = folder.root() + QStringLiteral("no-rows.json");
  test::WriteFile(no_rows, R"({"InfluxDB":{"Host":"127.0.0.1","Port":1,"DBName":"d",)"
                           R"("Config":[{"ScanType":"KTX_memory"}]}})");
  const QString config = QStringLiteral("--headless --config ");
  const QString demo =
      QStringLiteral(" -d \"" ORVA_BIN_DIR "\" -f demo-installation.orva -c 127.0.0.1:1");
  const auto quoted = [](const QString& path) { return '"' + path + '"'; };
  const struct {
    QString arguments;  // as a shell splits them
    int exit_code;
    QString says;         // texts stderr holds, separated by '|'
    qsizetype lines = 1;  // of stderr; 10 and more: the usage
    QString lang = QStringLiteral("C.UTF-8");
    QString stored = QStringLiteral("");  // laatstetaal: empty, not NULL
    QString root = {};                    // ORVA_ROOT, else the folder's
  } cases[] = {
      {config + "scan.json -c ktx:70000", 2, "ktx:70000"},
      {"", 1, "display|--headless"},
      {config + "scan.json --language E", 1, "No installation database yet|-d|-f"},
      {config + "scan.json -f nosuch.mdb", 1,
       "/nosuch.mdb: de installatiedatabase bestaat niet (-d geeft de map, -f het bestand)"},
      {config + "scan.json -f nosuch.mdb", 1,
       "/nosuch.mdb: die Installationsdatenbank existiert nicht", 1, "de_AT.UTF-8"},
      {config + "scan.json -f nosuch.mdb", 1,
       "/nosuch.mdb : la base de données de l'installation n'existe pas", 1, "de_AT.UTF-8", "F"},
      {config + "scan.json --state-dir " + quoted(under_a_file + "/state"), 1,
       under_a_file + "/state: the folder cannot be written (", 1, "en_GB.UTF-8"},
      {config + "scan.json --language S", 1,
       "no se puede crear la carpeta " + under_a_file + "/Orva/Temp: " + under_a_file +
           " es un archivo, no una carpeta",
       1, "C.UTF-8", "", under_a_file},
      {config + quoted(folder.root() + "missing.json") + demo, kConfigError, "missing.json"},
      {config + quoted(other) + demo, kConfigError,
       other + ": no \"InfluxDB\" settings in this file"},
      {config + quoted(no_rows) + demo, kConfigError,
       "the scan skips it|" + no_rows + ": no rows to scan", 2},
      {"-platform offscreen --bogus", 2, "onbekende optie --bogus|Usage: ", 60},
      {"-platform offscreen --bogus --language=E", 2, "unknown option --bogus|Usage: ", 60},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.toStdString());
    SqliteDb::OpenExisting(folder.File(QStringLiteral("config2.orva")))
        .Execute(QStringLiteral("UPDATE orva SET laatstetaal = ?1"), {c.stored});
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LC_ALL"}) {
      environment.remove(QLatin1String(name));
    }
    environment.insert(QStringLiteral("LANG"), c.lang);
    if (!c.root.isEmpty()) environment.insert(QStringLiteral("ORVA_ROOT"), c.root);
    program.setProcessEnvironment(environment);
    program.start(folder.CopyProgram(), QProcess::splitCommand(c.arguments));
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), c.exit_code);
    const QString errors = QString::fromUtf8(program.readAllStandardError());
    if (c.lines < 10) {
      EXPECT_EQ(errors.count(QLatin1Char('\n')), c.lines) << errors.toStdString();
    } else {
      EXPECT_GT(errors.count(QLatin1Char('\n')), 10) << errors.toStdString();
    }
    for (const QString& part : c.says.split('|')) {
      EXPECT_TRUE(errors.contains(part)) << errors.toStdString();
    }
  }
}

}  // namespace
}  // namespace orva
