#include "scan/memory_field.h"

#include "json/leading_number.h"
#include "scan/module_fields.h"
#include "scan/number_format.h"

namespace orva {
namespace {

constexpr int kMemoryEnd = 256;

int WidthOf(ValueType type) {
  switch (type) {
    case ValueType::kByte:
      return 1;
    case ValueType::kInteger:
      return 2;
    case ValueType::k24Bit:
      return 3;
    case ValueType::kUnknown:
      break;
  }
  return 0;
}

}  // namespace

MemoryRead PlanMemoryRead(const QString& sram, const QString& value_type) {
  MemoryRead plan;
  plan.key = QLatin1String("SRAM") + sram;
  plan.width = WidthOf(ValueTypeOf(value_type));
  if (plan.width == 0) {
    plan.error = QStringLiteral("%1: unknown value type \"%2\"").arg(plan.key, value_type);
    return plan;
  }
  if (!IsWritableFieldKey(plan.key)) {
    plan.error = QStringLiteral(
                     "%1: an address text ending in a backslash or holding a line feed "
                     "cannot be a field key")
                     .arg(plan.key);
    return plan;
  }
  const qint64 address = RoundHalfEven(LeadingNumber(sram));
  if (address < 0 || address >= kMemoryEnd) {
    plan.error = QStringLiteral("%1: address %2 is outside module memory 0 to 255")
                     .arg(plan.key)
                     .arg(address);
    return plan;
  }
  if (address + plan.width > kMemoryEnd) {
    plan.error = QStringLiteral("%1: a %2 value at address %3 runs past byte 255")
                     .arg(plan.key, value_type)
                     .arg(address);
    return plan;
  }
  plan.first_block = static_cast<int>(address / kBlockSize);
  plan.offset = static_cast<int>(address % kBlockSize);
  plan.block_count = plan.offset + plan.width > kBlockSize ? 2 : 1;
  return plan;
}

std::optional<Field> MemoryField(const MemoryRead& plan, QByteArrayView joined_blocks) {
  if (!plan.ok() || plan.offset + plan.width > joined_blocks.size()) return std::nullopt;
  const auto* bytes = reinterpret_cast<const quint8*>(joined_blocks.data()) + plan.offset;
  quint32 value = 0;
  for (int i = 0; i < plan.width; ++i) value = value * 256u + bytes[i];
  const QString text = plan.width == 1 ? FormatWhole(value) : FormatSingle(ScaledSingle(value, 1));
  return Field{plan.key, text};
}

}  // namespace orva
