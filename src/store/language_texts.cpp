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

QString LanguageTexts::LookupText(TextKey key) const {
  QString text = db_.Text(static_cast<int>(key), LanguageColumn(language_letter_())).value_or(QString());
  return text.replace(QStringLiteral("CTL"), kControllerModel);
}

}  // namespace orva
