#include "scan/scan_interval.h"

#include "config/scan_row.h"
#include "json/leading_number.h"

namespace orva {

ScanInterval ReadScanInterval(const QString& text) {
  const double seconds = LeadingNumber(text);
  const qint64 ms = RoundHalfEven(seconds * 1000.0);
  if (ms <= 0) {
    return {std::nullopt,
            QStringLiteral("Scan time \"%1\" reads as %2 ms: enter seconds above 0 with a point, "
                           "e.g. 0.5")
                .arg(text)
                .arg(ms)};
  }
  if (ms > kMaxScanIntervalMs) {
    return {std::nullopt, QStringLiteral("Scan time \"%1\" is longer than %2 s")
                              .arg(text)
                              .arg(kMaxScanIntervalMs / 1000)};
  }
  return {static_cast<int>(ms), QString()};
}

}  // namespace orva
