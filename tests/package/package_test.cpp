// The Debian package as apt gets it: built by cpack from this build, its files and control
// fields, its unit as systemd reads it, and its program run from the unpacked tree.
#include "influxd_process.h"
#include "ktx_sim_process.h"
#include "locked_folder.h"
#include "signal_child.h"
#include "temp_dir.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace orva {
namespace {

struct Ran {
  int exit_code = -1;
  QString output;  // stdout and stderr
};

Ran RunCommand(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  Ran ran;
  if (!process.waitForFinished(600000)) {
    process.kill();
    process.waitForFinished();
  } else if (process.exitStatus() == QProcess::NormalExit) {
    ran.exit_code = process.exitCode();
  }
  ran.output = QString::fromUtf8(process.readAll());
  return ran;
}

// The files and links under `root`, relative to it; with `stamps`, each with its size and time
// of change.
QStringList FilesUnder(const QString& root, bool stamps = false) {
  QStringList files;
  QDirIterator it(root, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QFileInfo file(it.next());
    QString entry = QDir(root).relativeFilePath(file.filePath());
    if (stamps) {
      entry +=
          QStringLiteral(" %1 %2").arg(file.size()).arg(file.lastModified().toMSecsSinceEpoch());
    }
    files << entry;
  }
  files.sort();
  return files;
}

class PackageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    work_ = new QTemporaryDir;
    const Ran cpack = RunCommand(QStringLiteral(ORVA_CPACK),
                                 {"-G", "DEB", "--config", ORVA_CPACK_CONFIG, "-B", work_->path()});
    ASSERT_EQ(cpack.exit_code, 0) << cpack.output.toStdString();
    const QStringList debs = QDir(work_->path()).entryList({QStringLiteral("*.deb")});
    ASSERT_EQ(debs.size(), 1) << cpack.output.toStdString();
    deb_ = new QString(work_->filePath(debs.first()));
    for (const auto& [option, folder] : {std::pair{"-x", "root"}, std::pair{"-e", "control"}}) {
      const Ran unpack =
          RunCommand(QStringLiteral("dpkg-deb"), {option, *deb_, work_->filePath(folder)});
      ASSERT_EQ(unpack.exit_code, 0) << unpack.output.toStdString();
    }
  }
  static void TearDownTestSuite() {
    delete deb_;
    delete work_;
  }
  static QString Root() { return work_->filePath(QStringLiteral("root")); }

  static QTemporaryDir* work_;
  static QString* deb_;
};

QTemporaryDir* PackageTest::work_ = nullptr;
QString* PackageTest::deb_ = nullptr;

// The program and the unit where Debian looks for them, the configuration marked as the user's,
// and nothing of the portable layout, which keeps the settings beside the program.
TEST_F(PackageTest, HoldsTheLinuxLayoutAndItsControlFields) {
  EXPECT_EQ(FilesUnder(Root()).join('\n').toStdString(),
            "etc/orva-influx/orva-influx.conf\n"
            "etc/orva-influx/scan.json\n"
            "usr/bin/orva-influx\n"
            "usr/lib/systemd/system/orva-influx.service\n"
            "usr/lib/sysusers.d/orva-influx.conf\n"
            "usr/share/doc/orva-influx/changelog.gz\n"
            "usr/share/doc/orva-influx/copyright\n"
            "usr/share/orva-influx/CommLog.orva\n"
            "usr/share/orva-influx/config2.orva\n"
            "usr/share/orva-influx/init2.orva");
  const QString control = test::ReadFile(work_->filePath(QStringLiteral("control/control")));
  // The program's version, or a later build of it (3.20.32+1).
  EXPECT_TRUE(control.contains(QStringLiteral("\nVersion: " ORVA_PROGRAM_VERSION)))
      << control.toStdString();
  // dpkg-shlibdeps found the libraries the program links.
  for (const char* dependency : {"libqt6core6", "libcurl4", "libsqlite3-0", "systemd"}) {
    EXPECT_TRUE(control.contains(
        QRegularExpression(QStringLiteral("\nDepends: .*\\b%1\\b").arg(QLatin1String(dependency)))))
        << dependency << "\n"
        << control.toStdString();
  }
  EXPECT_EQ(test::ReadFile(work_->filePath(QStringLiteral("control/conffiles"))),
            "/etc/orva-influx/orva-influx.conf\n/etc/orva-influx/scan.json\n");
  for (const char* script : {"postinst", "prerm", "postrm"}) {
    EXPECT_TRUE(QFileInfo(work_->filePath(QStringLiteral("control/") + script)).isExecutable())
        << script;
  }

  // Read as on this machine: the units it pulls in (sysinit.target, ...) are the system's.
  const QString system_units = Root() + QStringLiteral("/lib/systemd/system");
  ASSERT_TRUE(QDir().mkpath(system_units));
  ASSERT_EQ(
      RunCommand(QStringLiteral("cp"), {"-rT", "/lib/systemd/system", system_units}).exit_code, 0);
  const Ran verify =
      RunCommand(QStringLiteral("systemd-analyze"),
                 {"verify", "--root=" + Root(), "/usr/lib/systemd/system/orva-influx.service"});
  // A setting it does not understand is only a warning.
  EXPECT_EQ(verify.exit_code, 0) << verify.output.toStdString();
  EXPECT_TRUE(verify.output.isEmpty()) << verify.output.toStdString();
}

