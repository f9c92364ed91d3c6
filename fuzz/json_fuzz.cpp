// libFuzzer target for the JSON reader and writer: any input must parse without a crash or a
// hang, text that parsed without an error line must write back to a fixpoint, and any text
// written through JsonEscape must read back as itself.
#include "json/json_parser.h"
#include "json/json_value.h"
#include "json/json_writer.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "json_fuzz: %s\n", what);
  std::abort();
}

void CheckWriteBack(const orva::JsonValue& value) {
  const QString written = orva::JsonToText(value, true);
  const orva::JsonValue again = orva::JsonParse(written);
  Require(orva::JsonErrors().isEmpty(), "written text has errors when read back");
  Require(again == value, "written text reads back as another tree");
  Require(orva::JsonToText(again, true) == written, "writing is not a fixpoint");
}

void CheckEscapedText(const QString& text) {
  const QString document = QStringLiteral("[\"") + orva::JsonEscape(text) + QStringLiteral("\"]");
  const orva::JsonValue value = orva::JsonParse(document);
  Require(orva::JsonErrors().isEmpty(), "escaped text has errors");
  Require(value.ToArray().size() == 1, "escaped text is not one element");
  Require(orva::JsonPlainText(value.ToArray().first()) == text, "escaped text changed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString text =
      QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const orva::JsonValue value = orva::JsonParse(text);
  const bool clean = orva::JsonErrors().isEmpty();
  orva::JsonToText(value, false);
  orva::JsonPlainText(value);
  if (clean && !value.IsNothing()) CheckWriteBack(value);
  CheckEscapedText(text);
  return 0;
}
