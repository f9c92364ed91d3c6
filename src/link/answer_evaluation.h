#pragma once

#include "link/frame.h"

#include <QByteArray>
#include <QString>

namespace orva {

// What the receive loop makes of its buffer after each read.
struct ReceiveInspection {
  enum class State {
    kWaiting,          // no complete echo and status yet
    kAccepted,         // echo with status 0: keep reading up to E
    kErrorAnswer,      // a complete error answer: the transaction ends with its status
    kErrorIncomplete,  // an error status whose terminator has not arrived yet
  };
  State state = State::kWaiting;
  // Bytes to cut from the front: a TCP envelope while no echo is found, or whatever precedes an
  // accepted echo.
  int drop = 0;
  // The dropped bytes deserve an "rxE" row: too many for a mere envelope.
  bool log_dropped = false;
  quint8 status = 0;
  // The bytes of the "rxD" row for an error answer.
  QByteArray error_data;
};

// Index of the first occurrence of the echo, or -1.
int FindEcho(const QByteArray& buffer, const QByteArray& echo);
bool StartsWithEcho(const QByteArray& buffer, const QByteArray& echo);

ReceiveInspection InspectReceived(const QByteArray& buffer, const FramedCommand& command, bool tcp);

// The bytes of the answer received so far. Over TCP the envelope stays in front of the answer
// until the echo's status has come, and TCP may cut anywhere: its bytes say nothing about the
// answer and must not count towards the expected length, or an answer cut just behind its echo
// would be judged on what has come so far.
int AnswerBytesReceived(const QByteArray& buffer, bool tcp);
// The length of the envelope when it is still in front of the buffer, else 0.
int EnvelopeInFront(const QByteArray& buffer, bool tcp);

// The verdict on a buffer once the receive loop has ended.
struct Evaluation {
  enum class Outcome {
    kFinish,       // the result is final
    kFailAttempt,  // this attempt counts; the result stands if it was the last
    kRepeat,       // send again without using up an attempt
    kResync,       // line up with the answer first, then judge with AfterResync
  };
  Outcome outcome = Outcome::kFinish;
  QByteArray result;
  // Only for kResync: the log tags of the bytes dropped and of the buffer after each read.
  QString drop_tag;
  QString buffer_tag;
  // Only for kResync: a four-byte answer after resynchronising is worth another try.
  bool accept_short_answer = false;
};

Evaluation EvaluateBuffer(const QByteArray& buffer, const FramedCommand& command, int expected);
// The verdict after resynchronising, from the evaluation that asked for it.
Evaluation AfterResync(const QByteArray& buffer, const FramedCommand& command,
                       const Evaluation& resync);

// Where resynchronisation cuts: one past the first "#" at or after position 5, 1-based; 1 when
// there is none.
int ResyncCut(const QByteArray& buffer);

}  // namespace orva
