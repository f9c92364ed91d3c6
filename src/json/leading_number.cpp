#include "json/leading_number.h"

#include <QString>

namespace orva {

double LeadingNumber(QStringView text) {
  QString number;
  bool seen_point = false;
  for (const QChar c : text) {
    if (c == QLatin1Char(' ')) continue;
    const bool is_digit = c.unicode() >= u'0' && c.unicode() <= u'9';
    const bool is_sign = (c == QLatin1Char('-') || c == QLatin1Char('+')) && number.isEmpty();
    const bool is_point = c == QLatin1Char('.') && !seen_point;
    if (!is_digit && !is_sign && !is_point) break;
    seen_point = seen_point || is_point;
    number += c;
  }
  // A number beyond the range of a double is no number either.
  bool ok = false;
  const double value = number.toDouble(&ok);
  return ok ? value : 0;
}

}  // namespace orva
