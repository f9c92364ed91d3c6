#include "config/decimal_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

namespace orva {
namespace {

template <typename Real>
QString PlainText(Real value) {
  if (std::isnan(value) || value == 0) return QStringLiteral("0");
  if (std::isinf(value)) value = std::copysign(std::numeric_limits<Real>::max(), value);
  // The shortest digits that read back as the value, e.g. "-1.25e+02", spread out around the
  // point.
  char buffer[64];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  if (error != std::errc()) return QStringLiteral("0");
  const std::string_view text(buffer, end - buffer);
  const std::size_t e = text.find('e');
  const bool negative = text.front() == '-';
  std::string digits;
  for (const char c : text.substr(negative ? 1 : 0, e - (negative ? 1 : 0))) {
    if (c != '.') digits.push_back(c);
  }
  int exponent = 0;
  const std::string_view exponent_text = text.substr(e + 1);
  std::from_chars(exponent_text.data() + (exponent_text.front() == '+' ? 1 : 0),
                  exponent_text.data() + exponent_text.size(), exponent);
  const int whole_digits = exponent + 1;
  std::string plain;
  if (whole_digits <= 0) {
    plain = "0." + std::string(-whole_digits, '0') + digits;
  } else if (static_cast<std::size_t>(whole_digits) >= digits.size()) {
    plain = digits + std::string(whole_digits - digits.size(), '0');
  } else {
    plain = digits.substr(0, whole_digits) + '.' + digits.substr(whole_digits);
  }
  if (negative) plain.insert(plain.begin(), '-');
  return QString::fromLatin1(plain.data(), static_cast<qsizetype>(plain.size()));
}

}  // namespace

QString DecimalText15(double value) {
  if (!std::isfinite(value)) return PlainText(value);
  char digits[64];
  const auto [end, error] =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::scientific, 14);
  double rounded = value;
  if (error == std::errc()) std::from_chars(digits, end, rounded);
  return PlainText(rounded);
}

bool IsSingleRange(double value) {
  return !std::isnan(value) && std::fabs(value) <= std::numeric_limits<float>::max();
}

QString SingleDecimalText(double value) {
  if (!IsSingleRange(value)) return QStringLiteral("0");
  return PlainText(static_cast<float>(value));
}

}  // namespace orva
