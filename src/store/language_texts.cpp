#include "store/language_texts.h"

#include "store/reference_db.h"

namespace orva {

QString LanguageColumn(const QString& language_letter) {
  static const struct {
    const char* letter;
    const char* column;
  } kColumns[] = {{"N", "txtned"}, {"F", "txtfra"}, {"D", "txtdui"}, {"B", "txtbra"},
                  {"P", "txtpor"}, {"S", "txtspa"}, {"I", "txtita"}, {"O", "txtpol"}};
  for (const auto& entry : kColumns) {
    if (language_letter == QLatin1String(entry.letter)) return QLatin1String(entry.column);
  }
  return QStringLiteral("txtEng");
}

QString LanguageLetterOf(const QLocale& locale) {
  switch (locale.language()) {
    case QLocale::French:
      return QStringLiteral("F");
    case QLocale::German:
      return QStringLiteral("D");
    case QLocale::English:
      return QStringLiteral("E");
    case QLocale::Portuguese:
      return locale.territory() == QLocale::Brazil ? QStringLiteral("B") : QStringLiteral("P");
    case QLocale::Spanish:
      return QStringLiteral("S");
    case QLocale::Italian:
      return QStringLiteral("I");
    case QLocale::Polish:
      return QStringLiteral("O");
    default:
      return QStringLiteral("N");
  }
}

QString EnglishText(TextKey key) {
  static const QString kWorkingCopy = QStringLiteral(
      "; it holds the working copy of the installation database (ORVA_ROOT sets where)");
  switch (key) {
    case TextKey::kInstallationFileMissing:
      return QStringLiteral(
          "%1: the installation database does not exist (-d names its folder, -f its file)");
    case TextKey::kInstallationFileNotAFile:
      return QStringLiteral(
          "%1: not a file (-d names the installation database's folder, -f its file)");
    case TextKey::kNoInstallationYet:
      return QStringLiteral(
          "No installation database yet: -d FOLDER -f FILE name one, and its working copy %1 "
          "serves the starts after");
    case TextKey::kStateFolderNotWritable:
      return QStringLiteral(
          "%1: the folder cannot be written (%2); config2.orva and CommLog.orva there must be "
          "writable, and so must the folder");
    case TextKey::kTempFolderNotWritable:
      return QStringLiteral("the folder %1 is not writable (%2)") + kWorkingCopy;
    case TextKey::kTempFolderParentNotWritable:
      return QStringLiteral("the folder %1 cannot be made: %2 is not writable") + kWorkingCopy;
    case TextKey::kTempFolderUnderAFile:
      return QStringLiteral("the folder %1 cannot be made: %2 is a file, not a folder") +
             kWorkingCopy;
    case TextKey::kUnknownOption:
      return QStringLiteral("unknown option %1");
    default:
      return QString();
  }
}

QString FilledIn(const QString& text, const QStringList& arguments) {
  QString filled;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const int number = i + 1 < text.size() ? text[i + 1].digitValue() : -1;
    if (text[i] == QLatin1Char('%') && number >= 1 && number <= arguments.size()) {
      filled += arguments[number - 1];
      ++i;
    } else {
      filled += text[i];
    }
  }
  return filled;
}

DbError TextFault(int number, TextKey key, const QStringList& arguments) {
  DbError fault(number, FilledIn(EnglishText(key), arguments), QStringLiteral("orva-influx"));
  fault.SetText(static_cast<int>(key), arguments);
  return fault;
}

QString LanguageTexts::LookupText(TextKey key) const {
  QString text =
      db_.Text(static_cast<int>(key), LanguageColumn(language_letter_())).value_or(QString());
  return text.replace(QStringLiteral("CTL"), kControllerModel);
}

}  // namespace orva
