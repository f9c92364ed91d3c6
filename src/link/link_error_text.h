#pragma once

#include "store/installation_db.h"
#include "store/language_texts.h"

#include <QString>

#include <functional>
#include <optional>

namespace orva {

// Texts by key in the current language.
using TextLookup = std::function<QString(TextKey key)>;

// The message for a result code without the code itself. Code 255 depends on the last command;
// after a module memory read `module` is the module record the scan looked up (nullopt when it
// found none).
QString LinkErrorMessage(int code, int last_command, const std::optional<Module>& module,
                         const TextLookup& lookup_text);

// The status line text: the message followed by " (Err<code>)".
QString LinkErrorLine(int code, int last_command, const std::optional<Module>& module,
                      const TextLookup& lookup_text);

}  // namespace orva
