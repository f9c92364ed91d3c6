#include "config/scan_row.h"

#include <cmath>

namespace orva {

ScanKind ScanRow::Kind() const {
  return fault.isEmpty() ? ScanKindOf(scan_type) : ScanKind::kSkipped;
}

const QStringList& ScanTypeTexts() {
  static const QStringList kTexts = {QStringLiteral("KTX_memory"), QStringLiteral("Module"),
                                     QStringLiteral("Module_memory"),
                                     QStringLiteral("Output_status")};
  return kTexts;
}

const QStringList& ValueTypeTexts() {
  static const QStringList kTexts = {QStringLiteral("Byte"), QStringLiteral("Integer"),
                                     QStringLiteral("24-bit")};
  return kTexts;
}

ScanKind ScanKindOf(const QString& scan_type) {
  if (scan_type == QLatin1String("Module")) return ScanKind::kModule;
  if (scan_type == QLatin1String("Module_memory")) return ScanKind::kModuleMemory;
  if (scan_type == QLatin1String("Output_status")) return ScanKind::kOutputStatus;
  return ScanKind::kSkipped;
}

ValueType ValueTypeOf(const QString& value_type) {
  if (value_type == QLatin1String("Byte")) return ValueType::kByte;
  if (value_type == QLatin1String("Integer")) return ValueType::kInteger;
  if (value_type == QLatin1String("24-bit")) return ValueType::k24Bit;
  return ValueType::kUnknown;
}

qint64 RoundHalfEven(double value) {
  // Out-of-range doubles would make the conversion undefined; clamp to what a row can mean.
  constexpr double kLimit = 1e15;
  if (!(value > -kLimit)) return static_cast<qint64>(-kLimit);
  if (value > kLimit) return static_cast<qint64>(kLimit);
  return static_cast<qint64>(std::nearbyint(value));
}

}  // namespace orva
