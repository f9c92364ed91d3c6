#include "faults.h"

#include <QStringList>

#include "controller.h"

namespace orva::sim {
namespace {

constexpr char kJunkByte = '\xA5';
constexpr char kWrongTerminator = '!';
constexpr int kLargestNumber = 1000000;

bool ParseSwitch(const QString& value, bool* on) {
  const QString v = value.trimmed().toLower();
  if (v.isEmpty() || v == QLatin1String("on") || v == QLatin1String("1") ||
      v == QLatin1String("true")) {
    *on = true;
    return true;
  }
  if (v == QLatin1String("off") || v == QLatin1String("0") || v == QLatin1String("false")) {
    *on = false;
    return true;
  }
  return false;
}

int* NumberField(const QString& name, Faults* faults) {
  if (name == QLatin1String("latency")) return &faults->latency_ms;
  if (name == QLatin1String("split")) return &faults->split_pieces;
  if (name == QLatin1String("split-delay")) return &faults->split_delay_ms;
  if (name == QLatin1String("junk")) return &faults->junk_bytes;
  if (name == QLatin1String("error-status")) return &faults->error_status;
  if (name == QLatin1String("drop-after")) return &faults->drop_after;
  if (name == QLatin1String("fault-command")) return &faults->only_command;
  return nullptr;
}

bool* SwitchField(const QString& name, Faults* faults) {
  if (name == QLatin1String("silent")) return &faults->silent;
  if (name == QLatin1String("wrong-terminator")) return &faults->wrong_terminator;
  if (name == QLatin1String("echo-error-version")) return &faults->echo_error_version;
  if (name == QLatin1String("wrong-greeting")) return &faults->wrong_greeting;
  return nullptr;
}

bool ApplyNumber(const QString& name, const QString& value, int* field, QString* error) {
  bool ok = false;
  const int number = value.trimmed().toInt(&ok);
  const int low = name == QLatin1String("fault-command") ? -1 : 0;
  const int high = name == QLatin1String("error-status") || name == QLatin1String("fault-command")
                       ? 255
                       : kLargestNumber;
  if (!ok || number < low || number > high) {
    *error = QStringLiteral("%1 needs a whole number from %2 to %3").arg(name).arg(low).arg(high);
    return false;
  }
  *field = number;
  return true;
}

}  // namespace

const QList<FaultSetting>& FaultSettings() {
  static const QList<FaultSetting> settings = {
      {"latency", FaultKind::kNumber, "Delay every answer by <ms> milliseconds."},
      {"split", FaultKind::kNumber, "Send every answer in <n> pieces."},
      {"split-delay", FaultKind::kNumber, "Milliseconds between two pieces (default 20)."},
      {"junk", FaultKind::kNumber, "Put <n> junk bytes (0xA5) in front of every echo."},
      {"silent", FaultKind::kSwitch, "Answer no command at all."},
      {"wrong-terminator", FaultKind::kSwitch, "End answers with \"!\" instead of \"#\"."},
      {"error-status", FaultKind::kNumber, "Answer every command with this error status."},
      {"drop-after", FaultKind::kNumber, "Hang up a TCP connection after <n> answers."},
      {"fault-command", FaultKind::kNumber,
       "Apply the answer faults above to this command only (-1: all)."},
      {"echo-error-version", FaultKind::kSwitch,
       "Answer the next version query (command 7) with a wrong echo."},
      {"wrong-greeting", FaultKind::kSwitch, "Greet logins without the welcome text."},
      {"greeting", FaultKind::kText, "Greet logins with this text, as is."},
  };
  return settings;
}

bool ApplyFault(const QString& name, const QString& value, Faults* faults, QString* error) {
  if (name == QLatin1String("clear")) {
    *faults = Faults{};
    return true;
  }
  if (name == QLatin1String("greeting")) {
    faults->greeting = value.toLatin1();
    return true;
  }
  if (int* field = NumberField(name, faults)) return ApplyNumber(name, value, field, error);
  if (bool* field = SwitchField(name, faults)) {
    if (ParseSwitch(value, field)) return true;
    *error = name + QStringLiteral(" needs on or off");
    return false;
  }
  *error = QStringLiteral("unknown fault ") + name;
  return false;
}

QString HandleControlLine(const QString& line, Faults* faults) {
  const QString trimmed = line.trimmed();
  const QStringList words = trimmed.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  if (words.size() < 2 || words[0] != QLatin1String("fault")) {
    return QStringLiteral("error: expected \"fault NAME [VALUE]\"");
  }
  // The value is the rest of the line, so that a greeting may hold blanks.
  const int value_start = trimmed.indexOf(words[1], words[0].size()) + words[1].size();
  const QString value = trimmed.mid(value_start).trimmed();
  QString error;
  if (!ApplyFault(words[1], value, faults, &error)) return QStringLiteral("error: ") + error;
  return value.isEmpty() ? QStringLiteral("fault ") + words[1]
                         : QStringLiteral("fault %1 %2").arg(words[1], value);
}

AnswerPlan PlanAnswer(const Faults& faults, const Request& request, const QByteArray& answer) {
  AnswerPlan plan;
  plan.bytes = answer;
  if (faults.echo_error_version && request.command == kVersionCommand && plan.bytes.size() > 2) {
    plan.bytes[2] = static_cast<char>(plan.bytes[2] ^ 0xFF);
    plan.garbled_echo = true;
  }
  if (!faults.Hits(request.command)) return plan;
  plan.silent = faults.silent;
  if (faults.error_status != 0) {
    plan.bytes = ErrorAnswer(request, static_cast<quint8>(faults.error_status));
  }
  if (faults.wrong_terminator && !plan.bytes.isEmpty()) plan.bytes.back() = kWrongTerminator;
  plan.bytes.prepend(QByteArray(faults.junk_bytes, kJunkByte));
  plan.latency_ms = faults.latency_ms;
  plan.pieces = qMax(1, faults.split_pieces);
  plan.gap_ms = faults.split_delay_ms;
  return plan;
}

QList<QByteArray> SplitIntoPieces(const QByteArray& bytes, int pieces) {
  pieces = qBound(1, pieces, qMax<int>(1, bytes.size()));
  QList<QByteArray> parts;
  int start = 0;
  for (int i = 0; i < pieces; ++i) {
    const int end = static_cast<int>((static_cast<qint64>(bytes.size()) * (i + 1)) / pieces);
    parts.append(bytes.mid(start, end - start));
    start = end;
  }
  return parts;
}

QByteArray FaultedGreeting(const Faults& faults, const QByteArray& greeting) {
  if (!faults.greeting.isEmpty()) return faults.greeting;
  if (faults.wrong_greeting)
    return QByteArray("Welcome to the ORVA gateway").leftJustified(28, '.');
  return greeting;
}

}  // namespace orva::sim
