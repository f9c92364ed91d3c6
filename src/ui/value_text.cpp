#include "ui/value_text.h"

#include <QRegularExpression>

namespace orva {

std::optional<double> FieldNumber(const QString& value) {
  bool ok = false;
  const double number = value.toDouble(&ok);
  return ok ? std::optional<double>(number) : std::nullopt;
}

QString LocalizedValue(const QString& value, const QLocale& locale) {
  const std::optional<double> number = FieldNumber(value);
  return number ? locale.toString(*number, 'g', 7) : value;
}

QString TimeOfDayFormat(const QLocale& locale) {
  // The long format is the one with seconds; its time zone would only take room.
  static const QRegularExpression kZone(QStringLiteral("\\s*t+"));
  return locale.timeFormat(QLocale::LongFormat).remove(kZone).trimmed();
}

QString TimeOfDayText(QTime time, const QLocale& locale) {
  return locale.toString(time, TimeOfDayFormat(locale));
}

}  // namespace orva
