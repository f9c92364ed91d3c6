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
using test::ScriptedTransport;

const QByteArray kSerial = Bytes({0x16, 0x00, 0x12});
const QByteArray kReadEcho = Bytes({'*', 0x28, 0x02, 0x00, 0x0F});
const QByteArray kStatusEcho = Bytes({'*', 0x38, 0x0C, 0x00, 0x00});

// A module memory answer to block 2: 35 bytes of payload between the length byte and "#".
QByteArray ModuleAnswer() {
  QByteArray payload;
  for (int i = 0; i < 35; ++i) payload.append(static_cast<char>(0x40 + i));
  return kReadEcho + Bytes({0x00, 0x10}) + payload + "#";
}

QByteArray ModulePayload() { return ModuleAnswer().mid(7, 35); }

// The status of output 12: count + 1 status bytes after the length byte.
QByteArray StatusAnswer() { return kStatusEcho + Bytes({0x00, 0x00, 0xAA, '#'}); }

class SendAndReceiveTest : public testing::Test {
 protected:
  void SetUp() override { link_.ConnectSerial(); }

  QByteArray ReadModule(int attempts = 0) {
    int count = 16;
    return link_.link->SendAndReceive(40, QStringLiteral("R"), 2, 0, count, kSerial, attempts);
  }
  QByteArray ReadStatus(int attempts = 0) {
    int count = 1;
    return link_.link->SendAndReceive(56, QStringLiteral("R"), 12, 0, count, {}, attempts);
  }
  QByteArray Write(int command, int count, const QByteArray& data = {}, int attempts = 0) {
    return link_.link->SendAndReceive(command, QStringLiteral("W"), 0, 0, count, data, attempts);
  }

  ScriptedLink link_;
  ScriptedTransport& serial_ = link_.serial;
};

TEST_F(SendAndReceiveTest, CleanReadWritesTxThenRx) {
  serial_.QueueReply(ModuleAnswer());
  EXPECT_EQ(ReadModule(), QByteArray(1, '\0') + ModulePayload());
  ASSERT_EQ(serial_.sent().size(), 1u);
  EXPECT_EQ(serial_.sent()[0], kReadEcho + kSerial + "#");
  const auto rows = link_.LogRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].kind, QStringLiteral("TX"));
  EXPECT_EQ(rows[0].data, kReadEcho + kSerial + "#");
  EXPECT_EQ(rows[1].kind, QStringLiteral("rx"));
  EXPECT_EQ(rows[1].data, ModuleAnswer());
}

// Case 1: nothing arrives.
TEST_F(SendAndReceiveTest, SilenceGivesReceiveTimeoutAfterOneSend) {
  const double start = link_.clock.Now();
  EXPECT_EQ(ReadModule(), Bytes({252}));
  EXPECT_EQ(serial_.sent().size(), 1u);
  EXPECT_NEAR(link_.clock.Now() - start, 4.0, 1e-9);
  EXPECT_EQ(link_.LogKinds(), QStringList({"TX", "rx"}));
  EXPECT_LE(serial_.waits().size(), 4u) << "the wait must block, not poll";
}

TEST_F(SendAndReceiveTest, TimeoutsPerCommandAndAttempts) {
  double start = link_.clock.Now();
  EXPECT_EQ(ReadStatus(3), Bytes({252}));
  EXPECT_EQ(serial_.sent().size(), 3u);
  EXPECT_NEAR(link_.clock.Now() - start, 9.0, 1e-9);
  start = link_.clock.Now();
  int count = 1;
  link_.link->SendAndReceive(70, QStringLiteral("R"), 0, 0, count, {});
  EXPECT_NEAR(link_.clock.Now() - start, 6.0, 1e-9);
}

