#include "installation_fixture.h"
#include "startup/startup.h"
#include "temp_dir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <unistd.h>

namespace orva {
namespace {

// Start-up as the program runs it; the failure's message, empty when it succeeds.
QString StartFailure(const test::ProgramFolder& folder, const QStringList& arguments,
                     StartupState* started = nullptr) {
  try {
    StartupState state = PrepareStartup(folder.program_dir(), arguments);
    RunSettingsStep(state);
    if (started != nullptr) *started = std::move(state);
  } catch (const DbError& error) {
    return StartupFailureMessage(error);
  }
  return QString();
}

// Makes a folder refuse new files, for root too (which permissions alone do not stop); undone
// when it goes.
class LockedFolder {
 public:
  explicit LockedFolder(const QString& path) : path_(path) {
    QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (::geteuid() == 0) QProcess::execute(QStringLiteral("chattr"), {"+i", path_});
  }
  ~LockedFolder() {
    if (::geteuid() == 0) QProcess::execute(QStringLiteral("chattr"), {"-i", path_});
    QFile::setPermissions(path_,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }

 private:
  QString path_;
};

class StartupFaultsTest : public ::testing::Test {
 protected:
  QString UserFile(const QString& extra_sql = {}) {
    const QString path = folder_.root() + QStringLiteral("site/house.orva");
    QDir().mkpath(QFileInfo(path).path());
    test::WriteInstallationDb(path, extra_sql);
    return path;
  }
  QStringList Switches(const QString& path) {
    return {QStringLiteral("-d"), QFileInfo(path).path(), QStringLiteral("-f"),
            QFileInfo(path).fileName()};
  }

  test::ProgramFolder folder_;
};

TEST_F(StartupFaultsTest, AnAddressAloneKeepsThePreviousCopyAndABadOneIsRefused) {
  ASSERT_EQ(StartFailure(folder_, Switches(UserFile("UPDATE config SET CTLSerial = 'earlier'"))),
            QString());
  StartupState state;
  ASSERT_EQ(StartFailure(folder_, {"-c", "127.0.0.1:9000"}, &state), QString());
  EXPECT_EQ(state.controller_address, QStringLiteral("127.0.0.1:9000"));
  EXPECT_EQ(state.installation->Config().Text(u"CTLSerial"), QStringLiteral("earlier"));

  for (const char* address : {"127.0.0.1:0", "ktx:65536", "[::1", "[::1]:x"}) {
    const QString message = StartFailure(folder_, {"-c", address});
    EXPECT_TRUE(message.contains(QLatin1String(address)) && message.contains("-c"))
        << address << ": " << message.toStdString();
  }
}

TEST_F(StartupFaultsTest, AFileWithoutAColumnTheProgramReadsIsRefusedByName) {
  ASSERT_EQ(StartFailure(folder_, Switches(UserFile())), QString());
  const QByteArray previous_copy = test::ReadFile(folder_.working_copy());
  for (const char* column : {"config.ctltype", "modules.serienr", "outputs.ModeId"}) {
    const QString table = QString::fromLatin1(column).section('.', 0, 0);
    const QString name = QString::fromLatin1(column).section('.', 1);
    const QString message = StartFailure(
        folder_,
        Switches(UserFile(
            QStringLiteral("ALTER TABLE %1 RENAME COLUMN %2 TO damaged").arg(table, name))));
    EXPECT_TRUE(message.contains(QLatin1String(column))) << message.toStdString();
    EXPECT_EQ(test::ReadFile(folder_.working_copy()), previous_copy) << column;
  }
}

TEST_F(StartupFaultsTest, AProgramFolderThatCannotBeWrittenIsNamedWithWhatMustBeWritable) {
  QString message;
  {
    const LockedFolder locked(folder_.program_dir());
    message = StartFailure(folder_, {});
  }
  for (const QString& part : {QDir::toNativeSeparators(folder_.program_dir()),
                              QStringLiteral("config2.orva"), QStringLiteral("CommLog.orva")}) {
    EXPECT_TRUE(message.contains(part)) << part.toStdString() << " in " << message.toStdString();
  }
  EXPECT_FALSE(message.contains(QStringLiteral("init2.orva"))) << message.toStdString();
}

}  // namespace
}  // namespace orva
