#include "store/db_error.h"
#include "store/settings_db.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
  // Sets fields of the shipped settings record before a case.
  void Store(const QString& assignments) {
    SqliteDb db = SqliteDb::OpenExisting(folder_.File(QStringLiteral("config2.orva")));
    db.Exec(QStringLiteral("UPDATE orva SET ") + assignments);
  }
  Record Completed() {
    SettingsDb settings = SettingsDb::Open(folder_.File(QStringLiteral("config2.orva")));
    settings.CompleteSettings();
    return settings.Settings();
  }

  test::ProgramFolder folder_;
};

TEST_F(SettingsTest, FillsMissingFieldsWithDefaults) {
  Store(
      QStringLiteral("webport = NULL, WW = NULL, answflag = NULL, askflag = 'ab', "
                     "SerOfEth = NULL, idbuser = NULL, IdbWW = NULL, idbinstallercode = NULL, "
                     "LstSort = NULL, progstatus = '0'"));
  const Record settings = Completed();
  EXPECT_EQ(settings.Integer(u"webport"), 8444);
  EXPECT_EQ(settings.Text(u"WW"), QString());
  EXPECT_EQ(settings.Text(u"answflag"), QString(20, QLatin1Char(' ')));
  EXPECT_EQ(settings.Text(u"askflag"), QStringLiteral("ab") + QString(18, QLatin1Char(' ')));
  EXPECT_EQ(settings.Text(u"SerOfEth"), QStringLiteral("SE "));
  EXPECT_EQ(settings.Text(u"idbuser"), QString());
  EXPECT_EQ(settings.Text(u"LstSort"), QStringLiteral("NTN       "));
  EXPECT_EQ(settings.Text(u"progstatus"), QStringLiteral("1"));
}

TEST_F(SettingsTest, KeepsValuesThatAreComplete) {
  Store(QStringLiteral("webport = 8080, WW = 'secret', SerOfEth = 'S', LstSort = 'ABC'"));
  Record settings = Completed();
  EXPECT_EQ(settings.Integer(u"webport"), 8080);
  EXPECT_EQ(settings.Text(u"WW"), QStringLiteral("secret"));
  EXPECT_EQ(settings.Text(u"SerOfEth"), QStringLiteral("S  "));
  EXPECT_EQ(settings.Text(u"LstSort"), QStringLiteral("ABC"));

  Store(QStringLiteral("webport = 0, SerOfEth = 'SEXY'"));
  settings = Completed();
  EXPECT_EQ(settings.Integer(u"webport"), 8444);
  EXPECT_EQ(settings.Text(u"SerOfEth"), QStringLiteral("SEXY"));
}

TEST_F(SettingsTest, AFlagFieldWithoutDefinedSizeKeepsItsValue) {
  SqliteDb db = SqliteDb::OpenExisting(folder_.File(QStringLiteral("config2.orva")));
  db.Exec(
      QStringLiteral("ALTER TABLE orva DROP COLUMN answflag; ALTER TABLE orva ADD COLUMN answflag "
                     "TEXT; UPDATE orva SET answflag = 'JN', askflag = 'J'"));
  const Record settings = Completed();
  EXPECT_EQ(settings.Text(u"answflag"), QStringLiteral("JN"));
  EXPECT_EQ(settings.Text(u"askflag"), QStringLiteral("J") + QString(19, QLatin1Char(' ')));
}

TEST(SettingsCompletion, TakesFlagSizesFromTheCaller) {
  Record record;
  for (const char* field : {"webport", "WW", "answflag", "askflag", "SerOfEth", "idbuser", "IdbWW",
                            "idbinstallercode", "LstSort"}) {
    record.Add(QLatin1String(field), QVariant(QStringLiteral("x")));
  }
  const QVariantMap changes = SettingsCompletion(record, 3, 1);
  EXPECT_EQ(changes.value(QStringLiteral("answflag")), QStringLiteral("x  "));
  EXPECT_FALSE(changes.contains(QStringLiteral("askflag")));
  EXPECT_EQ(changes.value(QStringLiteral("webport")), 8444);  // "x" is no port
}

TEST(LanguageLetter, BlankIsNotChosenAndNullIsAnError) {
  auto letter_of = [](DbValue value) {
    Record record;
    record.Add(QStringLiteral("LaatsteTaal"), value);
    return StoredLanguageLetter(record);
  };
  EXPECT_EQ(letter_of(QVariant(QStringLiteral("F"))), QStringLiteral("F"));
  EXPECT_EQ(letter_of(QVariant(QStringLiteral(" E"))), QStringLiteral(" E"));
  EXPECT_EQ(letter_of(QVariant(QStringLiteral("   "))), std::nullopt);
  EXPECT_THROW(letter_of(std::nullopt), DbError);
}

}  // namespace
}  // namespace orva
