#include "influxd_process.h"
#include "ktx_sim_process.h"
#include "store/sqlite_db.h"
#include "temp_dir.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace orva {
namespace {

constexpr char kRows[] =
    "{\"ScanType\":\"Module\",\"ModuleType\":\"0016\",\"ModuleSerial\":\"160012\"},"
    "{\"ScanType\":\"Output_status\",\"OutputId\":1}";

// The real program against a real simulator and influxd, as the service runs; direct delivery,
// whose status lines tell each post.
class ProgramRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start({QStringLiteral("--freeze-time")})) << sim_.error().toStdString();
    QString error;
    ASSERT_TRUE(influxd_.Start(&error)) << error.toStdString();
    ASSERT_TRUE(influxd_.CreateDatabase(QStringLiteral("orva")));
    config_ = folder_.root() + QStringLiteral("scan.json");
    test::WriteFile(config_,
                    QStringLiteral("{\"InfluxDB\":{\"Host\":\"127.0.0.1\",\"Port\":%1,"
                                   "\"DBName\":\"orva\",\"ScanTime\":0.1,\"Delivery\":\"direct\","
                                   "\"Config\":[%2]}}")
                        .arg(influxd_.port_text(), QLatin1String(kRows))
                        .toUtf8());
    // Serial ports that do not exist fail at once; the ones of the machine may take seconds.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORVA_SERIAL_PORT_TEMPLATE"),
                       folder_.root() + QStringLiteral("no-tty%1"));
    program_.setProcessEnvironment(environment);
  }
  void Start(const QStringList& arguments, const QString& address) {
    output_.clear();
    program_.setProgram(folder_.CopyProgram());
    program_.setArguments(arguments + QStringList{"-d", QStringLiteral(ORVA_BIN_DIR), "-f",
                                                  "demo-installation.orva", "-c", address});
    program_.start();
    ASSERT_TRUE(program_.waitForStarted());
  }
  bool WaitForOutput(const QString& text, qsizetype times = 1) {
    return QTest::qWaitFor(
        [&] {
          program_.waitForReadyRead(20);
          output_ += QString::fromUtf8(program_.readAllStandardOutput());
          return output_.count(text) >= times;
        },
        20000);
  }
  int Finish() {
    EXPECT_TRUE(program_.waitForFinished(60000));
    output_ += QString::fromUtf8(program_.readAllStandardOutput());
    return program_.exitCode();
  }

  test::ProgramFolder folder_;
  test::KtxSimProcess sim_;
  test::InfluxdProcess influxd_;
  QProcess program_;
  QString config_;
  QString output_;
};

// A full disk or a read-only file: the log is a diagnosis aid, and must not stop the data.
TEST_F(ProgramRun, ALogThatCannotBeWrittenIsShownOnceAndTheScanGoesOn) {
  const QString log_file = folder_.File(QStringLiteral("CommLog.orva"));
  const QString refuse = QStringLiteral(
      "CREATE TRIGGER refuse BEFORE INSERT ON CommLog BEGIN SELECT RAISE(FAIL, 'disk full'); END");
  SqliteDb::OpenExisting(log_file).Exec(refuse);
  Start({"--headless", "--config", config_}, sim_.address());
  // Three ticks with the log failing throughout, then the log mends.
  ASSERT_TRUE(WaitForOutput(QStringLiteral(" InfluxDB data sent"), 6)) << output_.toStdString();
  SqliteDb::OpenExisting(log_file).Exec(QStringLiteral("DROP TRIGGER refuse"));
  ASSERT_TRUE(WaitForOutput(QStringLiteral("CommLog.orva is written again")))
      << output_.toStdString();
  ::kill(static_cast<pid_t>(program_.processId()), SIGTERM);
  EXPECT_EQ(Finish(), 0);

  const QStringList lines = output_.split(QLatin1Char('\n'));
  const auto red_log_lines = std::count_if(lines.begin(), lines.end(), [](const QString& line) {
    return line.contains(QStringLiteral(" ERROR ")) && line.contains(QStringLiteral("CommLog"));
  });
  EXPECT_EQ(red_log_lines, 1) << output_.toStdString();
  EXPECT_FALSE(output_.contains(QStringLiteral("ERROR CommLog.orva is written again")));
  EXPECT_FALSE(influxd_.Points(QStringLiteral("SELECT * FROM \"160012\""), "orva").isEmpty());
  EXPECT_FALSE(influxd_.Points(QStringLiteral("SELECT * FROM \"123456\""), "orva").isEmpty());
  EXPECT_TRUE(SqliteDb::OpenExisting(log_file)
                  .QueryFirst(QStringLiteral("SELECT 1 FROM CommLog"))
                  .has_value());
}

// Every tick counts whatever it met; the exit code tells whether the last one failed.
TEST_F(ProgramRun, TicksEndTheRunWhateverTheControllerDoes) {
  const struct {
    const char* name;
    const char* fault;  // of the simulator; none: nothing listens at the address
    int exit_code;
  } cases[] = {
      {"unreachable", nullptr, 4},
      {"silent", "silent", 4},
      {"answering errors", "error-status 63", 4},
      {"answering", "clear", 0},
  };
  for (const auto& c : cases) {
    QString address = sim_.address();
    if (c.fault) {
      ASSERT_TRUE(sim_.SetFault(QString::fromLatin1(c.fault).section(' ', 0, 0),
                                QString::fromLatin1(c.fault).section(' ', 1)));
    } else {
      address = QStringLiteral("127.0.0.1:1");
    }
    Start({"--headless", "--config", config_, "--ticks", "2"}, address);
    EXPECT_EQ(Finish(), c.exit_code) << c.name << "\n" << output_.toStdString();
  }
}

// A second start on the same folders ends at once and leaves the running scan and its files
// alone; a killed instance leaves nothing that blocks the next start.
TEST_F(ProgramRun, OneInstancePerFolderAndAKilledOneBlocksNothing) {
  Start({"--headless", "--config", config_}, sim_.address());
  ASSERT_TRUE(WaitForOutput(QStringLiteral(" InfluxDB data sent")));
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
  const qsizetype sent = output_.count(QStringLiteral(" InfluxDB data sent"));
  EXPECT_TRUE(WaitForOutput(QStringLiteral(" InfluxDB data sent"), sent + 2));

  program_.kill();
  ASSERT_TRUE(program_.waitForFinished());
  Start({"--headless", "--config", config_, "--ticks", "1"}, sim_.address());
  EXPECT_EQ(Finish(), 0) << output_.toStdString();
}

TEST(ProgramStart, RefusesAnAddressThatCannotBeOneAndAWindowWithoutADisplay) {
  test::ProgramFolder folder;
  for (const char* address : {"127.0.0.1:0", "ktx:70000", "[::1"}) {
    QProcess program;
    program.start(folder.CopyProgram(), {"--headless", "--config", "scan.json", "-c", address});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 2) << address;
    EXPECT_TRUE(program.readAllStandardError().contains(address)) << address;
  }

  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    environment.remove(QLatin1String(name));
  }
  program.setProcessEnvironment(environment);
  program.start(folder.CopyProgram(), {});
  ASSERT_TRUE(program.waitForFinished(30000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 1);
  const QString errors = QString::fromUtf8(program.readAllStandardError());
  EXPECT_EQ(errors.count(QLatin1Char('\n')), 1) << errors.toStdString();
  EXPECT_TRUE(errors.contains(QStringLiteral("display")) &&
              errors.contains(QStringLiteral("--headless")))
      << errors.toStdString();
}

}  // namespace
}  // namespace orva