// Run from the unpacked tree with a state folder, the program finds what it reads in
// ../share/orva-influx, which it cannot write, keeps every file it writes in the state folder,
// and scans.
TEST_F(PackageTest, TheUnpackedProgramWritesOnlyInItsStateFolder) {
  test::InfluxdProcess influxd;
  QString error;
  ASSERT_TRUE(influxd.Start(&error)) << error.toStdString();
  ASSERT_TRUE(influxd.CreateDatabase(QStringLiteral("orva")));
  test::KtxSimProcess sim;
  ASSERT_TRUE(sim.Start({QStringLiteral("--freeze-time")})) << sim.error().toStdString();
  const QString config = work_->filePath(QStringLiteral("scan.json"));
  test::WriteFile(config, QStringLiteral(R"({"InfluxDB":{"Host":"127.0.0.1","Port":%1,)"
                                         R"("DBName":"orva","ScanTime":0.2,"Config":[{)"
                                         R"("ScanType":"Module","ModuleType":"0016",)"
                                         R"("ModuleSerial":"160012"}]}})")
                              .arg(influxd.port_text())
                              .toUtf8());
  const QString state = work_->filePath(QStringLiteral("state"));
  const QString program = Root() + QStringLiteral("/usr/bin/orva-influx");
  const std::string before = FilesUnder(Root(), true).join('\n').toStdString();
  // As installed, where the service's user may write none of them.
  const test::LockedFolder programs(Root() + QStringLiteral("/usr/bin"));
  const test::LockedFolder data(Root() + QStringLiteral("/usr/share/orva-influx"));

  QProcess scan;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("ORVA_ROOT"), work_->filePath(QStringLiteral("orva-root")));
  environment.insert(QStringLiteral("ORVA_SERIAL_PORT_TEMPLATE"), work_->filePath("no-tty%1"));
  scan.setProcessEnvironment(environment);
  scan.start(program,
             {"--headless", "--state-dir", state, "--config", config, "-d",
              QStringLiteral(ORVA_BIN_DIR), "-f", "demo-installation.orva", "-c", sim.address()});
  const auto points = [&] {
    return influxd.Points(QStringLiteral("SELECT * FROM \"160012\""), QStringLiteral("orva"))
        .size();
  };
  EXPECT_TRUE(QTest::qWaitFor([&] { return points() >= 2; }, 20000))
      << scan.readAll().toStdString();
  const Ran status = RunCommand(program, {"--status", "--state-dir", state});
  EXPECT_EQ(status.exit_code, 0) << status.output.toStdString();
  EXPECT_TRUE(status.output.startsWith(QStringLiteral("Read "))) << status.output.toStdString();
  ASSERT_TRUE(SignalChild(scan, SIGTERM));
  ASSERT_TRUE(scan.waitForFinished(20000));
  EXPECT_EQ(scan.exitCode(), 0) << scan.readAll().toStdString();

  EXPECT_EQ(FilesUnder(Root(), true).join('\n').toStdString(), before);
  const QStringList written = FilesUnder(state);
  for (const char* file : {"config2.orva", "CommLog.orva", "Outbox.orva", "DeliveryState.json"}) {
    EXPECT_TRUE(written.contains(QLatin1String(file)))
        << file << " in " << written.join(' ').toStdString();
  }
}

}  // namespace
}  // namespace orva