// Cases 2, 4 and 5 of the evaluation by their outcome: the result and how often the frame went
// out.
TEST_F(SendAndReceiveTest, AnswersThatStartWithTheEcho) {
  const QByteArray cancel = Bytes({'*', 0xD1, 0, 0, 8});
  QByteArray memory_write = Bytes({'*', 0xA8, 0, 0, 15, 0, 0x13});
  for (int i = 0; i < 20; ++i) memory_write.append(static_cast<char>(i));
  QByteArray wrong_end = ModuleAnswer();
  wrong_end[42] = '!';
  const auto read_module = [this] { return ReadModule(); };
  const auto read_status = [this] { return ReadStatus(); };
  const auto cancel_once = [this] { return Write(81, 9); };
  const struct {
    const char* name;
    std::function<QByteArray()> transact;
    std::vector<QByteArray> replies;
    QByteArray result;
    size_t sends;
  } cases[] = {
      // Case 2: exactly E bytes.
      {"2: cancel", cancel_once, {cancel + Bytes({0, '#'})}, Bytes({0}), 1},
      {"2: status without terminator, then a second attempt",
       [this] { return Write(81, 9, {}, 2); },
       {cancel + Bytes({0x05, 'x'}), cancel + Bytes({0, '#'})},
       Bytes({0}),
       2},
      {"2: status without terminator", cancel_once, {cancel + Bytes({0x05, 'x'})}, Bytes({5}), 1},
      {"2: module memory write, 0 and count + 20 bytes from position 8",
       [this] { return Write(40, 0, kSerial + QByteArray(16, 'd')); },
       {memory_write},
       Bytes({0}) + memory_write.mid(7),
       1},
      // Case 4: more than E bytes.
      {"4: module read", read_module, {ModuleAnswer() + "Z"}, Bytes({0}) + ModulePayload(), 1},
      {"4: module read, wrong terminator", read_module, {wrong_end + "Z"}, Bytes({250}), 1},
      {"4: cancel", cancel_once, {cancel + Bytes({0, '#', 'Z'})}, Bytes({250}), 1},
      {"4: command 36",
       [this] { return Write(36, 1); },
       {Bytes({'*', 0xA4, 0, 0, 0, 0, '#', 'Z'})},
       Bytes({0, '#'}),
       1},
      // Case 5: fewer than E bytes.
      {"5: echo alone", read_status, {kStatusEcho}, Bytes({252}), 1},
      {"5: echo and terminator", read_status, {kStatusEcho + "#"}, Bytes({252}), 1},
      {"5: error status", read_status, {kStatusEcho + Bytes({0x6A})}, Bytes({0x6A}), 1},
      {"5: part of the data",
       read_status,
       {kStatusEcho + Bytes({0x00, 0x01, 0xAA})},
       Bytes({252, 0x01, 0xAA}),
       1},
      // Four bytes are no answer at all: the frame goes out again.
      {"four bytes",
       read_status,
       {Bytes({'*', 0x38, 0x00, '#'}), StatusAnswer()},
       Bytes({0, 0xAA}),
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    serial_.ForgetTraffic();
    for (const QByteArray& reply : c.replies) serial_.QueueReply(reply);
    EXPECT_EQ(c.transact(), c.result);
    EXPECT_EQ(serial_.sent().size(), c.sends);
  }
}

// Case 3: E bytes that do not start with the echo.
TEST_F(SendAndReceiveTest, ExactLengthWithoutEchoResynchronisesAndRepeats) {
  const QByteArray junk = "JUNK#";
  serial_.QueueReply({{0, junk + StatusAnswer().left(4)}, {0.5, StatusAnswer().mid(4)}});
  serial_.QueueReply(StatusAnswer());
  EXPECT_EQ(ReadStatus(), Bytes({0, 0xAA}));
  EXPECT_EQ(serial_.sent().size(), 2u) << "the repeat does not use up the only attempt";
  const auto rows = link_.LogRows();
  QStringList kinds;
  for (const auto& row : rows) kinds << row.kind;
  EXPECT_EQ(kinds, QStringList({"TX", "rx", "rxG", "rxC", "TX", "rx"}));
  EXPECT_EQ(rows[2].data, junk);
  EXPECT_EQ(rows[3].data, StatusAnswer());
}

TEST_F(SendAndReceiveTest, ExactLengthGarbageIsAnEchoError) {
  const double start = link_.clock.Now();
  serial_.QueueReply(QByteArray("garbage!!"));
  EXPECT_EQ(ReadStatus(), Bytes({251}));
  EXPECT_EQ(serial_.sent().size(), 1u);
  EXPECT_NEAR(link_.clock.Now() - start, 2.0, 1e-9);
  const QStringList kinds = link_.LogKinds();
  EXPECT_EQ(kinds.mid(0, 3), QStringList({"TX", "rx", "rxC"}));
  EXPECT_LE(kinds.size(), 5) << "resynchronisation must wait for bytes, not spin";
}

// Case 6: not starting with the echo, another length than E.
TEST_F(SendAndReceiveTest, StrayBytesAreAnEchoError) {
  serial_.QueueReply(QByteArray("ab"));
  EXPECT_EQ(ReadStatus(), Bytes({251}));
  EXPECT_EQ(link_.LogKinds().mid(0, 3), QStringList({"TX", "rx", "rxB"}));
}

TEST_F(SendAndReceiveTest, ResyncDropsUpToTheTerminatorAndFindsTheEcho) {
  // The rest comes after the answer time-out, while resynchronising.
  serial_.QueueReply({{0, "xyzzy#" + StatusAnswer().left(2)}, {3.5, StatusAnswer().mid(2)}});
  serial_.QueueReply(StatusAnswer());
  EXPECT_EQ(ReadStatus(), Bytes({0, 0xAA}));
  const auto rows = link_.LogRows();
  ASSERT_GE(rows.size(), 4u);
  EXPECT_EQ(rows[2].kind, QStringLiteral("rxF"));
  EXPECT_EQ(rows[2].data, QByteArray("xyzzy#"));
  EXPECT_EQ(rows[3].kind, QStringLiteral("rxB"));
}

TEST_F(SendAndReceiveTest, EndlessRepeatsAreCapped) {
  serial_.SetResponder([](const QByteArray&) {
    return ScriptedTransport::Reply{{0, Bytes({'*', 0x38, 0x00, '#'})}};
  });
  EXPECT_EQ(ReadStatus(), Bytes({251}));
  EXPECT_EQ(static_cast<int>(serial_.sent().size()), Link::kMaxRepeats + 1);
}

TEST_F(SendAndReceiveTest, JunkBeforeTheEchoIsLoggedFromThirteenBytesOn) {
  for (const int junk : {12, 13, 20}) {
    SCOPED_TRACE(junk);
    link_.ClearLog();
    serial_.QueueReply(QByteArray(junk, '\xA5') + ModuleAnswer());
    EXPECT_EQ(ReadModule(), QByteArray(1, '\0') + ModulePayload());
    const auto rows = link_.LogRows();
    if (junk < 13) {
      EXPECT_EQ(link_.LogKinds(), QStringList({"TX", "rx"}));
    } else {
      ASSERT_EQ(link_.LogKinds(), QStringList({"TX", "rxE", "rx"}));
      EXPECT_EQ(rows[1].data, QByteArray(junk, '\xA5'));
      EXPECT_EQ(rows[2].data, ModuleAnswer());
    }
  }
}

TEST_F(SendAndReceiveTest, SplitAnswerIsAssembled) {
  const QByteArray answer = ModuleAnswer();
  serial_.QueueReply({{0.1, answer.left(3)}, {0.2, answer.mid(3, 10)}, {0.9, answer.mid(13)}});
  EXPECT_EQ(ReadModule(), QByteArray(1, '\0') + ModulePayload());
  EXPECT_EQ(link_.LogKinds(), QStringList({"TX", "rx"}));
}

TEST_F(SendAndReceiveTest, ErrorAnswerEndsAtOnceWithItsStatus) {
  serial_.QueueReply(kStatusEcho + Bytes({0x6A, '#'}));
  EXPECT_EQ(ReadStatus(3), Bytes({0x6A}));
  EXPECT_EQ(serial_.sent().size(), 1u);
  const auto rows = link_.LogRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].kind, QStringLiteral("rxD"));
  EXPECT_EQ(rows[1].data, kStatusEcho + Bytes({0x6A, '#'}));

  // Module memory errors carry four bytes before the terminator.
  link_.ClearLog();
  const QByteArray not_found = kReadEcho + Bytes({0xFF}) + kSerial + Bytes({0x02, '#'});
  serial_.QueueReply({{0, not_found.left(7)}, {0.3, not_found.mid(7)}});
  EXPECT_EQ(ReadModule(), Bytes({255}));
  EXPECT_EQ(link_.LogKinds(), QStringList({"TX", "rxD"}));
  EXPECT_EQ(link_.LogRows()[1].data, not_found);
}

