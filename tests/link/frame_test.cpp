#include "link/frame.h"
#include "bytes.h"
#include "link/answer_rules.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

using test::Bytes;

TEST(Frame, ModuleMemoryReadWithEnvelope) {
  const Command read{40, false, 0x02, 0x00, 16, Bytes({0x12, 0x34, 0x56})};
  const std::optional<FramedCommand> framed = FrameCommand(read);
  ASSERT_TRUE(framed);
  EXPECT_EQ(framed->frame, Bytes({'*', 0x28, 0x02, 0x00, 0x0F, 0x12, 0x34, 0x56, '#'}));
  EXPECT_EQ(TcpEnvelope(kCommandFunctionId, framed->frame.size()),
            Bytes({'O', 'R', 'V', 'A', 0x00, 0x04, 0x00, 0x01, 0x01, 0xFF, 0x00, 0x08}));
  EXPECT_EQ(framed->echo, Bytes({'*', 0x28, 0x02, 0x00, 0x0F}));
  EXPECT_EQ(framed->count, 15);
}

TEST(Frame, CancelProgrammingWrite) {
  const std::optional<FramedCommand> framed = FrameCommand({81, true, 0, 0, 9, {}});
  ASSERT_TRUE(framed);
  EXPECT_EQ(framed->frame, Bytes({'*', 0xD1, 0x00, 0x00, 0x08, '#'}));
}

TEST(Frame, ServiceCommandCarriesExtInEchoAndCountFromData) {
  const std::optional<FramedCommand> framed =
      FrameCommand({0, false, 1, 2, 3, Bytes({0x05, 0x2A, 0x23})});
  ASSERT_TRUE(framed);
  EXPECT_EQ(framed->frame, Bytes({'*', 0x00, 0x01, 0x02, 0x03, 0x05, 0x2A, 0x23, '#'}));
  EXPECT_EQ(framed->ext, 1);
  EXPECT_EQ(framed->echo, Bytes({'*', 0x00, 0x01, 0x02, 0x03, 0x05}));
  EXPECT_EQ(framed->count, 5);
}

TEST(Frame, EnvelopeLengthOnlyForHighFunctionIds) {
  EXPECT_EQ(TcpEnvelope(239, 300).right(2), Bytes({0x00, 0x00}));
  EXPECT_EQ(TcpEnvelope(240, 300).right(2), Bytes({0x01, 0x2B}));
  EXPECT_EQ(TcpEnvelope(0xFA, 36).right(2), Bytes({0x00, 0x23}));
}

TEST(Frame, ExtOnlyForServiceAndStatusWrite) {
  EXPECT_EQ(ExtLength(0, false), 1);
  EXPECT_EQ(ExtLength(0, true), 1);
  EXPECT_EQ(ExtLength(56, true), 1);
  EXPECT_EQ(ExtLength(56, false), 0);
  EXPECT_EQ(ExtLength(40, true), 0);
}

TEST(Frame, CountAdjustment) {
  struct Case {
    int code;
    bool write;
    int count;
    int data_length;
    int expected;
  } cases[] = {
      {52, false, 7, 0, 7},  {54, false, 0, 4, 0}, {66, true, 200, 2, 200}, {67, false, 1, 0, 1},
      {98, false, 3, 0, 3},  {99, false, 0, 9, 0}, {16, true, 12, 5, 0},    {70, false, 9, 0, 0},
      {71, false, 1, 3, 0},  {56, false, 1, 0, 0}, {56, false, 0, 0, 0},    {17, false, 0, 6, 5},
      {40, true, 0, 19, 15}, {41, false, 0, 4, 0}, {42, true, 0, 10, 6},    {56, true, 0, 1, 0},
      {56, true, 0, 4, 3},   {81, true, 9, 0, 8},  {7, false, 6, 0, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "command " << c.code << " count " << c.count);
    const QByteArray data(c.data_length, 'x');
    EXPECT_EQ(AdjustedCount(c.code, c.count, data, ExtLength(c.code, c.write)), c.expected);
  }
}

TEST(Frame, CountThatDoesNotFitIsRefused) {
  EXPECT_FALSE(FrameCommand({41, false, 0, 0, 0, QByteArray(3, 'x')}));
  EXPECT_FALSE(FrameCommand({12, false, 0, 0, 300, {}}));
  EXPECT_TRUE(FrameCommand({12, false, 0, 0, 256, {}}));
}

TEST(Frame, MarkerBytesInsideDataAreNotEscaped) {
  const std::optional<FramedCommand> framed = FrameCommand({3, true, '#', '*', 2, "*#"});
  ASSERT_TRUE(framed);
  EXPECT_EQ(framed->frame, QByteArray("*\x83#*\x01*##"));
}

