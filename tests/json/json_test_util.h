#pragma once

#include "json/json_parser.h"
#include "json/json_value.h"
#include "json/json_writer.h"

#include <QString>

#include <ostream>

// Readable QString values in failure messages of the JSON tests.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace orva::test {

// A parsed value as compact JSON, the easiest way to state a whole tree in a table.
inline QString Compact(const JsonValue& value) { return JsonToText(value, true); }

}  // namespace orva::test
