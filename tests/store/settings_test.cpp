#include "store/db_error.h"
#include "store/settings_db.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

// Missing or incomplete fields get their defaults, flag fields are padded to their defined size
// (a flag field without one keeps its value), complete values stay.
TEST(SettingsTest, CompletesWhatIsMissing) {
  const QString flags20 = QString(20, QLatin1Char(' '));
  const struct {
    const char* sql;
    std::vector<std::pair<const char*, QString>> fields;
  } cases[] = {
      {"UPDATE orva SET webport = NULL, WW = NULL, answflag = NULL, askflag = 'ab', "
       "SerOfEth = NULL, idbuser = NULL, IdbWW = NULL, idbinstallercode = NULL, LstSort = NULL, "
       "progstatus = '0'",
       {{"webport", "8444"},
        {"WW", ""},
        {"answflag", flags20},
        {"askflag", "ab" + flags20.left(18)},
        {"SerOfEth", "SE "},
        {"idbuser", ""},
        {"LstSort", "NTN       "},
        {"progstatus", "1"}}},
      {"UPDATE orva SET webport = 8080, WW = 'secret', SerOfEth = 'S', LstSort = 'ABC'",
       {{"webport", "8080"}, {"WW", "secret"}, {"SerOfEth", "S  "}, {"LstSort", "ABC"}}},
      {"UPDATE orva SET webport = 'x'", {{"webport", "8444"}}},
      {"UPDATE orva SET webport = 0, SerOfEth = 'SEXY'",
       {{"webport", "8444"}, {"SerOfEth", "SEXY"}}},
      {"ALTER TABLE orva DROP COLUMN answflag; ALTER TABLE orva ADD COLUMN answflag TEXT; "
       "UPDATE orva SET answflag = 'JN', askflag = 'J'",
       {{"answflag", "JN"}, {"askflag", "J" + flags20.left(19)}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    test::ProgramFolder folder;
    const QString path = folder.File(QStringLiteral("config2.orva"));
    SqliteDb::OpenExisting(path).Exec(QLatin1String(c.sql));
    SettingsDb settings = SettingsDb::Open(path);
    settings.CompleteSettings();
    const Record record = settings.Settings();
    for (const auto& [field, value] : c.fields) {
      EXPECT_EQ(record.Text(QString::fromLatin1(field)), value) << field;
    }
  }
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
