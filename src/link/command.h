#pragma once

namespace orva {

// The controller's command codes that the program names. The answer rules know more commands
// than the program sends; those pass as the number they are (static_cast).
enum class Command : int {
  kService = 0,
  kVersion = 7,
  kModuleSram = 40,
  kModuleEeprom = 41,
  kModuleFlash = 42,
  kOutputStatus = 56,
  kCopyFromSd = 70,
  kCopyToSd = 71,
  kCancelProgramming = 81,
};

// Whether a command reads from the controller or writes to it; the write flag of the command
// byte.
enum class Direction { kRead, kWrite };

constexpr int Code(Command command) { return static_cast<int>(command); }

// Commands on a module's memory: their data starts with the module's serial number, which the
// count leaves out, and their answers carry a longer header.
constexpr bool IsModuleMemory(int code) {
  return code >= Code(Command::kModuleSram) && code <= Code(Command::kModuleFlash);
}

}  // namespace orva
