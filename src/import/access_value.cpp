#include "import/access_value.h"

#include <QDate>

#include <charconv>
#include <cmath>

namespace orva {
namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; five of those bytes are unassigned and
// decode to themselves, as Windows does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString DecodeCp1252(QByteArrayView stored) {
  QString text(stored.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < stored.size(); ++i) {
    const auto byte = static_cast<unsigned char>(stored[i]);
    text[i] = QChar(byte >= 0x80 && byte <= 0x9F ? kCp1252High[byte - 0x80] : char16_t{byte});
  }
  return text;
}

char16_t Utf16At(QByteArrayView stored, qsizetype i) {
  return static_cast<char16_t>(static_cast<unsigned char>(stored[i]) |
                               static_cast<unsigned char>(stored[i + 1]) << 8);
}

QString DecodeUtf16(QByteArrayView stored) {
  QString text;
  text.reserve(stored.size() / 2);
  for (qsizetype i = 0; i + 1 < stored.size(); i += 2) text.append(QChar(Utf16At(stored, i)));
  return text;
}

QString DecodeCompressedUtf16(QByteArrayView stored) {
  QString text;
  text.reserve(stored.size());
  bool single_bytes = true;
  qsizetype i = 0;
  while (i < stored.size()) {
    if (stored[i] == '\0') {
      single_bytes = !single_bytes;
      ++i;
    } else if (single_bytes) {
      text.append(QChar(char16_t{static_cast<unsigned char>(stored[i])}));
      ++i;
    } else if (i + 1 < stored.size()) {
      text.append(QChar(Utf16At(stored, i)));
      i += 2;
    } else {
      break;  // a lone trailing byte carries no character
    }
  }
  return text;
}

}  // namespace

QString DecodeAccessText(QByteArrayView stored, AccessTextEncoding encoding) {
  if (encoding == AccessTextEncoding::kCodePage1252) return DecodeCp1252(stored);
  if (stored.size() >= 2 && static_cast<unsigned char>(stored[0]) == 0xFF &&
      static_cast<unsigned char>(stored[1]) == 0xFE) {
    return DecodeCompressedUtf16(stored.sliced(2));
  }
  return DecodeUtf16(stored);
}

std::optional<QString> AccessDateText(double days) {
  constexpr qint64 kSecondsPerDay = 86400;
  // Beyond this no year fits in four digits; it also keeps the casts below defined.
  constexpr double kMaxDays = 4.0e6;
  if (!(std::fabs(days) < kMaxDays)) return std::nullopt;
  const double whole_days = std::trunc(days);
  qint64 day = static_cast<qint64>(whole_days);
  qint64 seconds = std::llround(std::fabs(days - whole_days) * kSecondsPerDay);
  if (seconds >= kSecondsPerDay) {
    ++day;  // rounded up to the next midnight
    seconds -= kSecondsPerDay;
  }
  const QDate date = QDate(1899, 12, 30).addDays(day);
  if (!date.isValid() || date.year() < 1 || date.year() > 9999) return std::nullopt;
  return QStringLiteral("%1-%2-%3 %4:%5:%6")
      .arg(date.year(), 4, 10, QLatin1Char('0'))
      .arg(date.month(), 2, 10, QLatin1Char('0'))
      .arg(date.day(), 2, 10, QLatin1Char('0'))
      .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
      .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

double WidenSingle(float value) {
  if (!std::isfinite(value)) return value;
  // to_chars and from_chars ignore the locale, which may use a decimal comma.
  char digits[32];
  const auto written = std::to_chars(digits, digits + sizeof(digits), value);
  double widened = value;
  std::from_chars(digits, written.ptr, widened);
  return widened;
}

}  // namespace orva
