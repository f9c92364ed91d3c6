#pragma once

#include <QLocale>
#include <QString>

#include <functional>

namespace orva {

class ReferenceDb;

// The column of table "talen" that holds the texts of a language letter. The letter is compared
// whole and exactly; anything unknown reads English.
QString LanguageColumn(const QString& language_letter);

// The letter of the locale's language where the texts come in it, else "N" (Dutch).
QString LanguageLetterOf(const QLocale& locale);

// The texts of table "talen" the program shows, by their key there.
enum class TextKey : int {
  kNo = 6,                           // "No"
  kLoginRefused = 42,                // "CTL refuses the login"
  kFrom = 302,                       // "from"
  kTo = 303,                         // "to"
  kNoControllerOnSerialPorts = 386,  // "No CTL found on the serial ports"
  kCheckCableAndPower = 387,         // "Check the cable and the power of the CTL"
  kConnectionToController = 707,     // "connection to the CTL"
  kNoAnswerFromController = 749,     // "No answer from the CTL"
  kCommunication = 860,              // "Communication"
};

// Every key above, for whoever must check that the texts are there.
inline constexpr TextKey kTextKeys[] = {TextKey::kNo,
                                        TextKey::kLoginRefused,
                                        TextKey::kFrom,
                                        TextKey::kTo,
                                        TextKey::kNoControllerOnSerialPorts,
                                        TextKey::kCheckCableAndPower,
                                        TextKey::kConnectionToController,
                                        TextKey::kNoAnswerFromController,
                                        TextKey::kCommunication};

// Message texts by key in the current language, with the controller's name in place of
// "CTL". A missing key or text gives the empty text; there is no fallback to another language.
class LanguageTexts {
 public:
  // `language_letter` is asked at every lookup, so a change of language shows at once.
  LanguageTexts(ReferenceDb& db, std::function<QString()> language_letter)
      : db_(db), language_letter_(std::move(language_letter)) {}

  QString LookupText(TextKey key) const;
  QString LanguageLetter() const { return language_letter_(); }

 private:
  ReferenceDb& db_;
  std::function<QString()> language_letter_;
};

inline const QString kControllerModel = QStringLiteral("KTX");

}  // namespace orva
