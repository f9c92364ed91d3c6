#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>
#include <variant>

namespace orva {

// The values of the switches -d (installation folder), -f (installation file name) and
// -c (controller address).
struct SwitchValues {
  QString folder;
  QString file;
  QString controller;
};

// Reads the switches of a switch text into `values`; a switch that is absent leaves its value
// as it was. A switch is "-" and a letter at the start of the text or after a blank; its value
// runs to the next " -" or the end, trimmed.
void ParseSwitches(QStringView text, SwitchValues& values);

// The switch text of the program's arguments (without the program path): every argument that is
// not one of our "--" options, joined by blanks. The shell removes the double quotes a Windows
// user puts around it, so they may be present or not.
QString SwitchTextOf(const QStringList& arguments);

// The value of our option `name` ("--state-dir DIR" or "--state-dir=DIR"), the last one given;
// empty when it is absent.
QString ProgramOptionValue(const QStringList& arguments, QStringView name);

// The text inside the enclosing double quotes when the switch text carries them, the switch text
// itself otherwise; nullopt when it is empty, which means that no installation file is named.
std::optional<QString> InnerSwitchText(const QString& switch_text);

// An option of ours ("--config") and whether it takes a value (in the next argument or after
// "=").
struct ProgramOption {
  const char* name;
  bool takes_value;
};

// The option of ours called `name` (without any "=value"); nullptr when there is none.
const ProgramOption* FindProgramOption(QStringView name);

// One of our options as given: its value from "=value" or the next argument; nullopt when it
// takes none, or its value is missing.
struct GivenOption {
  QString name;
  std::optional<QString> value;
};

// The first "--" argument of `arguments` that is not one of our options; empty when all are.
QString UnknownOption(const QStringList& arguments);

// Our "--" options among `arguments`, in order; the message for the user when one is not ours.
std::variant<QList<GivenOption>, QString> GivenOptions(const QStringList& arguments);

// The letter --language gives among `arguments`, when it is one of the nine.
std::optional<QString> LanguageOption(const QStringList& arguments);

// What --language and --serial-ports change in the settings record: laatstetaal; SerOfEth,
// begcom and endcom ("--serial-ports 1-4": TCP/IP first, then those ports; "--serial-ports
// none": no serial port). Empty without either; the message for the user when a value is wrong.
std::variant<QVariantMap, QString> SettingsChanges(const QList<GivenOption>& options);

}  // namespace orva
