#include "startup/startup.h"
#include "installation_fixture.h"
#include "locked_folder.h"
#include "temp_dir.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace orva {
namespace {

class StartupTest : public ::testing::Test {
 protected:
  // Runs the start-up as the program does, up to the loaded installation.
  StartupState Start(const QStringList& arguments) {
    StartupState state = PrepareStartup(folder_.program_dir(), arguments);
    RunSettingsStep(state);
    return state;
  }
  // The start-up message of a failing start-up; empty when it succeeds.
  QString FailureOf(const QStringList& arguments) {
    try {
      Start(arguments);
    } catch (const DbError& error) {
      return StartupFailureMessage(error);
    }
    return QString();
  }
  void ChangeSmallDb(const char* name, const QString& sql) {
    SqliteDb::OpenExisting(folder_.File(QLatin1String(name))).Exec(sql);
  }
  QString UserFile(const QString& extra_sql = {}, const QString& name = "house.orva") {
    const QString path = folder_.root() + QStringLiteral("site/") + name;
    QDir().mkpath(QFileInfo(path).path());
    test::WriteInstallationDb(path, extra_sql);
    return path;
  }
  QStringList SwitchesFor(const QString& path, const QString& extra = {}) {
    const QFileInfo info(path);
    return {QStringLiteral("\"-d %1 -f %2%3\"").arg(info.path(), info.fileName(), extra)};
  }

