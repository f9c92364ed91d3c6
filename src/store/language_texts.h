#pragma once

#include "store/db_error.h"

#include <QLocale>
#include <QString>
#include <QStringList>

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
  // The program's own texts, from 2001 on: the faults that end a start. %1, %2 are filled in.
  kInstallationFileMissing = 2001,  // "%1: the installation database does not exist ..."
  kInstallationFileNotAFile = 2002,
  kNoInstallationYet = 2003,
  kStateFolderNotWritable = 2004,
  kTempFolderNotWritable = 2005,
  kTempFolderParentNotWritable = 2006,
  kTempFolderUnderAFile = 2007,
  kUnknownOption = 2008,
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
                                        TextKey::kCommunication,
                                        TextKey::kInstallationFileMissing,
                                        TextKey::kInstallationFileNotAFile,
                                        TextKey::kNoInstallationYet,
                                        TextKey::kStateFolderNotWritable,
                                        TextKey::kTempFolderNotWritable,
                                        TextKey::kTempFolderParentNotWritable,
                                        TextKey::kTempFolderUnderAFile,
                                        TextKey::kUnknownOption};

// The English of one of the program's own texts, which says a fault where the texts cannot be
// read; table "talen" holds the same words. Empty for the other keys.
QString EnglishText(TextKey key);

// `text` with %1, %2 ... %9 replaced by `arguments` in one pass: an argument's own "%1" stays.
QString FilledIn(const QString& text, const QStringList& arguments);

// A fault of ours that ends a start: its description is the English of `key` filled in with
// `arguments`, and it carries the key, so that it can be told in the user's language.
DbError TextFault(int number, TextKey key, const QStringList& arguments);

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
