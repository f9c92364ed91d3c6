// libFuzzer target for the link's handling of controller answers: whatever bytes arrive, in
// whatever pieces and at whatever times, SendAndReceive must end in a result code, within the
// sends its attempts and repeats allow and the time its time-outs allow. The same bytes also go
// straight through the pure steps (inspection, evaluation, resynchronisation cuts).
//
// Input layout:
//   byte 0  which command (an entry of kCases)
//   byte 1  bits 0-1: attempts (0 to 3); bit 2: over TCP, else serial; bit 3: the controller
//           hangs up once the answer to the first send is delivered
//   then pieces, each: a flags byte, a length byte, that many bytes. Flags bits 0-5: delay after
//   the send in tenths of a second; bit 6: the piece opens the answer to the next send; bit 7:
//   the command's echo goes in front of the bytes. Over TCP every answer starts with the
//   controller's 12-byte envelope. Answers are used in turn for each send, round and round.
//
// With bit 4 of byte 1 set, the input is one well-formed answer instead, cut at points the
// fuzzer chooses: byte 2 bits 0-1 give the number of cuts (1 to 4), the next bytes their
// positions (modulo the answer's length on the wire), and the rest the answer's bytes behind
// the echo, made a well-formed answer (see WellFormedAnswer). The answer in pieces must give the
// same result as the answer in one piece.
#include "link/answer_evaluation.h"
#include "link/answer_rules.h"
#include "link/frame.h"
#include "link/link.h"
#include "link_harness.h"
#include "scripted_transport.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <vector>

namespace orva {
namespace {

using test::ScriptedLink;
using test::ScriptedTransport;

struct Case {
  int code;
  bool write;
  quint8 parameter1;
  int count;
  QByteArray data;
};

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray bytes;
  for (const int value : values) bytes.append(static_cast<char>(value));
  return bytes;
}

// One command of each kind the answer rules tell apart.
const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {40, false, 2, 16, Bytes({0x16, 0x00, 0x12})},  // module memory read
      {40, true, 2, 16, Bytes({0x16, 0x00, 0x12}) + QByteArray(16, '\x5A')},
      {56, false, 12, 1, {}},                // output status, length byte in the answer
      {56, true, 12, 2, Bytes({1, 7, 9})},   // status write: a header byte in the echo
      {7, false, 0, 0, {}},                  // version
      {0, true, 0, 3, Bytes({3, 1, 2, 3})},  // SERVICE
      {36, true, 1, 2, Bytes({1, 2})},       // repeated until its terminator fits
      {47, false, 1, 4, {}},
      {54, false, 1, 2, {}},
      {12, false, 1, 3, {}},
      {14, false, 0, 0, {}},
      {17, false, 1, 1, {}},
      {61, false, 1, 2, {}},
      {1, true, 1, 2, Bytes({4, 5})},  // plain write: status only
  };
  return cases;
}

CommandRequest ToCommand(const Case& c) {
  return {c.code, c.write, c.parameter1, 0, c.count, c.data};
}

// LINK_FUZZ_TRACE=1 prints every transaction's result, to look at an artifact or a seed.
bool Tracing() {
  static const bool tracing = qEnvironmentVariableIntValue("LINK_FUZZ_TRACE") != 0;
  return tracing;
}

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "link_answer_fuzz: %s\n", what);
  std::abort();
}

// The resynchronisation cuts as the link makes them without new bytes: every cut must shorten
// the buffer, so the cutting ends.
QByteArray CutToEcho(QByteArray buffer) {
  constexpr int kFirstCut = 5;
  int cut = ResyncCut(buffer);
  while (true) {
    Require(cut >= 1 && cut <= buffer.size() + 1, "resync cut outside the buffer");
    if (cut < kFirstCut || buffer.size() < cut) return buffer;
    buffer.remove(0, cut - 1);
    cut = ResyncCut(buffer);
  }
}

void CheckPureSteps(const QByteArray& buffer, const FramedCommand& command, bool tcp) {
  using Outcome = Evaluation::Outcome;
  const ReceiveInspection inspection = InspectReceived(buffer, command, tcp);
  Require(inspection.drop >= 0 && inspection.drop <= buffer.size(), "drop beyond the buffer");
  if (inspection.state == ReceiveInspection::State::kErrorAnswer) {
    Require(inspection.status != 0, "an error answer with status 0");
  }
  const int expected = ExpectedLength(command.code, command.write, command.count, command.ext);
  const int recalculated =
      RecalculatedLength(command.code, command.write, buffer).value_or(expected);
  for (const int length : {expected, recalculated, static_cast<int>(buffer.size())}) {
    Evaluation evaluation = EvaluateBuffer(buffer, command, length);
    if (evaluation.outcome == Outcome::kResync) {
      evaluation = AfterResync(CutToEcho(buffer), command, evaluation);
      Require(evaluation.outcome != Outcome::kResync, "resync asked for twice");
    }
    if (evaluation.outcome == Outcome::kFinish || evaluation.outcome == Outcome::kFailAttempt) {
      Require(!evaluation.result.isEmpty(), "a verdict without a result code");
    }
  }
}

