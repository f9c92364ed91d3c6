#include "bytes.h"
#include "link_harness.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace orva {
namespace {

using test::AnswerEnvelope;
using test::Bytes;
using test::ScriptedLink;
using Reply = test::ScriptedTransport::Reply;

const QByteArray kSerial = Bytes({0x16, 0x00, 0x12});
const QByteArray kReadEcho = Bytes({'*', 0x28, 0x02, 0x00, 0x0F});
const QByteArray kStatusEcho = Bytes({'*', 0x38, 0x0C, 0x00, 0x00});
const QByteArray kCancelEcho = Bytes({'*', 0xD1, 0, 0, 8});
const QByteArray kPayload = [] {
  QByteArray payload;
  for (int i = 0; i < 35; ++i) payload.append(static_cast<char>(0x40 + i));
  return payload;
}();
// Block 2 of module 160012 and the status of output 12, as the controller answers them.
const QByteArray kModule = kReadEcho + Bytes({0x00, 0x10}) + kPayload + "#";
const QByteArray kModuleFrame = kReadEcho + kSerial + "#";
const QByteArray kModuleResult = Bytes({0}) + kPayload;
const QByteArray kStatus = kStatusEcho + Bytes({0x00, 0x00, 0xAA, '#'});
const QByteArray kStatusResult = Bytes({0, 0xAA});

const QByteArray kAny;
const std::vector<test::ScriptedTransport::Reply> kSilence;
const std::vector<QByteArray> kNoRows;
constexpr Direction kR = Direction::kRead;
constexpr Direction kW = Direction::kWrite;

using Transact = std::function<QByteArray(Link&)>;
Transact Call(int command, Direction direction, quint8 address, int count,
              const QByteArray& data = {}, int attempts = 0) {
  return [=](Link& link) {
    int adjusted = count;
    return link.SendAndReceive(static_cast<Command>(command), direction, address, 0, adjusted, data,
                               attempts);
  };
}
const Transact kReadModule = Call(40, kR, 2, 16, kSerial);
const Transact kReadStatus = Call(56, kR, 12, 1);
const Transact kCancel = Call(81, kW, 0, 9);

Reply Whole(const QByteArray& bytes) { return {{0, bytes}}; }
Reply Pieces() { return {}; }
// Pieces of a reply, each with its delay after the send.
template <typename... Rest>
Reply Pieces(double delay, const QByteArray& bytes, const Rest&... rest) {
  Reply reply{{delay, bytes}};
  for (const auto& piece : Pieces(rest...)) reply.push_back(piece);
  return reply;
}
// The replies to the first, second, ... send.
template <typename... R>
std::vector<Reply> Replies(const R&... replies) {
  return {replies...};
}
std::vector<Reply> Once(const QByteArray& bytes) { return {Whole(bytes)}; }
std::vector<Reply> Tcp(const QByteArray& answer) { return Once(AnswerEnvelope(answer) + answer); }
// Expected bytes of the log rows from the first on; kAny is not compared.
template <typename... B>
std::vector<QByteArray> Rows(const B&... rows) {
  return {QByteArray(rows)...};
}

// One transaction against scripted replies: its result, how often the frame went out, the log
// rows it wrote and the time it took.
struct Case {
  const char* name;
  Transact transact;
  std::vector<Reply> replies;
  QByteArray result;
  size_t sends = 1;
  const char* kinds = nullptr;        // of the log rows, when given
  std::vector<QByteArray> rows = {};  // their bytes
  double seconds = -1;                // when given
  bool tcp = false;
};

TEST(SendAndReceive, AnswersByTheirOutcome) {
  QByteArray memory_write = Bytes({'*', 0xA8, 0, 0, 15, 0, 0x13});
  for (int i = 0; i < 20; ++i) memory_write.append(static_cast<char>(i));
  QByteArray wrong_end = kModule;
  wrong_end[42] = '!';
  const QByteArray junk13(13, '\xA5');
  const QByteArray error = kStatusEcho + Bytes({0x6A, '#'});
  const QByteArray unended = kStatusEcho + Bytes({0x6A, 'X'});
  const QByteArray cancelled = kCancelEcho + Bytes({0, '#'});
  const Case cases[] = {
      {"clean read", kReadModule, Once(kModule), kModuleResult, 1, "TX rx",
       Rows(kModuleFrame, kModule)},
      {"silence", kReadModule, kSilence, Bytes({252}), 1, "TX rx", kNoRows, 4.0},
      {"silence on every attempt", Call(56, kR, 12, 1, kAny, 3), kSilence, Bytes({252}), 3, nullptr,
       kNoRows, 9.0},
      {"silence on a copy command", Call(70, kR, 0, 1), kSilence, Bytes({252}), 1, nullptr, kNoRows,
       6.0},
      // Exactly the expected length.
      {"cancel", kCancel, Once(cancelled), Bytes({0})},
      {"status without terminator", kCancel, Once(kCancelEcho + Bytes({5, 'x'})), Bytes({5})},
      {"status without terminator, then a second attempt", Call(81, kW, 0, 9, kAny, 2),
       Replies(Whole(kCancelEcho + Bytes({5, 'x'})), Whole(cancelled)), Bytes({0}), 2},
      {"module memory write", Call(40, kW, 0, 0, kSerial + QByteArray(16, 'd')), Once(memory_write),
       Bytes({0}) + memory_write.mid(7)},
      // More than expected.
      {"module read and more", kReadModule, Once(kModule + "Z"), kModuleResult},
      {"wrong terminator", kReadModule, Once(wrong_end + "Z"), Bytes({250})},
      {"cancel and more", kCancel, Once(cancelled + "Z"), Bytes({250})},
      {"command 36", Call(36, kW, 0, 1), Once(Bytes({'*', 0xA4, 0, 0, 0, 0, '#', 'Z'})),
       Bytes({0, '#'})},
      // Fewer than expected.
      {"echo alone", kReadStatus, Once(kStatusEcho), Bytes({252})},
      {"echo and terminator", kReadStatus, Once(kStatusEcho + "#"), Bytes({252})},
      {"part of the data", kReadStatus, Once(kStatusEcho + Bytes({0, 1, 0xAA})),
       Bytes({252, 1, 0xAA})},
      {"four bytes are no answer: sent again", kReadStatus,
       Replies(Whole(Bytes({'*', 0x38, 0, '#'})), Whole(kStatus)), kStatusResult, 2},
      // Error answers end at once, even with attempts left.
      {"error status", Call(56, kR, 12, 1, kAny, 3), Once(error), Bytes({0x6A}), 1, "TX rxD",
       Rows(kAny, error)},
      {"error status before the rest", kReadStatus, Once(kStatusEcho + Bytes({0x6A})),
       Bytes({0x6A})},
      {"error without terminator", kReadStatus, Once(unended), Bytes({0x6A}), 1, "TX rxD rx",
       Rows(kAny, unended)},
      // The expected length without the echo: resynchronised and sent again.
      {"junk, then the answer", kReadStatus,
       Replies(Pieces(0, "JUNK#" + kStatus.left(4), 0.5, kStatus.mid(4)), Whole(kStatus)),
       kStatusResult, 2, "TX rx rxG rxC TX rx", Rows(kAny, kAny, "JUNK#", kStatus)},
      {"garbage", kReadStatus, Once("garbage!!"), Bytes({251}), 1, "TX rx rxC rxC", kNoRows, 2.0},
      // Another length without the echo.
      {"stray bytes", kReadStatus, Once("ab"), Bytes({251}), 1, "TX rx rxB"},
      {"stray bytes, the answer while resynchronising", kReadStatus,
       Replies(Pieces(0, "xyzzy#" + kStatus.left(2), 3.5, kStatus.mid(2)), Whole(kStatus)),
       kStatusResult, 2, "TX rx rxF rxB TX rx", Rows(kAny, kAny, "xyzzy#")},
      // Junk in front of the echo is logged from 13 bytes on.
      {"12 junk bytes", kReadModule, Once(QByteArray(12, '\xA5') + kModule), kModuleResult, 1,
       "TX rx"},
      {"13 junk bytes", kReadModule, Once(junk13 + kModule), kModuleResult, 1, "TX rxE rx",
       Rows(kAny, junk13, kModule)},
      {"refused count", Call(12, kR, 0, 300), kSilence, Bytes({104}), 0},
      // Over TCP the envelope goes out in front and is skipped in the answer, without a row.
      {"over TCP", kReadModule, Tcp(kModule), kModuleResult, 1, "TX rx",
       Rows(kModuleFrame, kModule), -1, true},
      {"13 junk bytes over TCP", kReadStatus, Tcp(junk13 + kStatus), kStatusResult, 1, "TX rxE rx",
       Rows(kAny, AnswerEnvelope(junk13 + kStatus) + junk13), -1, true},
      {"endless repeats are capped", kReadStatus,
       std::vector<Reply>(Link::kMaxRepeats + 1, Whole(Bytes({'*', 0x38, 0, '#'}))), Bytes({251}),
       Link::kMaxRepeats + 1},
      {"longest frame for TCP", Call(3, kW, 0, 1, QByteArray(493, 'x')), kSilence, Bytes({252}), 1,
       "TX rx", kNoRows, -1, true},
      {"frame too long for TCP", Call(3, kW, 0, 1, QByteArray(494, 'x')), kSilence, Bytes({249}), 0,
       nullptr, kNoRows, -1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedLink link;
    c.tcp ? link.ConnectTcp() : link.ConnectSerial();
    test::ScriptedTransport& transport = c.tcp ? link.tcp : link.serial;
    for (const Reply& reply : c.replies) transport.QueueReply(reply);
    const double start = link.clock.Now();
    EXPECT_EQ(c.transact(*link.link), c.result);
    EXPECT_EQ(transport.sent().size(), c.sends);
    const auto rows = link.LogRows();
    if (c.sends == 0) {
      EXPECT_TRUE(rows.empty());
    }
    if (c.kinds) {
      EXPECT_EQ(link.LogKinds().join(' ').toStdString(), c.kinds);
    }
    for (size_t i = 0; i < c.rows.size() && i < rows.size(); ++i) {
      if (!c.rows[i].isNull()) {
        EXPECT_EQ(rows[i].data, c.rows[i]) << "row " << i;
      }
    }
    if (!rows.empty()) {
      const QByteArray envelope = c.tcp ? TcpEnvelope(kCommandFunctionId, rows[0].data.size()) : "";
      EXPECT_EQ(transport.sent()[0], envelope + rows[0].data) << "TX logs what went out";
    }
    if (c.seconds >= 0) {
      EXPECT_NEAR(link.clock.Now() - start, c.seconds, 1e-9);
    }
    EXPECT_LE(transport.waits().size(), 6 * c.sends + 2) << "waits block, they do not poll";
  }
}

// Stale bytes are dropped before sending; a closed port, a hang-up or no link at all end the
// transaction with "port not open" before anything is sent. Closing a serial port that is not
// open has a code of its own.
TEST(SendAndReceive, PortStates) {
  ScriptedLink stale;
  stale.ConnectSerial();
  stale.serial.Inject("stale answer from before*#");
  stale.serial.QueueReply(kStatus);
  EXPECT_EQ(kReadStatus(*stale.link), kStatusResult);
  EXPECT_EQ(stale.LogKinds(), QStringList({"TX", "rx"}));

  for (const bool tcp : {false, true}) {
    ScriptedLink link;
    tcp ? link.ConnectTcp() : link.ConnectSerial();
    if (tcp) {
      link.tcp.DropConnection();
    } else {
      EXPECT_EQ(link.link->CloseSerialPort(), 0);
      EXPECT_EQ(link.link->CloseSerialPort(), 84) << "closing a port that is not open";
    }
    EXPECT_EQ(kReadStatus(*link.link), Bytes({55})) << tcp;
    EXPECT_EQ(link.link->connected(), 0);
    EXPECT_TRUE(link.serial.sent().empty() && link.tcp.sent().empty());
    EXPECT_TRUE(link.LogRows().empty());
  }

  ScriptedLink never;
  EXPECT_EQ(kReadStatus(*never.link), Bytes({55}));
  EXPECT_EQ(never.link->last_command(), 56);
  EXPECT_EQ(never.link->CloseSerialPort(), 84);
  EXPECT_TRUE(never.serial.sent().empty() && never.tcp.sent().empty());
}

}  // namespace
}  // namespace orva
