#pragma once

#include "json/json_value.h"

#include <QString>
#include <QStringView>

namespace orva {

// Containers nested deeper than this end the parse, so that hostile text cannot exhaust the
// stack.
inline constexpr int kJsonMaxDepth = 512;

// Parses one top-level object or array; anything after it is ignored. Lenient: single-quoted
// strings and keys, unquoted keys, comments and missing commas are accepted. Never throws:
// problems go to JsonErrors() and the affected container keeps what it held so far, except
// that a list leaves out an element in which a problem was found, and all after it, and that a
// bare word that is no literal ("NaN") ends an object. Gives the nothing value, with the error
// text "Invalid JSON", when the text starts with neither "{" nor "[".
JsonValue JsonParse(QStringView text);

// The problems found by the last JsonParse on this thread, each line ending in CR LF; empty
// when there were none. Text quoted into the lines stops growing after about a million
// characters.
QString JsonErrors();

}  // namespace orva