  test::ProgramFolder folder_;
};

TEST_F(StartupTest, TakesOverTheNamedFileLeavesItUntouchedAndKeepsTheCopy) {
  const QString user_file = UserFile();
  const QByteArray bytes = test::ReadFile(user_file);
  const QDateTime modified = QFileInfo(user_file).lastModified();

  // In a folder it cannot write, as the service sees it.
  std::optional<test::LockedFolder> locked(QFileInfo(user_file).path());
  StartupState state = Start(SwitchesFor(user_file, QStringLiteral(" -c 127.0.0.1:9000")));
  locked.reset();
  EXPECT_EQ(state.controller_address, QStringLiteral("127.0.0.1:9000"));
  EXPECT_FALSE(state.command_line_pending);
  EXPECT_TRUE(QFileInfo::exists(folder_.working_copy()));
  const Record config = state.installation->Config();
  EXPECT_EQ(config.Text(u"rxctlversie"), QStringLiteral("000000"));
  EXPECT_EQ(config.Text(u"rxethversie"), QStringLiteral("0000"));

  EXPECT_EQ(test::ReadFile(user_file), bytes);
  EXPECT_EQ(QFileInfo(user_file).lastModified(), modified);
  // The completed versions went into the working copy only.
  EXPECT_EQ(InstallationDb::Open(user_file).Config().Text(u"rxctlversie"), std::nullopt);

  // Switches unquoted and split over arguments name a file as well.
  const QString other = UserFile(QStringLiteral("UPDATE config SET CTLSerial = 'second'"));
  Start({QStringLiteral("--headless"), QStringLiteral("-f"), QFileInfo(other).fileName(),
         QStringLiteral("-d"), QFileInfo(other).path()});
  // Without a command line the earlier copy serves, and so it does with an address alone; a bad
  // address is refused.
  state = Start({});
  EXPECT_EQ(state.installation->Config().Text(u"CTLSerial"), QStringLiteral("second"));
  state = Start({"-c", "127.0.0.1:9001"});
  EXPECT_EQ(state.controller_address, QStringLiteral("127.0.0.1:9001"));
  EXPECT_EQ(state.installation->Config().Text(u"CTLSerial"), QStringLiteral("second"));
  for (const char* address : {"127.0.0.1:0", "ktx:65536", "[::1", "[::1]:x"}) {
    const QString message = FailureOf({"-c", address});
    EXPECT_TRUE(message.contains(QLatin1String(address)) && message.contains("-c"))
        << address << ": " << message.toStdString();
  }
}

TEST_F(StartupTest, BadInstallationFilesNameTheFileAndKeepThePreviousCopy) {
  Start(SwitchesFor(UserFile(QStringLiteral("UPDATE config SET CTLSerial = 'previous'"))));
  const QByteArray previous_copy = test::ReadFile(folder_.working_copy());

  const QString garbage = folder_.root() + QStringLiteral("site/notes.mdb");
  test::WriteFile(garbage,
                  QByteArray("These are not the tables you are looking for.\n").repeated(50));
  const QString truncated = folder_.root() + QStringLiteral("site/cut.orva");
  test::WriteFile(truncated, test::ReadFile(UserFile()).left(3000));
  const QString without_tables = folder_.root() + QStringLiteral("site/empty.orva");
  SqliteDb::Create(without_tables).Exec(QStringLiteral("CREATE TABLE other (x)"));

  std::vector<std::pair<QString, QString>> cases = {
      {folder_.root() + QStringLiteral("site/missing.mdb"), QStringLiteral("does not exist")},
      {garbage, QStringLiteral("neither an Access nor an SQLite database")},
      {truncated, QString()},
      {without_tables, QStringLiteral("config")},
  };
  // A file without a column the program reads.
  for (const QString column : {"config.ctltype", "modules.serienr", "outputs.ModeId"}) {
    cases.emplace_back(UserFile(QStringLiteral("ALTER TABLE %1 RENAME COLUMN %2 TO damaged")
                                    .arg(column.section('.', 0, 0), column.section('.', 1)),
                                column + QStringLiteral(".orva")),
                       column);
  }
  for (const auto& [file, what] : cases) {
    const QString message = FailureOf(SwitchesFor(file));
    EXPECT_TRUE(message.contains(file)) << message.toStdString();
    EXPECT_TRUE(message.contains(what)) << message.toStdString();
    EXPECT_EQ(test::ReadFile(folder_.working_copy()), previous_copy) << file.toStdString();
  }
  // A folder names no file; so does a file name without its folder, or a folder without a
  // file name.
  const QStringList unnamed[] = {SwitchesFor(folder_.root()),
                                 {QStringLiteral("\"-f house.orva\"")},
                                 {QStringLiteral("\"-d %1\"").arg(folder_.root())}};
  for (const QStringList& arguments : unnamed) {
    const QString message = FailureOf(arguments);
    EXPECT_TRUE(message.contains(QStringLiteral("does not exist")) ||
                message.contains(QStringLiteral("not a file")))
        << message.toStdString();
    EXPECT_EQ(test::ReadFile(folder_.working_copy()), previous_copy);
  }
}

// A temp folder that cannot take the copy is named as such, not by the copy that fails in it;
// without a copy to take, the same holds for the working copy the folder cannot have.
TEST_F(StartupTest, ATempFolderThatCannotTakeTheCopyIsNamedInsteadOfTheSource) {
  const QString user_file = UserFile();
  const QString temp_folder = QDir::cleanPath(folder_.temp_folder());
  const QString orva = QFileInfo(temp_folder).path();
  const struct {
    QStringList arguments;
    bool locked;  // else a file where the temp folder belongs
    QString says;
  } cases[] = {
      {SwitchesFor(user_file), false,
       temp_folder + " cannot be made: " + temp_folder + " is a file"},
      {{}, false, temp_folder + " cannot be made: " + temp_folder + " is a file"},
      {SwitchesFor(user_file), true, temp_folder + " cannot be made: " + orva + " is not writable"},
  };
  for (const auto& c : cases) {
    // Each start made the folder again.
    QDir(temp_folder).removeRecursively();
    QFile::remove(temp_folder);
    QDir().mkpath(orva);
    if (!c.locked) test::WriteFile(temp_folder, "a file where the temp folder belongs");
    std::optional<test::LockedFolder> locked;
    if (c.locked) locked.emplace(orva);
    const QString message = FailureOf(c.arguments);
    locked.reset();
    EXPECT_TRUE(message.startsWith(QStringLiteral("the folder ") + c.says))
        << message.toStdString();
    EXPECT_FALSE(message.contains(user_file)) << message.toStdString();
  }
}

// An empty letter becomes the system's language and is kept; a stored one wins over the
// system's, and a chosen one over the stored. The start-up makes the temp folder, and the
// upgrade folder only inside a Konfigrex folder, which belongs to the configuration application.
TEST_F(StartupTest, TheLanguageTheTitleAndTheWorkingFolders) {
  ChangeSmallDb("config2.orva", QStringLiteral("UPDATE orva SET laatstetaal = '  '"));
  const QString system = LanguageLetterOf(QLocale::system());
  StartupState state = PrepareStartup(folder_.program_dir(), {});
  EXPECT_TRUE(QFileInfo(folder_.temp_folder()).isDir());
  EXPECT_FALSE(QFileInfo::exists(folder_.root() + QStringLiteral("Orva/Konfigrex")));
  EXPECT_EQ(state.language_letter, system);
  EXPECT_EQ(state.window_title, QStringLiteral("POST data to InfluxDB V3.20.32"));
  EXPECT_EQ(state.settings->Settings().Text(u"laatstetaal"), system);

  ChangeSmallDb("config2.orva", QStringLiteral("UPDATE orva SET laatstetaal = 'O'"));
  EXPECT_EQ(PrepareStartup(folder_.program_dir(), {}).language_letter, QStringLiteral("O"));
  state = PrepareStartup(folder_.program_dir(), {}, {{QStringLiteral("laatstetaal"), "N"}});
  EXPECT_EQ(state.Texts().LookupText(TextKey::kCommunication), QStringLiteral("Communicatie"));
  QDir().mkpath(folder_.root() + QStringLiteral("Orva/Konfigrex"));
  EXPECT_EQ(PrepareStartup(folder_.program_dir(), {}).language_letter, QStringLiteral("N"));
  EXPECT_TRUE(QFileInfo(folder_.root() + QStringLiteral("Orva/Konfigrex/Upgrade")).isDir());
}

// A state folder, from --state-dir or else ORVA_STATE_DIR, starts with the shipped settings and
// log, readable by their owner only, keeps them from then on, and takes what the program writes;
// the texts are still read beside the program.
TEST_F(StartupTest, AStateFolderTakesTheSettingsAndTheLog) {
  const QString asked = folder_.root() + QStringLiteral("asked");
  const QString from_environment = folder_.root() + QStringLiteral("environment");
  qputenv("ORVA_STATE_DIR", from_environment.toUtf8());
  const struct {
    QStringList arguments;
    QString state_folder;
  } cases[] = {
      {{"--state-dir", asked}, asked},
      {{"--state-dir=" + from_environment + "/x"}, from_environment + "/x"},
      {{}, from_environment},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state_folder.toStdString());
    StartupState state = PrepareStartup(folder_.program_dir(), c.arguments);
    EXPECT_EQ(state.paths.state_folder, c.state_folder);
    EXPECT_EQ(state.paths.ReferenceDb(), folder_.File(QStringLiteral("init2.orva")));
    for (const QString& file : {state.paths.SettingsDb(), state.paths.CommLogDb()}) {
      EXPECT_EQ(QFileInfo(file).path(), c.state_folder);
      EXPECT_FALSE(QFileInfo(file).permissions() & (QFile::ReadGroup | QFile::ReadOther));
    }
    EXPECT_EQ(QFileInfo(state.paths.OutboxDb()).path(), c.state_folder);
  }
  SqliteDb::OpenExisting(asked + QStringLiteral("/config2.orva"))
      .Exec(QStringLiteral("UPDATE orva SET laatstetaal = 'E'"));
  EXPECT_EQ(PrepareStartup(folder_.program_dir(), {"--state-dir", asked}).language_letter,
            QStringLiteral("E"));
  qunsetenv("ORVA_STATE_DIR");
  EXPECT_EQ(MakeAppPaths(folder_.program_dir()).state_folder, folder_.program_dir());
}