struct Script {
  std::vector<ScriptedTransport::Reply> replies;
};

Script ParseScript(const QByteArray& bytes, const QByteArray& echo, bool tcp) {
  Script script;
  int i = 0;
  while (i + 2 <= bytes.size()) {
    const auto flags = static_cast<quint8>(bytes.at(i));
    const auto length = static_cast<quint8>(bytes.at(i + 1));
    i += 2;
    QByteArray piece = bytes.mid(i, length);
    i += length;
    if ((flags & 0x80) != 0) piece.prepend(echo);
    if ((flags & 0x40) != 0 || script.replies.empty()) script.replies.emplace_back();
    script.replies.back().push_back({(flags & 0x3F) / 10.0, piece});
  }
  if (tcp) {
    for (ScriptedTransport::Reply& reply : script.replies) {
      QByteArray whole;
      for (const ScriptedTransport::Piece& piece : reply) whole += piece.bytes;
      reply.front().bytes.prepend(test::AnswerEnvelope(whole));
    }
  }
  return script;
}

// One link per medium, kept across inputs: a fresh program folder per input would cost more
// than the transaction. The link logs nothing: a log row per frame is an SQLite insert, two
// thirds of the time an input took, and the log's writing is the unit tests' business; the
// answer handling is what this target is about.
ScriptedLink& LinkFor(bool tcp) {
  static std::unique_ptr<ScriptedLink> serial_link;
  static std::unique_ptr<ScriptedLink> tcp_link;
  std::unique_ptr<ScriptedLink>& link = tcp ? tcp_link : serial_link;
  if (!link) {
    link = std::make_unique<ScriptedLink>();
    link->comm_log.set_enabled(false);
  }
  return *link;
}

ScriptedTransport& PortOf(ScriptedLink& link, bool tcp) { return tcp ? link.tcp : link.serial; }

// The harness keeps every caption, message and question the link showed and every target it
// opened, for tests to look at; across millions of inputs that would be the only thing growing.
void ForgetWhatWasShown(ScriptedLink& link) {
  link.captions.clear();
  link.prompter.messages.clear();
  link.prompter.questions.clear();
  link.tcp.ForgetOpened();
  link.serial.ForgetOpened();
}

void Connect(ScriptedLink& link, bool tcp) {
  if (link.link->connected() != 0 && PortOf(link, tcp).IsOpen()) return;
  if (tcp) {
    link.ConnectTcp();
  } else {
    link.ConnectSerial();
  }
  Require(link.link->connected() != 0, "the scripted controller cannot be connected");
}

// Takes every piece still on its way, so that nothing of this input reaches the next one. Each
// read takes at least the earliest piece, and one more read on an empty line lets a scripted
// hang-up happen. A port that closed on the way is closed for good and reconnected by the next
// input.
void Drain(ScriptedTransport& port, int pieces_given) {
  constexpr double kLongWait = 100.0;
  for (int i = 0; i <= pieces_given + 1 && port.IsOpen(); ++i) port.ReadAvailable(kLongWait);
  if (!port.IsOpen()) port.Close();
}

void RunTransaction(const Case& c, const FramedCommand& command, quint8 mode,
                    const QByteArray& bytes) {
  const int attempts = mode & 0x03;
  const bool tcp = (mode & 0x04) != 0;
  const bool hang_up = (mode & 0x08) != 0;
  ScriptedLink& link = LinkFor(tcp);
  ScriptedTransport& port = PortOf(link, tcp);
  Connect(link, tcp);

  const Script script = ParseScript(bytes, command.echo, tcp);
  std::size_t next = 0;
  int pieces_given = 0;
  port.ForgetTraffic();
  port.SetResponder([&script, &next, &pieces_given](const QByteArray&) {
    if (script.replies.empty()) return ScriptedTransport::Reply{};
    const ScriptedTransport::Reply& reply = script.replies[next++ % script.replies.size()];
    pieces_given += static_cast<int>(reply.size());
    return reply;
  });
  if (hang_up) port.DropAfterNextReply();

  const double start = link.clock.Now();
  int count = c.count;
  const QByteArray result = link.link->SendAndReceive(
      static_cast<Command>(c.code), c.write ? Direction::kWrite : Direction::kRead, c.parameter1, 0,
      count, c.data, attempts);
  const double elapsed = link.clock.Now() - start;
  port.SetResponder({});

  if (Tracing()) {
    std::fprintf(stderr, "command %d%s, %s, attempts %d: result %s after %zu sends, %.1f s\n",
                 c.code, c.write ? "W" : "R", tcp ? "TCP" : "serial", attempts,
                 result.toHex(' ').constData(), port.sent().size(), elapsed);
  }
  Require(!result.isEmpty(), "a transaction without a result code");
  const int tries = std::max(attempts, 1) * (Link::kMaxRepeats + 1);
  Require(static_cast<int>(port.sent().size()) <= tries, "more sends than attempts and repeats");
  // Each send waits for its answer and may then resynchronise for up to 2 s.
  Require(elapsed <= tries * (AnswerTimeout(c.code) + 2.0) + 1e-6, "the transaction overran");

  Drain(port, pieces_given);
}

