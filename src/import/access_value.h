#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace orva {

// How an Access file stores the text of its text and memo fields.
enum class AccessTextEncoding {
  kCodePage1252,  // Jet 3: one byte per character
  kUtf16,         // Jet 4 and ACE: UTF-16LE, optionally in the compressed form
};

// The text of a text or memo field as stored. A Jet 4 value that starts with FF FE is in the
// compressed form: single bytes stand for U+0000..U+00FF and each 0 byte switches between
// single bytes and UTF-16 pairs.
QString DecodeAccessText(QByteArrayView stored, AccessTextEncoding encoding);

// An Access date/time (days since 1899-12-30; for dates before that the time of day still
// counts forward from midnight, so -1.25 is 1899-12-29 06:00) as "YYYY-MM-DD HH:MM:SS",
// rounded to the second. nullopt outside the years 1..9999 and for NaN, which no valid
// Access date reaches.
std::optional<QString> AccessDateText(double days);

// A single-precision number widened to double through its shortest decimal form, so that the
// 0.1 a user typed stays 0.1 and does not become 0.100000001490116.
double WidenSingle(float value);

}  // namespace orva
