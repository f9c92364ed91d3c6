#include "scan/serial_bytes.h"

#include <optional>

namespace orva {
namespace {

int HexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (u >= u'A' && u <= u'F') return u - u'A' + 10;
  if (u >= u'a' && u <= u'f') return u - u'a' + 10;
  return -1;
}

bool IsAsciiDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

// Hexadecimal digits up to the first other character; none gives 0.
int LenientHex(const QString& pair) {
  int value = 0;
  for (const QChar c : pair) {
    const int digit = HexDigit(c);
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  return value;
}

// Leading blanks skipped, decimal digits up to the first non-digit; none gives 0.
int LenientDecimal(const QString& pair) {
  int value = 0;
  qsizetype i = 0;
  while (i < pair.size() && pair[i] == QLatin1Char(' ')) ++i;
  for (; i < pair.size() && IsAsciiDigit(pair[i]); ++i)
    value = value * 10 + (pair[i].unicode() - u'0');
  return value;
}

// The whole pair (blanks around it aside) must be a decimal number from 0 to 255.
std::optional<quint8> StrictDecimal(const QString& pair) {
  const QString digits = pair.trimmed();
  if (digits.isEmpty()) return std::nullopt;
  int value = 0;
  for (const QChar c : digits) {
    if (!IsAsciiDigit(c)) return std::nullopt;
    value = value * 10 + (c.unicode() - u'0');
  }
  if (value > 255) return std::nullopt;
  return static_cast<quint8>(value);
}

}  // namespace

bool HasHexPrefix(const QString& serial) {
  if (serial.isEmpty()) return true;
  const char16_t first = serial.front().unicode();
  return first >= u'B' && first <= u'F';
}

QByteArray SerialBytes(const QString& serial) {
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
    const std::optional<quint8> value = StrictDecimal(pairs[i]);
    if (!value) return QByteArray(3, '\0');
    bytes[i] = static_cast<char>(*value);
  }
  return bytes;
}

}  // namespace orva
