#include "link/answer_rules.h"
#include "link/comm_log.h"
#include "link/link.h"
#include "link/result_codes.h"

#include <algorithm>

namespace orva {
namespace {

constexpr double kResyncTimeout = 2.0;
// Resynchronisation cuts up to a "#" only past the echo's header.
constexpr int kFirstCut = 5;

}  // namespace

double Link::Remaining(double deadline) const {
  return std::max(0.0, deadline - ports_.clock.Now());
}

void Link::Log(const QString& kind, const QByteArray& data) {
  context_.comm_log.LogRow(kind, data);
}

QByteArray Link::ReadAvailable(double wait_seconds) {
  Transport& transport = ActiveTransport();
  QByteArray bytes = transport.ReadAvailable(wait_seconds);
  if (!transport.IsOpen()) LinkErrorCleanup(kPortNotOpen);
  return bytes;
}

QByteArray Link::SendAndReceive(Command command, Direction direction, quint8 parameter1,
                                quint8 parameter2, int& count, const QByteArray& data, int attempts,
                                quint8 function_id) {
  last_command_ = Code(command);
  if (connected_ == 0 && command != Command::kVersion && command != Command::kCancelProgramming) {
    return ResultByte(kPortNotOpen);
  }
  attempts = std::max(attempts, 1);
  const CommandRequest request{
      Code(command), direction == Direction::kWrite, parameter1, parameter2, count, data};
  const std::optional<FramedCommand> framed = FrameCommand(request);
  if (!framed) return ResultByte(kInvalidDataLength);
  count = framed->count;
  const std::optional<QByteArray> packet = framing_.Packet(framed->frame, function_id);
  QByteArray result;
  int repeats = 0;
  while (attempts > 0) {
    Attempt attempt = RunAttempt(*framed, packet);
    if (attempt.outcome == Evaluation::Outcome::kRepeat && ++repeats > kMaxRepeats) {
      attempt = {Evaluation::Outcome::kFailAttempt, ResultByte(kEchoError)};
    }
    switch (attempt.outcome) {
      case Evaluation::Outcome::kRepeat:
        break;
      case Evaluation::Outcome::kFailAttempt:
        result = std::move(attempt.result);
        repeats = 0;
        --attempts;
        break;
      default:
        return attempt.result;
    }
  }
  return result;
}

Link::Attempt Link::RunAttempt(const FramedCommand& command,
                               const std::optional<QByteArray>& packet) {
  ReadAvailable(0);
  if (std::optional<QByteArray> failure = SendFrame(packet)) {
    return {Evaluation::Outcome::kFinish, *std::move(failure)};
  }
  Log(QStringLiteral("TX"), command.frame);
  int expected = ExpectedLength(command.code, command.write, command.count, command.ext);
  QByteArray buffer;
  if (std::optional<QByteArray> error = Receive(command, buffer, expected)) {
    return {Evaluation::Outcome::kFinish, *std::move(error)};
  }
  Log(QStringLiteral("rx"), buffer);
  Evaluation evaluation = EvaluateBuffer(buffer, command, expected);
  if (evaluation.outcome == Evaluation::Outcome::kResync) {
    Resynchronise(buffer, command, expected, evaluation);
    evaluation = AfterResync(buffer, command, evaluation);
  }
  return {evaluation.outcome, evaluation.result};
}

std::optional<QByteArray> Link::SendFrame(const std::optional<QByteArray>& packet) {
  Transport& transport = ActiveTransport();
  if (!packet) return ResultByte(kTcpPacketTooLong);
  // A closed transport takes nothing, whichever the medium.
  if (!transport.Send(*packet)) {
    if (!transport.IsOpen()) LinkErrorCleanup(kPortNotOpen);
    return ResultByte(kPortNotOpen);
  }
  return std::nullopt;
}

std::optional<QByteArray> Link::Receive(const FramedCommand& command, QByteArray& buffer,
                                        int& expected) {
  using State = ReceiveInspection::State;
  const double deadline = ports_.clock.Now() + AnswerTimeout(command.code);
  QByteArray last_incomplete;
  do {
    buffer.append(ReadAvailable(Remaining(deadline)));
    const ReceiveInspection inspection = InspectReceived(buffer, command, framing_.tcp());
    switch (inspection.state) {
      case State::kWaiting:
        buffer.remove(0, inspection.drop);
        break;
      case State::kAccepted:
        if (inspection.log_dropped) Log(QStringLiteral("rxE"), buffer.left(inspection.drop));
        buffer.remove(0, inspection.drop);
        expected = RecalculatedLength(command.code, command.write, buffer).value_or(expected);
        break;
      case State::kErrorAnswer:
        Log(QStringLiteral("rxD"), inspection.error_data);
        return ResultByte(inspection.status);
      case State::kErrorIncomplete:
        // One row per new piece, not one per wake-up.
        if (inspection.error_data != last_incomplete) {
          Log(QStringLiteral("rxD"), inspection.error_data);
          last_incomplete = inspection.error_data;
        }
        break;
    }
  } while (AnswerBytesReceived(buffer, framing_.tcp()) < expected && Remaining(deadline) > 0 &&
           ActiveTransport().IsOpen());
  // An answer that came whole still has its envelope in front where the echo followed it at
  // once; in pieces the envelope went as soon as it was complete. Both are judged alike.
  const int envelope = EnvelopeInFront(buffer, framing_.tcp());
  if (buffer.size() > envelope) buffer.remove(0, envelope);
  return std::nullopt;
}

void Link::Resynchronise(QByteArray& buffer, const FramedCommand& command, int expected,
                         const Evaluation& evaluation) {
  const double deadline = ports_.clock.Now() + kResyncTimeout;
  int cut = ResyncCut(buffer);
  bool stalled = false;
  while (Remaining(deadline) > 0 || cut >= kFirstCut) {
    const QByteArray before = buffer;
    if (cut >= kFirstCut && buffer.size() >= cut) {
      Log(evaluation.drop_tag, buffer.left(cut - 1));
      buffer.remove(0, cut - 1);
    }
    // Without new bytes another pass would change nothing: wait for them instead.
    if (stalled) buffer.append(ReadAvailable(Remaining(deadline)));
    while (buffer.size() < expected && Remaining(deadline) > 0 && ActiveTransport().IsOpen()) {
      buffer.append(ReadAvailable(Remaining(deadline)));
    }
    if (buffer.size() > framing_.envelope_length()) buffer.remove(0, framing_.envelope_length());
    Log(evaluation.buffer_tag, buffer);
    if (StartsWithEcho(buffer, command.echo)) return;
    cut = ResyncCut(buffer);
    if (cut > buffer.size()) {
      buffer.clear();
      cut = 0;
    }
    stalled = buffer == before;
    if (stalled && !ActiveTransport().IsOpen()) return;
  }
}

}  // namespace orva
