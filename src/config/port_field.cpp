#include "config/port_field.h"

#include "config/scan_row.h"
#include "json/leading_number.h"

namespace orva {

QString CorrectedPort(const QString& text) {
  const double value = LeadingNumber(text);
  if (value > 65535) return QStringLiteral("65535");
  if (value <= 0) return QStringLiteral("8086");
  return text;
}

bool IsPortKeyAccepted(int key) { return (key >= '0' && key <= '9') || key == 8 || key == 13; }

}  // namespace orva
