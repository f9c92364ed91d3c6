#include "config/comm_log_days_key.h"

#include "config/decimal_text.h"
#include "config/scan_configuration.h"
#include "json/json_value.h"

#include <cmath>

namespace orva {

double CommLogDaysOf(const JsonValue& settings) {
  const JsonValue& value = settings[QStringLiteral("CommLogDays")];
  const double days = value.IsNumber() ? value.ToNumber() : -1;
  return std::isfinite(days) && days >= 0 ? days : kDefaultCommLogDays;
}

QString CommLogDaysMember(double days) {
  if (days == kDefaultCommLogDays) return QString();
  return QStringLiteral(",\"CommLogDays\":") + DecimalText15(days);
}

}  // namespace orva