TEST(AnswerRules, ExpectedLength) {
  struct Case {
    int code;
    bool write;
    int count;
    int ext;
    int expected;
  } cases[] = {
      {14, false, 5, 0, 7}, {12, false, 3, 0, 16},  {64, false, 0, 0, 10}, {68, false, 1, 0, 12},
      {0, false, 5, 1, 15}, {40, false, 15, 0, 43}, {41, false, 0, 0, 28}, {56, false, 0, 0, 9},
      {7, false, 5, 0, 14}, {40, true, 15, 0, 27},  {42, true, 0, 0, 27},  {56, true, 0, 1, 10},
      {62, true, 4, 0, 7},  {81, true, 8, 0, 7},    {0, true, 5, 1, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "command " << c.code << (c.write ? " W" : " R"));
    EXPECT_EQ(ExpectedLength(c.code, c.write, c.count, c.ext), c.expected);
  }
}

TEST(AnswerRules, RecalculatedLengthFromTheAnswer) {
  const QByteArray answer = Bytes({'*', 0, 0, 0, 0, 0, 6, 9});
  EXPECT_EQ(RecalculatedLength(56, true, answer), 19);
  EXPECT_EQ(RecalculatedLength(56, false, answer), 15);
  EXPECT_EQ(RecalculatedLength(7, false, answer), 15);
  EXPECT_EQ(RecalculatedLength(61, false, answer), 15);
  EXPECT_EQ(RecalculatedLength(52, false, answer), 22);
  EXPECT_EQ(RecalculatedLength(62, false, answer), 22);
  EXPECT_EQ(RecalculatedLength(17, false, answer), 36);
  EXPECT_EQ(RecalculatedLength(40, false, answer), std::nullopt);
  EXPECT_EQ(RecalculatedLength(7, true, answer), std::nullopt);
  EXPECT_EQ(RecalculatedLength(56, false, answer.left(6)), std::nullopt);
  EXPECT_EQ(RecalculatedLength(56, true, answer.left(7)), std::nullopt);
}

TEST(AnswerRules, TimeoutPerCommand) {
  for (const int code : {70, 71}) EXPECT_EQ(AnswerTimeout(code), 6.0) << code;
  for (const int code : {14, 40, 41, 42, 64, 72}) EXPECT_EQ(AnswerTimeout(code), 4.0) << code;
  for (const int code : {0, 7, 56, 81, 43, 73}) EXPECT_EQ(AnswerTimeout(code), 3.0) << code;
}

TEST(AnswerRules, ErrorTerminatorAfterModuleMemoryHeader) {
  EXPECT_EQ(ErrorTerminatorOffset(40), 10);
  EXPECT_EQ(ErrorTerminatorOffset(40 + 128), 10);
  EXPECT_EQ(ErrorTerminatorOffset(42), 10);
  EXPECT_EQ(ErrorTerminatorOffset(56), 6);
}

TEST(AnswerRules, ReadTerminatorPositions) {
  EXPECT_EQ(ReadTerminatorPosition(12, 2, 0, 99), 14);
  EXPECT_EQ(ReadTerminatorPosition(14, 2, 0, 99), 8);
  EXPECT_EQ(ReadTerminatorPosition(40, 15, 0, 99), 43);
  EXPECT_EQ(ReadTerminatorPosition(17, 2, 0, 20), 20);
  EXPECT_EQ(ReadTerminatorPosition(52, 2, 0, 20), 21);
  EXPECT_EQ(ReadTerminatorPosition(7, 5, 0, 16), 25);
  EXPECT_EQ(ReadTerminatorPosition(47, 5, 0, 16), 7);
  EXPECT_EQ(ReadTerminatorPosition(0, 5, 1, 16), 15);
  EXPECT_EQ(ReadTerminatorPosition(56, 1, 0, 16), 10);
}

TEST(AnswerRules, PayloadsNeverReadPastTheAnswer) {
  QByteArray answer;
  for (int i = 1; i <= 20; ++i) answer.append(static_cast<char>(i));
  EXPECT_EQ(ReadPayload(56, answer, 1, 0, 10), Bytes({8, 9}));
  EXPECT_EQ(ReadPayload(14, answer, 0, 0, 7), Bytes({7}));
  EXPECT_EQ(ReadPayload(12, answer, 1, 0, 12), Bytes({8, 9, 10, 11}));
  EXPECT_EQ(ReadPayload(0, answer, 1, 1, 12), Bytes({9, 10}));
  EXPECT_EQ(ReadPayload(40, answer, 15, 0, 43), answer.mid(7));
  EXPECT_EQ(ReadPayload(7, answer, 5, 0, 16), answer.mid(7));
  EXPECT_EQ(ReadPayload(61, answer.left(16), 2, 0, 16), answer.mid(7, 9));
  EXPECT_EQ(ReadPayload(61, answer, 2, 0, 16), Bytes({8, 9, 10}));
  EXPECT_EQ(ReadPayload(47, answer, -1, 0, 9), QByteArray());
  EXPECT_EQ(ReadPayload(56, answer.left(3), 1, 0, 10), QByteArray());
}

}  // namespace
}  // namespace orva
