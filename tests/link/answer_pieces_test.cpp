// TCP may cut the greeting and any answer anywhere, and a serial line hands over what has
// arrived: the link must put the pieces together whatever the cuts, for any delay below the
// time-out.
#include "bytes.h"
#include "link/login.h"
#include "link_harness.h"

#include <gtest/gtest.h>

#include <vector>

namespace orva {
namespace {

using test::AnswerEnvelope;
using test::Bytes;
using test::ScriptedLink;
using Reply = test::ScriptedTransport::Reply;

// Two gaps stay below the shortest time-out, the greeting's 1.5 s.
constexpr double kGap = 0.7;

// Every way to cut `size` bytes into two and into three pieces, as the positions of the cuts.
std::vector<std::vector<int>> EveryCut(int size) {
  std::vector<std::vector<int>> cuts;
  for (int first = 1; first < size; ++first) {
    cuts.push_back({first});
    for (int second = first + 1; second < size; ++second) cuts.push_back({first, second});
  }
  return cuts;
}

// `bytes` cut at `cuts`, the pieces kGap apart.
Reply Cut(const QByteArray& bytes, std::vector<int> cuts) {
  Reply reply;
  cuts.push_back(static_cast<int>(bytes.size()));
  int start = 0;
  for (const int end : cuts) {
    reply.push_back({kGap * static_cast<double>(reply.size()), bytes.mid(start, end - start)});
    start = end;
  }
  return reply;
}

TEST(AnswerPieces, EveryCutOfEveryAnswerGivesTheWholeAnswersResult) {
  const QByteArray serial = Bytes({0x16, 0x00, 0x12});
  const QByteArray module_echo = Bytes({'*', 0x28, 2, 0, 0x0F});
  const QByteArray status_echo = Bytes({'*', 0x38, 12, 0, 0});
  constexpr Direction kR = Direction::kRead;
  const QByteArray kNone;
  const struct {
    const char* name;
    int command;
    Direction direction;
    quint8 parameter1;
    int count;
    QByteArray data;
    QByteArray answer;
    int status;  // of the whole answer
  } cases[] = {
      {"version", 7, kR, 0, 6, kNone, test::VersionAnswer(Bytes({'*', 7, 0, 0, 5, '#'})), 0},
      {"module memory", 40, kR, 2, 16, serial,
       module_echo + Bytes({0, 0x10}) + QByteArray(35, 'm') + "#", 0},
      {"output status", 56, kR, 12, 1, kNone, status_echo + Bytes({0, 0, 0xAA, '#'}), 0},
      {"cancel programming", 81, Direction::kWrite, 0, 9, kNone,
       Bytes({'*', 0xD1, 0, 0, 8, 0, '#'}), 0},
      {"error status", 56, kR, 12, 1, kNone, status_echo + Bytes({0x6A, '#'}), 0x6A},
      {"error status without terminator", 56, kR, 12, 1, kNone, status_echo + Bytes({0x6A, 'X'}),
       0x6A},
      {"module not found", 40, kR, 2, 16, serial, module_echo + Bytes({0xFF}) + serial + "\x02#",
       0xFF},
  };
  for (const bool tcp : {false, true}) {
    ScriptedLink link;
    tcp ? link.ConnectTcp() : link.ConnectSerial();
    link.comm_log.set_enabled(false);
    test::ScriptedTransport& transport = tcp ? link.tcp : link.serial;
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << c.name << (tcp ? " over TCP" : " over serial"));
      const auto transact = [&](const Reply& reply) {
        transport.ForgetTraffic();
        transport.QueueReply(reply);
        int count = c.count;
        const QByteArray result = link.link->SendAndReceive(
            static_cast<Command>(c.command), c.direction, c.parameter1, 0, count, c.data);
        EXPECT_EQ(transport.sent().size(), 1u);
        return result;
      };
      const QByteArray bytes = tcp ? AnswerEnvelope(c.answer) + c.answer : c.answer;
      const QByteArray whole = transact(Reply{{0, bytes}});
      ASSERT_EQ(static_cast<quint8>(whole.at(0)), c.status);
      for (const std::vector<int>& cuts : EveryCut(static_cast<int>(bytes.size()))) {
        ASSERT_EQ(transact(Cut(bytes, cuts)), whole) << "cut at " << testing::PrintToString(cuts);
      }
    }
  }
}

TEST(AnswerPieces, EveryCutOfTheGreetingLogsIn) {
  const QByteArray greeting = "Welcome to ORVA TCP/IP V2.15";
  ScriptedLink link;
  link.SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral(" E ")}});
  link.tcp.SetResponder(test::ControllerResponder(true));
  link.comm_log.set_enabled(false);
  for (const std::vector<int>& cuts : EveryCut(static_cast<int>(greeting.size()))) {
    link.tcp.QueueReply(Cut(greeting, cuts));
    ASSERT_EQ(link.link->ConnectLink(kFactoryPassword, kFactoryPassword), Link::kViaTcp)
        << "cut at " << testing::PrintToString(cuts);
  }
  EXPECT_TRUE(link.prompter.messages.empty());
}

}  // namespace
}  // namespace orva