TEST_F(SendAndReceiveTest, ErrorAnswerWithoutTerminatorIsLoggedWhileItLasts) {
  serial_.QueueReply(kStatusEcho + Bytes({0x6A, 'X'}));
  EXPECT_EQ(ReadStatus(), Bytes({0x6A}));
  const auto rows = link_.LogRows();
  ASSERT_EQ(link_.LogKinds(), QStringList({"TX", "rxD", "rx"}));
  EXPECT_EQ(rows[1].data, kStatusEcho + Bytes({0x6A, 'X'}));
}

TEST_F(SendAndReceiveTest, PendingBytesAreDiscardedBeforeSending) {
  serial_.Inject(QByteArray("stale answer from before*#"));
  serial_.QueueReply(StatusAnswer());
  EXPECT_EQ(ReadStatus(), Bytes({0, 0xAA}));
  EXPECT_EQ(link_.LogKinds(), QStringList({"TX", "rx"}));
}

TEST_F(SendAndReceiveTest, ClosedPortGivesPortNotOpenAndDropsTheLink) {
  serial_.Close();
  EXPECT_EQ(ReadStatus(), Bytes({55}));
  EXPECT_TRUE(serial_.sent().empty());
  EXPECT_EQ(link_.link->connected(), 0);
  EXPECT_TRUE(link_.LogRows().empty());
}

