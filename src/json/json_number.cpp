#include "json/json_number.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace orva {
namespace {

// Decimal exponent of the first significant digit of a number text as from_chars matched it
// ("-123.4e5" gives 7). Only called for texts out of the double range, which have one.
long long SignificantExponent(std::string_view text) {
  std::size_t i = (!text.empty() && text[0] == '-') ? 1 : 0;
  long long int_digits = 0;  // digits before the point, counted from the first non-zero one
  long long frac_zeros = 0;  // zeros after the point before the first non-zero digit
  bool in_fraction = false;
  bool significant = false;
  for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
    const char c = text[i];
    if (c == '.') {
      in_fraction = true;
    } else if (!in_fraction) {
      significant = significant || c != '0';
      if (significant) ++int_digits;
    } else if (!significant) {
      significant = c != '0';
      if (!significant) ++frac_zeros;
    }
  }
  long long shift = 0;
  bool negative_shift = false;
  if (i + 1 < text.size()) {
    std::size_t j = i + 1;
    if (text[j] == '+' || text[j] == '-') negative_shift = text[j++] == '-';
    // Saturate: the sign of the sum is all that matters.
    for (; j < text.size() && shift < 1'000'000'000; ++j) shift = shift * 10 + (text[j] - '0');
  }
  const long long exponent = int_digits > 0 ? int_digits - 1 : -(frac_zeros + 1);
  return exponent + (negative_shift ? -shift : shift);
}

}  // namespace

bool IsJsonNumberChar(QChar c) {
  const char16_t u = c.unicode();
  return (u >= '0' && u <= '9') || u == '+' || u == '-' || u == '.' || u == 'e' || u == 'E';
}

double JsonNumberFromRun(QStringView run) {
  std::string text;
  text.reserve(run.size());
  for (const QChar c : run) {
    if (!IsJsonNumberChar(c)) break;
    text.push_back(static_cast<char>(c.unicode()));
  }
  // from_chars has no leading plus sign; a number may have one.
  std::size_t start = 0;
  if (text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+') start = 1;
  double value = 0.0;
  const char* first = text.data() + start;
  const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) {
    const std::string_view matched(first, end - first);
    const bool negative = matched.front() == '-';
    const double magnitude =
        SignificantExponent(matched) > 0 ? std::numeric_limits<double>::max() : 0.0;
    return negative ? -magnitude : magnitude;
  }
  return error == std::errc() ? value : 0.0;
}

QString JsonNumberText(double value) {
  if (value == 0.0 || std::isnan(value)) return QStringLiteral("0");
  if (std::isinf(value)) {
    value = std::copysign(std::numeric_limits<double>::max(), value);
  }
  // Shortest round-trip digits in scientific form, e.g. "-1.5e+00".
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const std::string_view scientific(buffer, result.ptr - buffer);
  const std::size_t e_at = scientific.find('e');
  const bool negative = scientific.front() == '-';
  std::string digits;
  for (char c : scientific.substr(negative ? 1 : 0, e_at - (negative ? 1 : 0))) {
    if (c != '.') digits.push_back(c);
  }
  int exponent = 0;
  const std::string_view exponent_text = scientific.substr(e_at + 1);
  std::from_chars(exponent_text.data() + (exponent_text.front() == '+' ? 1 : 0),
                  exponent_text.data() + exponent_text.size(), exponent);

  // point: how many digits stand before the decimal point.
  const int point = exponent + 1;
  const int count = static_cast<int>(digits.size());
  std::string text = negative ? "-" : "";
  if (count <= point && point <= 21) {
    text += digits + std::string(point - count, '0');
  } else if (0 < point && point <= 21) {
    text += digits.substr(0, point) + "." + digits.substr(point);
  } else if (-6 < point && point <= 0) {
    text += "0." + std::string(-point, '0') + digits;
  } else {
    text += digits.substr(0, 1);
    if (count > 1) text += "." + digits.substr(1);
    text += (exponent < 0 ? "e-" : "e+") + std::to_string(std::abs(exponent));
  }
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace orva