// The program's own databases, damaged or gone, and a program folder that cannot be written:
// the start-up names what is wrong, and only that.
TEST(StartupFolderTest, WhatIsWrongWithTheProgramFolderIsNamed) {
  const struct {
    const char* file;  // changed by `sql`, or removed; nullptr: the folder is locked
    const char* sql;
    QStringList says;
    QString not_said = {};
  } cases[] = {
      {"config2.orva", "DROP TABLE orva", {"orva"}},
      {"config2.orva", "DELETE FROM orva", {"orva"}},
      {"config2.orva", "UPDATE orva SET laatstetaal = NULL", {"laatstetaal"}},
      {"init2.orva", "DROP TABLE locaties", {"locaties"}},
      {"init2.orva", nullptr, {"init2.orva"}},
      {nullptr, nullptr, {"config2.orva", "CommLog.orva"}, "init2.orva"},
  };
  for (const auto& c : cases) {
    test::ProgramFolder folder;
    QStringList says = c.says;
    std::optional<test::LockedFolder> locked;
    if (c.file == nullptr) {
      locked.emplace(folder.program_dir());
      says << QDir::toNativeSeparators(folder.program_dir());
    } else if (c.sql == nullptr) {
      QFile::remove(folder.File(QLatin1String(c.file)));
    } else {
      SqliteDb::OpenExisting(folder.File(QLatin1String(c.file))).Exec(QLatin1String(c.sql));
    }
    QString failure = QStringLiteral("no failure");
    try {
      PrepareStartup(folder.program_dir(), {});
    } catch (const DbError& error) {
      failure = error.description();
    }
    locked.reset();
    for (const QString& part : says) {
      EXPECT_TRUE(failure.contains(part)) << part.toStdString() << " in " << failure.toStdString();
    }
    if (!c.not_said.isEmpty()) {
      EXPECT_FALSE(failure.contains(c.not_said)) << failure.toStdString();
    }
  }
}

TEST_F(StartupTest, TheWindowLeavesQtsOwnOptionsOutOfTheSwitches) {
  const QFileInfo user_file(UserFile());
  QProcess program;
  program.start(folder_.CopyProgram(),
                {QStringLiteral("-d"), user_file.path(), QStringLiteral("-f"), user_file.fileName(),
                 QStringLiteral("-qwindowtitle"), QStringLiteral("Orva -demo")});
  ASSERT_TRUE(program.waitForStarted());
  const bool copied =
      QTest::qWaitFor([&] { return QFileInfo::exists(folder_.working_copy()); }, 15000);
  program.kill();
  program.waitForFinished();
  EXPECT_TRUE(copied) << program.readAllStandardError().toStdString();
}

}  // namespace
}  // namespace orva
