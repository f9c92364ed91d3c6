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

QString MemoryRowFault(double address, const QString& value_type) {
  constexpr qint64 kMemoryEnd = 256;
  const ValueType type = ValueTypeOf(value_type);
  if (type == ValueType::kUnknown) {
    return QStringLiteral("value type \"%1\" is none of %2")
        .arg(value_type, ValueTypeTexts().join(QStringLiteral(", ")));
  }
  const qint64 first = RoundHalfEven(address);
  if (first < 0 || first >= kMemoryEnd) {
    return QStringLiteral("SRAM %1 is outside module memory 0 to 255").arg(first);
  }
  const qint64 width = type == ValueType::kByte ? 1 : type == ValueType::kInteger ? 2 : 3;
  if (first + width > kMemoryEnd) {
    return QStringLiteral("a %1 value at SRAM %2 runs past byte 255").arg(value_type).arg(first);
  }
  return QString();
}

qint64 RoundHalfEven(double value) {
  // Out-of-range doubles would make the conversion undefined; clamp to what a row can mean.
  constexpr double kLimit = 1e15;
  if (!(value > -kLimit)) return static_cast<qint64>(-kLimit);
  if (value > kLimit) return static_cast<qint64>(kLimit);
  return static_cast<qint64>(std::nearbyint(value));
}

}  // namespace orva