// The answer to `command` made of `bytes`: the echo and its status, then either, with status 0,
// the bytes fitted to the length the answer rules expect (from the answer's length byte where
// it has one), or an error answer's bytes up to its terminator.
QByteArray WellFormedAnswer(const FramedCommand& command, const QByteArray& bytes) {
  QByteArray answer = command.echo + (bytes.isEmpty() ? QByteArray(1, '\0') : bytes);
  if (answer.at(command.echo.size()) != 0) {
    const int terminator = ErrorTerminatorOffset(command.code) + command.ext;
    return answer.leftJustified(terminator, 'x', true) + kFrameEnd;
  }
  const int expected = ExpectedLength(command.code, command.write, command.count, command.ext);
  const int length =
      RecalculatedLength(command.code, command.write, answer.leftJustified(expected, '#'))
          .value_or(expected);
  return answer.leftJustified(length, '#', true);
}

// `wire` cut at `positions`, the pieces close enough together to beat the time-out.
ScriptedTransport::Reply CutAt(const QByteArray& wire, std::vector<int> positions, double timeout) {
  positions.push_back(static_cast<int>(wire.size()));
  std::sort(positions.begin(), positions.end());
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
  const double gap = std::min(0.5, (timeout - 0.5) / static_cast<double>(positions.size()));
  ScriptedTransport::Reply reply;
  int start = 0;
  for (const int end : positions) {
    reply.push_back({gap * static_cast<double>(reply.size()), wire.mid(start, end - start)});
    start = end;
  }
  return reply;
}

QByteArray Transact(ScriptedLink& link, const Case& c, const ScriptedTransport::Reply& reply,
                    bool tcp) {
  ScriptedTransport& port = PortOf(link, tcp);
  Connect(link, tcp);
  port.ForgetTraffic();
  port.QueueReply(reply);
  int count = c.count;
  const QByteArray result = link.link->SendAndReceive(
      static_cast<Command>(c.code), c.write ? Direction::kWrite : Direction::kRead, c.parameter1, 0,
      count, c.data, 1);
  Drain(port, static_cast<int>(reply.size()));
  return result;
}

void CheckCuts(const Case& c, const FramedCommand& command, bool tcp, const QByteArray& bytes) {
  if (bytes.isEmpty()) return;
  const int cuts = (static_cast<quint8>(bytes.at(0)) & 0x03) + 1;
  if (bytes.size() < 1 + cuts) return;
  const QByteArray answer = WellFormedAnswer(command, bytes.mid(1 + cuts));
  const QByteArray wire = tcp ? test::AnswerEnvelope(answer) + answer : answer;
  std::vector<int> positions;
  for (int i = 1; i <= cuts; ++i) {
    positions.push_back(1 + static_cast<quint8>(bytes.at(i)) % static_cast<int>(wire.size()));
  }
  ScriptedLink& link = LinkFor(tcp);
  const QByteArray whole = Transact(link, c, {{0, wire}}, tcp);
  const QByteArray in_pieces =
      Transact(link, c, CutAt(wire, positions, AnswerTimeout(c.code)), tcp);
  if (Tracing()) {
    std::fprintf(stderr, "command %d%s, %s, cut answer %s: %s whole, %s in pieces\n", c.code,
                 c.write ? "W" : "R", tcp ? "TCP" : "serial", wire.toHex(' ').constData(),
                 whole.toHex(' ').constData(), in_pieces.toHex(' ').constData());
  }
  Require(in_pieces == whole, "an answer in pieces read otherwise than in one piece");
}

}  // namespace
}  // namespace orva

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (const orva::Case& c : orva::Cases()) {
    orva::Require(orva::FrameCommand(orva::ToCommand(c)).has_value(), "a case does not frame");
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::vector<orva::Case>& cases = orva::Cases();
  const orva::Case& c = cases[data[0] % cases.size()];
  const orva::FramedCommand command = *orva::FrameCommand(orva::ToCommand(c));
  const QByteArray bytes(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2));
  const bool tcp = (data[1] & 0x04) != 0;
  if ((data[1] & 0x10) != 0) {
    orva::CheckCuts(c, command, tcp, bytes);
  } else {
    orva::CheckPureSteps(bytes, command, tcp);
    orva::RunTransaction(c, command, data[1], bytes);
  }
  orva::ForgetWhatWasShown(orva::LinkFor(tcp));
  return 0;
}
