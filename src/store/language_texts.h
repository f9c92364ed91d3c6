#pragma once

#include <QString>

#include <functional>

namespace orva {

class ReferenceDb;

// The column of table "talen" that holds the texts of a language letter. The letter is compared
// whole and exactly; anything unknown reads English.
QString LanguageColumn(const QString& language_letter);

// Message texts by numeric key in the current language, with the controller's name in place of
// "CTL". A missing key or text gives the empty text; there is no fallback to another language.
class LanguageTexts {
 public:
  // `language_letter` is asked at every lookup, so a change of language shows at once.
  LanguageTexts(ReferenceDb& db, std::function<QString()> language_letter)
      : db_(db), language_letter_(std::move(language_letter)) {}

  QString LookupText(int key) const;
  QString LanguageLetter() const { return language_letter_(); }

 private:
  ReferenceDb& db_;
  std::function<QString()> language_letter_;
};

inline const QString kControllerModel = QStringLiteral("KTX");

}  // namespace orva