TEST_F(SendAndReceiveTest, CountThatCannotBeFramedIsRefused) {
  int count = 300;
  EXPECT_EQ(link_.link->SendAndReceive(12, QStringLiteral("R"), 0, 0, count, {}), Bytes({104}));
  EXPECT_TRUE(serial_.sent().empty());
}

TEST(SendAndReceive, NotConnectedRefusesAllButVersionAndCancel) {
  ScriptedLink link;
  int count = 1;
  EXPECT_EQ(link.link->SendAndReceive(56, QStringLiteral("R"), 12, 0, count, {}), Bytes({55}));
  EXPECT_EQ(link.link->last_command(), 56);
  EXPECT_TRUE(link.serial.sent().empty());
  EXPECT_TRUE(link.tcp.sent().empty());
}

class TcpSendAndReceiveTest : public testing::Test {
 protected:
  void SetUp() override { link_.ConnectTcp(); }
  ScriptedLink link_;
};

TEST_F(TcpSendAndReceiveTest, EnvelopeIsSentAndSkippedWithoutARow) {
  const QByteArray answer = ModuleAnswer();
  link_.tcp.QueueReply(AnswerEnvelope(answer) + answer);
  int count = 16;
  EXPECT_EQ(link_.link->SendAndReceive(40, QStringLiteral("R"), 2, 0, count, kSerial),
            QByteArray(1, '\0') + ModulePayload());
  ASSERT_FALSE(link_.tcp.sent().empty());
  EXPECT_EQ(link_.tcp.sent().back(),
            Bytes({'O', 'R', 'V', 'A', 0, 4, 0, 1, 1, 0xFF, 0, 8}) + kReadEcho + kSerial + "#");
  const auto rows = link_.LogRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].data, kReadEcho + kSerial + "#");
  EXPECT_EQ(rows[1].data, answer);
}

TEST_F(TcpSendAndReceiveTest, EnvelopeArrivingAloneIsDropped) {
  const QByteArray answer = StatusAnswer();
  link_.tcp.QueueReply({{0, AnswerEnvelope(answer) + answer.left(1)}, {0.2, answer.mid(1)}});
  int count = 1;
  EXPECT_EQ(link_.link->SendAndReceive(56, QStringLiteral("R"), 12, 0, count, {}),
            Bytes({0, 0xAA}));
  EXPECT_EQ(link_.LogKinds(), QStringList({"TX", "rx"}));
}

TEST_F(TcpSendAndReceiveTest, ShortAnswerArrivingInPiecesAfterItsEnvelope) {
  const FramedCommand framed = *FrameCommand(Command{81, true, 0, 0, 9, {}});
  const QByteArray answer = framed.echo + Bytes({0}) + "#";
  const QByteArray whole = AnswerEnvelope(answer) + answer;
  // The envelope alone, then the echo, then status and terminator; and whole at once.
  link_.tcp.QueueReply(
      {{0, AnswerEnvelope(answer)}, {0.05, framed.echo}, {0.05, answer.mid(framed.echo.size())}});
  int count = 9;
  const QByteArray in_pieces = link_.link->SendAndReceive(81, QStringLiteral("W"), 0, 0, count, {});
  link_.tcp.QueueReply(whole);
  count = 9;
  const QByteArray at_once = link_.link->SendAndReceive(81, QStringLiteral("W"), 0, 0, count, {});
  EXPECT_EQ(at_once.left(1), Bytes({0}));
  EXPECT_EQ(in_pieces, at_once);
}

TEST_F(TcpSendAndReceiveTest, OverlongFrameIsRefusedBeforeSending) {
  const size_t sent_before = link_.tcp.sent().size();
  int count = 1;
  EXPECT_EQ(link_.link->SendAndReceive(3, QStringLiteral("W"), 0, 0, count, QByteArray(494, 'x')),
            Bytes({249}));
  EXPECT_EQ(link_.tcp.sent().size(), sent_before);
  EXPECT_TRUE(link_.LogRows().empty());

  link_.tcp.QueueReply(QByteArray());
  count = 1;
  link_.link->SendAndReceive(3, QStringLiteral("W"), 0, 0, count, QByteArray(493, 'x'));
  EXPECT_EQ(link_.tcp.sent().size(), sent_before + 1);
  EXPECT_EQ(link_.tcp.sent().back().size(), 12 + 499);
}

TEST_F(TcpSendAndReceiveTest, PeerHangingUpDropsTheLink) {
  link_.tcp.DropConnection();
  int count = 1;
  EXPECT_EQ(link_.link->SendAndReceive(56, QStringLiteral("R"), 12, 0, count, {}), Bytes({55}));
  EXPECT_EQ(link_.link->connected(), 0);
}

}  // namespace
}  // namespace orva
