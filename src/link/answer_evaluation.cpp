#include "link/answer_evaluation.h"

#include "link/answer_rules.h"
#include "link/result_codes.h"

namespace orva {
namespace {

// The prefix an answer over TCP carries anyway; only longer junk is logged.
constexpr int kSilentPrefix = 12;

QByteArray Success(const QByteArray& payload) { return QByteArray(1, '\0') + payload; }

Evaluation Verdict(Evaluation::Outcome outcome, QByteArray result) {
  Evaluation evaluation;
  evaluation.outcome = outcome;
  evaluation.result = std::move(result);
  return evaluation;
}

Evaluation Resync(const char* drop_tag, const char* buffer_tag, bool accept_short_answer) {
  Evaluation evaluation;
  evaluation.outcome = Evaluation::Outcome::kResync;
  evaluation.drop_tag = QLatin1String(drop_tag);
  evaluation.buffer_tag = QLatin1String(buffer_tag);
  evaluation.accept_short_answer = accept_short_answer;
  return evaluation;
}

bool HasTerminatorAt(const QByteArray& bytes, int position) {
  return ByteAt(bytes, position) == static_cast<quint8>(kFrameEnd);
}

Evaluation ExactLength(const QByteArray& buffer, const FramedCommand& command, int expected) {
  using Outcome = Evaluation::Outcome;
  const int ext = command.ext;
  if (!command.write) {
    return Verdict(Outcome::kFinish,
                   Success(ReadPayload(command.code, buffer, command.count, ext, expected)));
  }
  if (IsModuleMemory(command.code)) {
    return Verdict(Outcome::kFinish, Success(BytesFrom(buffer, 8, command.count + 20)));
  }
  const quint8 status = ByteAt(buffer, StatusPosition(ext)).value_or(kReceiveTimeout);
  return Verdict(status == 0 ? Outcome::kFinish : Outcome::kFailAttempt, ResultByte(status));
}

Evaluation LongerThanExpected(const QByteArray& buffer, const FramedCommand& command,
                              int expected) {
  using Outcome = Evaluation::Outcome;
  const int ext = command.ext;
  const QByteArray terminated = Success(QByteArray(1, kFrameEnd));
  if (command.write && (command.code == 36 || command.code == 37)) {
    if (HasTerminatorAt(buffer, ext + expected)) return Verdict(Outcome::kFinish, terminated);
    return Verdict(Outcome::kRepeat, {});
  }
  if (command.write) {
    if (HasTerminatorAt(buffer, ext + expected - 1)) return Verdict(Outcome::kFinish, terminated);
    return Verdict(Outcome::kFinish, ResultByte(kWrongEnd));
  }
  const int count = command.code == 47 ? -1 : command.count;
  if (HasTerminatorAt(buffer, ReadTerminatorPosition(command.code, count, ext, expected))) {
    return Verdict(Outcome::kFinish,
                   Success(ReadPayload(command.code, buffer, count, ext, expected)));
  }
  return Verdict(Outcome::kFinish, ResultByte(kWrongEnd));
}

Evaluation ShorterThanExpected(const QByteArray& buffer, const FramedCommand& command) {
  using Outcome = Evaluation::Outcome;
  const int ext = command.ext;
  const std::optional<quint8> status = ByteAt(buffer, StatusPosition(ext));
  if (!status || *status == static_cast<quint8>(kFrameEnd)) {
    return Verdict(Outcome::kFailAttempt, ResultByte(kReceiveTimeout));
  }
  if (*status != 0) return Verdict(Outcome::kFinish, ResultByte(*status));
  return Verdict(Outcome::kFailAttempt,
                 ResultByte(kReceiveTimeout) + BytesFrom(buffer, StatusPosition(ext) + 1));
}

}  // namespace

int FindEcho(const QByteArray& buffer, const QByteArray& echo) {
  return static_cast<int>(buffer.indexOf(echo));
}

bool StartsWithEcho(const QByteArray& buffer, const QByteArray& echo) {
  return buffer.startsWith(echo);
}

ReceiveInspection InspectReceived(const QByteArray& buffer, const FramedCommand& command,
                                  bool tcp) {
  using State = ReceiveInspection::State;
  ReceiveInspection inspection;
  const int index = FindEcho(buffer, command.echo);
  if (index < 0) {
    if (tcp && buffer.size() > kEnvelopeLength) inspection.drop = kEnvelopeLength;
    return inspection;
  }
  const int echo_position = index + 1;
  const int terminator_position = echo_position + ErrorTerminatorOffset(command.code) + command.ext;
  if (buffer.size() < terminator_position) return inspection;
  const int ext = command.ext;
  inspection.status = static_cast<quint8>(buffer.at(index + 5 + ext));
  if (inspection.status == 0) {
    inspection.state = State::kAccepted;
    inspection.drop = index;
    inspection.log_dropped = index > kSilentPrefix;
    return inspection;
  }
  if (command.code == 0 || command.code == 54 || HasTerminatorAt(buffer, terminator_position)) {
    inspection.state = State::kErrorAnswer;
    inspection.error_data = BytesFrom(buffer, echo_position + ext);
    return inspection;
  }
  inspection.state = State::kErrorIncomplete;
  inspection.error_data = buffer;
  return inspection;
}

int EnvelopeInFront(const QByteArray& buffer, bool tcp) {
  return tcp && buffer.startsWith(QByteArrayView("ORVA")) ? kEnvelopeLength : 0;
}

int AnswerBytesReceived(const QByteArray& buffer, bool tcp) {
  return static_cast<int>(buffer.size()) - EnvelopeInFront(buffer, tcp);
}

Evaluation EvaluateBuffer(const QByteArray& buffer, const FramedCommand& command, int expected) {
  using Outcome = Evaluation::Outcome;
  if (buffer.isEmpty()) return Verdict(Outcome::kFailAttempt, ResultByte(kReceiveTimeout));
  const bool echo_first = StartsWithEcho(buffer, command.echo);
  if (buffer.size() == expected) {
    if (echo_first) return ExactLength(buffer, command, expected);
    return Resync("rxG", "rxC", false);
  }
  if (!echo_first) return Resync("rxF", "rxB", true);
  if (buffer.size() > expected) return LongerThanExpected(buffer, command, expected);
  return ShorterThanExpected(buffer, command);
}

Evaluation AfterResync(const QByteArray& buffer, const FramedCommand& command,
                       const Evaluation& resync) {
  using Outcome = Evaluation::Outcome;
  if (StartsWithEcho(buffer, command.echo)) return Verdict(Outcome::kRepeat, {});
  if (resync.accept_short_answer && buffer.size() >= 4 && buffer.at(0) == kFrameStart &&
      buffer.at(3) == kFrameEnd) {
    return Verdict(Outcome::kRepeat, {});
  }
  return Verdict(Outcome::kFailAttempt, ResultByte(kEchoError));
}

int ResyncCut(const QByteArray& buffer) {
  const int index = static_cast<int>(buffer.indexOf(kFrameEnd, 4));
  return index < 0 ? 1 : index + 2;
}

}  // namespace orva
