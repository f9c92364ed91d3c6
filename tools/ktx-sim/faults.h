#pragma once

// Misbehaviour on request: each fault is a named setting that the command line
// (--NAME [VALUE]) and a line on stdin ("fault NAME VALUE") change alike.

#include <QByteArray>
#include <QList>
#include <QString>

#include "frames.h"

namespace orva::sim {

struct Faults {
  int latency_ms = 0;               // before an answer leaves
  int split_pieces = 1;             // answer sent in this many pieces
  int split_delay_ms = 20;          // between two pieces
  int junk_bytes = 0;               // in front of the echo
  bool silent = false;              // no answer at all
  bool wrong_terminator = false;    // last byte of the answer not "#"
  int error_status = 0;             // non-zero: every answer is an error answer with it
  int drop_after = 0;               // non-zero: hang up after this many answers (per connection)
  bool echo_error_version = false;  // the next version query gets an answer with a wrong echo
  bool wrong_greeting = false;      // the login is answered without the welcome text
  QByteArray greeting;              // non-empty: sent instead of the greeting, as is
  int only_command = -1;            // >= 0: the answer faults hit only this command

  bool Hits(int command) const { return only_command < 0 || command == only_command; }
};

enum class FaultKind { kNumber, kSwitch, kText };

struct FaultSetting {
  const char* name;
  FaultKind kind;
  const char* help;
};

// Every setting, in the order --help lists them ("clear" resets all and is not listed).
const QList<FaultSetting>& FaultSettings();

// Applies one setting; false with a message for an unknown name or a bad value. A switch
// takes on/off/1/0/true/false and an empty value as "on".
bool ApplyFault(const QString& name, const QString& value, Faults* faults, QString* error);

// Handles a control line "fault NAME [VALUE]"; returns the line to acknowledge it with
// ("fault NAME VALUE" or "error: ...").
QString HandleControlLine(const QString& line, Faults* faults);

// How one answer goes out after the faults have had their say.
struct AnswerPlan {
  bool silent = false;
  QByteArray bytes;  // without envelope
  int latency_ms = 0;
  int pieces = 1;
  int gap_ms = 0;
  bool garbled_echo = false;  // the one-shot echo error was used up
};

AnswerPlan PlanAnswer(const Faults& faults, const Request& request, const QByteArray& answer);

// Splits into `pieces` parts of nearly equal size, none empty.
QList<QByteArray> SplitIntoPieces(const QByteArray& bytes, int pieces);

// The greeting the faults leave of the normal one.
QByteArray FaultedGreeting(const Faults& faults, const QByteArray& greeting);

}  // namespace orva::sim
