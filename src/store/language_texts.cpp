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

QString LanguageTexts::LookupText(TextKey key) const {
  QString text =
      db_.Text(static_cast<int>(key), LanguageColumn(language_letter_())).value_or(QString());
  return text.replace(QStringLiteral("CTL"), kControllerModel);
}

}  // namespace orva
