#include "scan/number_format.h"

#include <charconv>

namespace orva {

QString FormatWhole(quint32 value) { return QString::number(value); }

QString FormatHalf(quint8 value) {
  QString text = QString::number(value / 2);
  if (value % 2 != 0) text += QLatin1String(".5");
  return text;
}

QString FormatSingle(float value) {
  // std::to_chars never looks at the locale, unlike printf, which follows LC_NUMERIC and so
  // would write a decimal comma under many European settings.
  char buffer[32];
  constexpr float kExponentFrom = 1e7f;
  const auto format =
      value >= kExponentFrom ? std::chars_format::scientific : std::chars_format::fixed;
  std::to_chars_result result;
  if (format == std::chars_format::scientific) {
    result = std::to_chars(buffer, buffer + sizeof buffer, value, format, 6);
  } else {
    // Seven significant digits: as many decimals as the digits in front of the point leave.
    result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 7);
  }
  QString text = QString::fromLatin1(buffer, result.ptr - buffer);
  const qsizetype e = text.indexOf(QLatin1Char('e'));
  QString mantissa = e < 0 ? text : text.left(e);
  const QString exponent = e < 0 ? QString() : text.mid(e + 1);
  if (mantissa.contains(QLatin1Char('.'))) {
    while (mantissa.endsWith(QLatin1Char('0'))) mantissa.chop(1);
    if (mantissa.endsWith(QLatin1Char('.'))) mantissa.chop(1);
  }
  return exponent.isEmpty() ? mantissa : mantissa + QLatin1Char('E') + exponent;
}

float ScaledSingle(quint32 raw, quint32 divisor) {
  return static_cast<float>(raw) / static_cast<float>(divisor);
}

}  // namespace orva
