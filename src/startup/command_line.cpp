#include "startup/command_line.h"

namespace orva {

namespace {

const ProgramOption kProgramOptions[] = {
    {"--headless", false},         {"--config", true},    {"--ticks", true},
    {"--echo-error-answer", true}, {"--help", false},     {"--version", false},
    {"--status", false},           {"--state-dir", true}, {nullptr, false},
};

// Whether `argument` is one of our options, and whether it swallows the next argument.
bool IsProgramOption(const QString& argument, bool& value_follows) {
  value_follows = false;
  if (!argument.startsWith(QStringLiteral("--"))) return false;
  const ProgramOption* option = FindProgramOption(argument.section(QLatin1Char('='), 0, 0));
  value_follows = option && option->takes_value && !argument.contains(QLatin1Char('='));
  return true;
}

}  // namespace

const ProgramOption* FindProgramOption(QStringView name) {
  for (const ProgramOption* option = kProgramOptions; option->name; ++option) {
    if (name == QLatin1String(option->name)) return option;
  }
  return nullptr;
}

void ParseSwitches(QStringView text, SwitchValues& values) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != QLatin1Char('-') || (i > 0 && text[i - 1] != QLatin1Char(' '))) continue;
    const QChar letter = text[i + 1];
    qsizetype end = text.indexOf(QStringLiteral(" -"), i + 2);
    if (end < 0) end = text.size();
    const QString value = text.mid(i + 2, end - i - 2).trimmed().toString();
    if (letter == QLatin1Char('d')) {
      values.folder = value;
    } else if (letter == QLatin1Char('f')) {
      values.file = value;
    } else if (letter == QLatin1Char('c')) {
      values.controller = value;
    }
    i = end - 1;
  }
}

QString SwitchTextOf(const QStringList& arguments) {
  QStringList parts;
  bool skip_value = false;
  for (const QString& argument : arguments) {
    if (skip_value) {
      skip_value = false;
      continue;
    }
    if (IsProgramOption(argument, skip_value)) continue;
    parts << argument;
  }
  return parts.join(QLatin1Char(' '));
}

QString ProgramOptionValue(const QStringList& arguments, QStringView name) {
  QString value;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == name) {
      value = arguments.value(++i);
    } else if (argument.startsWith(name) &&
               argument.mid(name.size()).startsWith(QLatin1Char('='))) {
      value = argument.mid(name.size() + 1);
    }
  }
  return value;
}

std::optional<QString> InnerSwitchText(const QString& switch_text) {
  if (switch_text.isEmpty()) return std::nullopt;
  const QChar quote = QLatin1Char('"');
  if (switch_text.startsWith(quote) && switch_text.endsWith(quote)) {
    return switch_text.mid(1, switch_text.size() - 2);
  }
  return switch_text;
}

}  // namespace orva
