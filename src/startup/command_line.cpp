#include "startup/command_line.h"

#include "store/language_texts.h"

namespace orva {

namespace {

const ProgramOption kProgramOptions[] = {
    {"--headless", false},     {"--config", true},
    {"--ticks", true},         {"--echo-error-answer", true},
    {"--language", true},      {"--serial-ports", true},
    {"--help", false},         {"--version", false},
    {"--status", false},       {"--outbox", false},
    {"--outbox-clear", false}, {"--state-dir", true},
    {nullptr, false},
};

// The letters of the languages the texts come in.
constexpr char kLanguageLetters[] = "NFDBPSIOE";

std::optional<QString> LanguageLetterOf(const std::optional<QString>& value) {
  if (!value || value->size() != 1) return std::nullopt;
  const QString letter = value->toUpper();
  if (!QByteArray(kLanguageLetters).contains(letter.toLatin1())) return std::nullopt;
  return letter;
}

// "FIRST-LAST" with 1 <= FIRST <= LAST <= 255 (a lone number is one port), or "none".
std::optional<QVariantMap> SerialPortFields(const std::optional<QString>& value) {
  if (value == QStringLiteral("none")) {
    return QVariantMap{{QStringLiteral("begcom"), QVariant()},
                       {QStringLiteral("endcom"), QVariant()}};
  }
  if (!value) return std::nullopt;
  const QStringList parts = value->split(QLatin1Char('-'));
  bool first_ok = false;
  bool last_ok = false;
  const int first = parts.value(0).toInt(&first_ok);
  const int last = parts.size() == 2 ? parts[1].toInt(&last_ok) : first;
  if (parts.size() == 1) last_ok = first_ok;
  if (!first_ok || !last_ok || parts.size() > 2 || first < 1 || last < first || last > 255) {
    return std::nullopt;
  }
  return QVariantMap{{QStringLiteral("SerOfEth"), QStringLiteral("SE ")},
                     {QStringLiteral("begcom"), first},
                     {QStringLiteral("endcom"), last}};
}

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

namespace {

// Our "--" options among `arguments`, in order, each with its value; `unknown` gets the first
// "--" argument that is not ours, and stays as it was when all are.
QList<GivenOption> OptionsOf(const QStringList& arguments, QString* unknown) {
  QList<GivenOption> options;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (!argument.startsWith(QStringLiteral("--"))) continue;
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    GivenOption given{equals > 0 ? argument.left(equals) : argument, std::nullopt};
    const ProgramOption* option = FindProgramOption(given.name);
    if (!option) {
      if (unknown->isEmpty()) *unknown = given.name;
      continue;
    }
    if (equals > 0) {
      given.value = argument.mid(equals + 1);
    } else if (option->takes_value && i + 1 < arguments.size()) {
      given.value = arguments[++i];
    }
    options << given;
  }
  return options;
}

}  // namespace

QString ProgramOptionValue(const QStringList& arguments, QStringView name) {
  QString unknown;
  QString value;
  for (const GivenOption& option : OptionsOf(arguments, &unknown)) {
    if (option.name == name) value = option.value.value_or(QString());
  }
  return value;
}

std::optional<QString> LanguageOption(const QStringList& arguments) {
  QString unknown;
  std::optional<QString> letter;
  for (const GivenOption& option : OptionsOf(arguments, &unknown)) {
    if (option.name == QStringLiteral("--language")) letter = LanguageLetterOf(option.value);
  }
  return letter;
}

std::optional<QString> InnerSwitchText(const QString& switch_text) {
  if (switch_text.isEmpty()) return std::nullopt;
  const QChar quote = QLatin1Char('"');
  if (switch_text.startsWith(quote) && switch_text.endsWith(quote)) {
    return switch_text.mid(1, switch_text.size() - 2);
  }
  return switch_text;
}

QString UnknownOption(const QStringList& arguments) {
  QString unknown;
  OptionsOf(arguments, &unknown);
  return unknown;
}

std::variant<QList<GivenOption>, QString> GivenOptions(const QStringList& arguments) {
  QString unknown;
  QList<GivenOption> options = OptionsOf(arguments, &unknown);
  // A mistyped option ("--tick 5") would otherwise be taken for something else, or nothing.
  if (!unknown.isEmpty()) return FilledIn(EnglishText(TextKey::kUnknownOption), {unknown});
  return options;
}

std::variant<QVariantMap, QString> SettingsChanges(const QList<GivenOption>& options) {
  QVariantMap changes;
  for (const GivenOption& option : options) {
    if (option.name == QStringLiteral("--language")) {
      const std::optional<QString> letter = LanguageLetterOf(option.value);
      if (!letter) return QStringLiteral("--language needs one of N F D B P S I O E");
      changes[QStringLiteral("laatstetaal")] = *letter;
    } else if (option.name == QStringLiteral("--serial-ports")) {
      const std::optional<QVariantMap> fields = SerialPortFields(option.value);
      if (!fields) {
        return QStringLiteral("--serial-ports needs FIRST-LAST (port numbers 1 to 255) or none");
      }
      changes.insert(*fields);
    }
  }
  return changes;
}

}  // namespace orva
