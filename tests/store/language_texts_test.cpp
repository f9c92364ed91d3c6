#include "store/language_texts.h"
#include "store/db_error.h"
#include "store/reference_db.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

TEST(LanguageColumn, ExactLetterOrEnglish) {
  const std::pair<const char*, const char*> cases[] = {
      {"N", "txtned"}, {"O", "txtpol"},  {"E", "txtEng"},  {"X", "txtEng"},
      {"n", "txtEng"}, {" N", "txtEng"}, {"NL", "txtEng"}, {"", "txtEng"}};
  for (const auto& [letter, column] : cases) {
    EXPECT_EQ(LanguageColumn(QLatin1String(letter)), QLatin1String(column)) << letter;
  }
}

// Settings without a language take the system's, where the texts have it.
TEST(LanguageLetterOf, TheLocalesLanguageOrDutch) {
  const std::pair<const char*, const char*> cases[] = {
      {"fr_BE", "F"}, {"de_AT", "D"}, {"en_GB", "E"}, {"pt_BR", "B"},
      {"pt_PT", "P"}, {"es_ES", "S"}, {"it_IT", "I"}, {"pl_PL", "O"},
      {"nl_BE", "N"}, {"sv_SE", "N"}, {"C", "N"}};
  for (const auto& [locale, letter] : cases) {
    EXPECT_EQ(LanguageLetterOf(QLocale(QLatin1String(locale))), QLatin1String(letter)) << locale;
  }
}

class LookupTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SqliteDb db = SqliteDb::OpenExisting(folder_.File(QStringLiteral("init2.orva")));
    db.Exec(
        QStringLiteral("INSERT INTO talen (id, txtned, txtEng) VALUES "
                       "(9001, 'De CTL en CTL', 'The CTL, ctl and CTLCTL'),"
                       "(9002, '', 'English only'),"
                       "(9003, NULL, 'English only')"));
    reference_.emplace(ReferenceDb::Open(folder_.File(QStringLiteral("init2.orva"))));
  }
  QString Lookup(int key) {
    return LanguageTexts(*reference_, [this] { return letter_; })
        .LookupText(static_cast<TextKey>(key));
  }

  test::ProgramFolder folder_;
  std::optional<ReferenceDb> reference_;
  QString letter_ = QStringLiteral("N");
};

// Every upper-case CTL becomes the controller's name; a missing key or text is empty, without
// falling back to English unless the letter is none of ours; a missing language column fails
// instead of giving its name.
TEST_F(LookupTextTest, NamesTheControllerAndGivesNoTextItDoesNotHave) {
  EXPECT_EQ(Lookup(9001), QStringLiteral("De KTX en KTX"));
  EXPECT_EQ(Lookup(12345), QString());
  EXPECT_EQ(Lookup(9002), QString());
  EXPECT_EQ(Lookup(9003), QString());
  letter_ = QStringLiteral("E");
  EXPECT_EQ(Lookup(9001), QStringLiteral("The KTX, ctl and KTXKTX"));
  letter_ = QStringLiteral("x");
  EXPECT_EQ(Lookup(9002), QStringLiteral("English only"));

  SqliteDb::OpenExisting(folder_.File(QStringLiteral("init2.orva")))
      .Exec(QStringLiteral("ALTER TABLE talen DROP COLUMN txtpol"));
  reference_.emplace(ReferenceDb::Open(folder_.File(QStringLiteral("init2.orva"))));
  letter_ = QStringLiteral("O");
  EXPECT_THROW(Lookup(6), DbError);
  letter_ = QStringLiteral("N");
  EXPECT_EQ(Lookup(6), QStringLiteral("Geen"));
}

// The program's own texts say in each language what their English says in the program, with
// the same places to fill in.
TEST_F(LookupTextTest, ShipsEveryKeyTheProgramUsesInAllLanguages) {
  const auto places = [](const QString& text) {
    QStringList found;
    for (const char* place : {"%1", "%2", "%3"}) {
      if (text.contains(QLatin1String(place))) found << QLatin1String(place);
    }
    return found;
  };
  for (const char* letter : {"N", "F", "D", "E", "B", "P", "S", "I", "O"}) {
    letter_ = QLatin1String(letter);
    for (const TextKey key : kTextKeys) {
      SCOPED_TRACE(std::string(letter) + " " + std::to_string(static_cast<int>(key)));
      const QString text = Lookup(static_cast<int>(key));
      EXPECT_FALSE(text.isEmpty());
      EXPECT_FALSE(text.contains(QStringLiteral("CTL")));
      EXPECT_EQ(places(text), places(EnglishText(key)));
      if (letter_ == QStringLiteral("E") && !EnglishText(key).isEmpty()) {
        EXPECT_EQ(text, EnglishText(key));
      }
    }
  }
  EXPECT_EQ(FilledIn(QStringLiteral("%2 in %1, 100%"), {"a %2", "b"}),
            QStringLiteral("b in a %2, 100%"));
}

}  // namespace
}  // namespace orva
