#include "serial_number.h"

#include <optional>

namespace orva::sim {
namespace {

int LenientHex(const QString& pair) {
  int value = 0;
  for (const QChar c : pair) {
    const int digit = QStringLiteral("0123456789ABCDEF").indexOf(c.toUpper());
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  return value;
}

int LenientDecimal(const QString& pair) {
  int value = 0;
  int i = 0;
  while (i < pair.size() && pair[i] == QLatin1Char(' ')) ++i;
  for (; i < pair.size() && pair[i].isDigit(); ++i) value = value * 10 + pair[i].digitValue();
  return value;
}

std::optional<int> StrictDecimal(const QString& pair) {
  const QString trimmed = pair.trimmed();
  if (trimmed.isEmpty()) return std::nullopt;
  for (const QChar c : trimmed) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
  }
  const int value = trimmed.toInt();
  if (value > 255) return std::nullopt;
  return value;
}

}  // namespace

bool HasHexPrefix(const QString& serial) {
  return serial.isEmpty() || QStringLiteral("BCDEF").contains(serial[0]);
}

QByteArray SerialTextToBytes(const QString& serial) {
  const QString pairs[3] = {serial.mid(0, 2), serial.mid(2, 2), serial.right(2)};
  QByteArray bytes(3, '\0');
  if (HasHexPrefix(serial)) {
    for (int i = 0; i < 3; ++i) bytes[i] = static_cast<char>(LenientHex(pairs[i]));
    return bytes;
  }
  const bool first_is_hex = LenientDecimal(pairs[0]) == 0;
  for (int i = 0; i < 3; ++i) {
    if (i == 0 && first_is_hex) {
      bytes[0] = static_cast<char>(LenientHex(pairs[0]));
      continue;
    }
    const std::optional<int> value = StrictDecimal(pairs[i]);
    if (!value) return QByteArray(3, '\0');
    bytes[i] = static_cast<char>(*value);
  }
  return bytes;
}

}  // namespace orva::sim
