#include "link/answer_evaluation.h"
#include "bytes.h"
#include "link_harness.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace orva {
namespace {

using test::Bytes;

using test::ScriptedTransport;
using State = ReceiveInspection::State;

FramedCommand Framed(int code, bool write, int count, const QByteArray& data = {}) {
  return *FrameCommand({code, write, 1, 0, count, data});
}

TEST(InspectReceived, EnvelopeIsDroppedOnlyOverTcpAndOnlyWithoutEcho) {
  const FramedCommand read = Framed(56, false, 1);
  const QByteArray thirteen(13, 'e');
  EXPECT_EQ(InspectReceived(thirteen, read, true).drop, 12);
  EXPECT_EQ(InspectReceived(thirteen.left(12), read, true).drop, 0);
  EXPECT_EQ(InspectReceived(thirteen, read, false).drop, 0);
  const ReceiveInspection with_echo = InspectReceived(thirteen + read.echo, read, true);
  EXPECT_EQ(with_echo.state, State::kWaiting);
  EXPECT_EQ(with_echo.drop, 0) << "an echo waiting for its status keeps what precedes it";
}

TEST(InspectReceived, ErrorAnswers) {
  const FramedCommand read = Framed(56, false, 1);
  const ReceiveInspection done =
      InspectReceived("xx" + read.echo + Bytes({0x6A, '#'}), read, false);
  EXPECT_EQ(done.state, State::kErrorAnswer);
  EXPECT_EQ(done.status, 0x6A);
  EXPECT_EQ(done.error_data, read.echo + Bytes({0x6A, '#'}));
  EXPECT_EQ(InspectReceived(read.echo + Bytes({0x6A, '!'}), read, false).state,
            State::kErrorIncomplete);
  EXPECT_EQ(InspectReceived(read.echo + Bytes({0x6A}), read, false).state, State::kWaiting);

  // Commands 0 and 54 end at the status, whatever follows.
  const FramedCommand service = Framed(0, false, 0, Bytes({4}));
  const ReceiveInspection service_error =
      InspectReceived(service.echo + Bytes({0x21, 'z'}), service, false);
  EXPECT_EQ(service_error.state, State::kErrorAnswer);
  EXPECT_EQ(service_error.error_data, service.echo.mid(1) + Bytes({0x21, 'z'}));
}

TEST(ResyncCut, OnePastTheFirstTerminatorFromPositionFive) {
  EXPECT_EQ(ResyncCut("##########"), 6);
  EXPECT_EQ(ResyncCut("abcdefg#h"), 9);
  EXPECT_EQ(ResyncCut("abc#"), 1);
  EXPECT_EQ(ResyncCut(""), 1);
}

// Whatever the controller sends, every transaction ends in a result code within a bounded number
// of sends and a bounded time.
TEST(SendAndReceiveRobustness, RandomAnswersAlwaysEndInAResultCode) {
  test::ScriptedLink link;
  link.ConnectSerial();
  std::mt19937 random(20240611);
  const auto byte = [&random](const char* alphabet) {
    std::uniform_int_distribution<int> pick(0, 9);
    const int choice = pick(random);
    if (choice < 4) return alphabet[std::uniform_int_distribution<int>(0, 3)(random)];
    return static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
  };
  const QByteArray echo = Bytes({'*', 0x38, 12, 0, 0});
  std::set<int> codes;
  int sends = 0;
  for (int round = 0; round < 1500; ++round) {
    SCOPED_TRACE(round);
    ScriptedTransport::Reply reply;
    const int pieces = std::uniform_int_distribution<int>(0, 4)(random);
    for (int p = 0; p < pieces; ++p) {
      QByteArray bytes;
      if (std::uniform_int_distribution<int>(0, 2)(random) == 0) bytes = echo;
      const int length = std::uniform_int_distribution<int>(0, 30)(random);
      for (int i = 0; i < length; ++i) bytes.append(byte("*#\x00\x38"));
      reply.push_back({std::uniform_real_distribution<double>(0, 6)(random), bytes});
    }
    link.serial.ForgetTraffic();
    link.serial.SetResponder([reply](const QByteArray&) { return reply; });
    const double start = link.clock.Now();
    int count = 1;
    const int attempts = std::uniform_int_distribution<int>(0, 2)(random);
    const QByteArray result =
        link.link->SendAndReceive(56, QStringLiteral("R"), 12, 0, count, {}, attempts);
    ASSERT_FALSE(result.isEmpty());
    codes.insert(static_cast<quint8>(result.at(0)));
    sends += static_cast<int>(link.serial.sent().size());
    const int tries = std::max(attempts, 1) * (Link::kMaxRepeats + 1);
    EXPECT_LE(static_cast<int>(link.serial.sent().size()), tries);
    EXPECT_LE(link.clock.Now() - start, tries * (3.0 + 2.0) + 1e-6);
  }
  EXPECT_GE(sends, 1500);
  EXPECT_TRUE(codes.count(250) && codes.count(251) && codes.count(252)) << codes.size();
}

}  // namespace
}  // namespace orva
