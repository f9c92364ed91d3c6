#pragma once

#include "json/json_value.h"

#include <QString>
#include <QStringView>

namespace orva {

// Writes a value as JSON text without blanks. quote_strings false writes a top-level string
// bare (escaped, without quotation marks); nested values are always written quoted. Object
// keys are written as they stand: the parser reads keys without escapes and never lets a
// quotation mark into one. The nothing value writes as "".
QString JsonToText(const JsonValue& value, bool quote_strings);

// Backslash escapes for the quotation mark, backslash, "/", backspace, form feed, line feed,
// carriage return and tab; every other character is copied unchanged.
QString JsonEscape(QStringView text);

// The text a leaf value stands for: a string exactly as it was read (no escapes), any other
// kind as JsonToText writes it bare. Text written as JsonEscape'd string content reads back
// through this unchanged.
QString JsonPlainText(const JsonValue& value);

}  // namespace orva
