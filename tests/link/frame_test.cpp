// Frames, the lengths an answer must have and how what has arrived is judged.
#include "link/frame.h"
#include "bytes.h"
#include "link/answer_evaluation.h"
#include "link/answer_rules.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

using test::Bytes;
using State = ReceiveInspection::State;

// The echo is the frame's header, with the first data byte of the service command.
TEST(Frame, FramesEchoesAndCounts) {
  const struct {
    CommandRequest command;
    QByteArray frame;
    int count;
    int ext;
  } cases[] = {
      {{40, false, 2, 0, 16, "\x12\x34\x56"},
       Bytes({'*', 0x28, 2, 0, 0x0F, 0x12, 0x34, 0x56, '#'}),
       15,
       0},
      {{81, true, 0, 0, 9, {}}, Bytes({'*', 0xD1, 0, 0, 8, '#'}), 8, 0},
      {{0, false, 1, 2, 3, "\x05*#"}, Bytes({'*', 0, 1, 2, 3, 5, '*', '#', '#'}), 5, 1},
      // Marker bytes inside the data are not escaped.
      {{3, true, '#', '*', 2, "*#"}, "*\x83#*\x01*##", 1, 0},
  };
  for (const auto& c : cases) {
    const std::optional<FramedCommand> framed = FrameCommand(c.command);
    ASSERT_TRUE(framed) << c.command.code;
    EXPECT_EQ(framed->frame, c.frame);
    EXPECT_EQ(framed->echo, c.frame.left(5 + c.ext));
    EXPECT_EQ(framed->count, c.count);
    EXPECT_EQ(framed->ext, c.ext);
  }
  EXPECT_FALSE(FrameCommand({41, false, 0, 0, 0, QByteArray(3, 'x')}));
  EXPECT_FALSE(FrameCommand({12, false, 0, 0, 300, {}}));
  EXPECT_TRUE(FrameCommand({12, false, 0, 0, 256, {}}));
}

TEST(Frame, EnvelopeCarriesTheLengthOnlyForHighFunctionIds) {
  EXPECT_EQ(TcpEnvelope(kCommandFunctionId, 9),
            Bytes({'O', 'R', 'V', 'A', 0x00, 0x04, 0x00, 0x01, 0x01, 0xFF, 0x00, 0x08}));
  EXPECT_EQ(TcpEnvelope(239, 300).right(2), Bytes({0x00, 0x00}));
  EXPECT_EQ(TcpEnvelope(240, 300).right(2), Bytes({0x01, 0x2B}));
}

TEST(Frame, ExtAndCountAdjustment) {
  EXPECT_EQ(ExtLength(0, false) + ExtLength(0, true) + ExtLength(56, true), 3);
  EXPECT_EQ(ExtLength(56, false) + ExtLength(40, true), 0);
  const struct {
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
  for (const auto& c : cases) {
    const QByteArray data(c.data_length, 'x');
    EXPECT_EQ(AdjustedCount(c.code, c.count, data, ExtLength(c.code, c.write)), c.expected)
        << c.code << " " << c.count;
  }
}

TEST(AnswerRules, ExpectedAndRecalculatedLengths) {
  const struct {
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
  for (const auto& c : cases) {
    EXPECT_EQ(ExpectedLength(c.code, c.write, c.count, c.ext), c.expected) << c.code << c.write;
  }
  // From the length byte at position 6 of the answer, for the commands that carry one.
  const QByteArray answer = Bytes({'*', 0, 0, 0, 0, 0, 6, 9});
  const struct {
    int code;
    bool write;
    int size;
    std::optional<int> expected;
  } recalculated[] = {{56, true, 8, 19},  {56, false, 8, 15}, {7, false, 8, 15},
                      {61, false, 8, 15}, {52, false, 8, 22}, {62, false, 8, 22},
                      {17, false, 8, 36}, {40, false, 8, {}}, {7, true, 8, {}},
                      {56, false, 6, {}}, {56, true, 7, {}}};
  for (const auto& c : recalculated) {
    EXPECT_EQ(RecalculatedLength(c.code, c.write, answer.left(c.size)), c.expected) << c.code;
  }
}

TEST(InspectReceived, EnvelopesAndErrorAnswers) {
  const FramedCommand read = *FrameCommand({56, false, 1, 0, 1, {}});
  const QByteArray thirteen(13, 'e');
  // The envelope is dropped only over TCP, and not while an echo waits for its status.
  EXPECT_EQ(InspectReceived(thirteen, read, true).drop, 12);
  EXPECT_EQ(InspectReceived(thirteen.left(12), read, true).drop, 0);
  EXPECT_EQ(InspectReceived(thirteen, read, false).drop, 0);
  const ReceiveInspection with_echo = InspectReceived(thirteen + read.echo, read, true);
  EXPECT_EQ(with_echo.state, State::kWaiting);
  EXPECT_EQ(with_echo.drop, 0);

  const ReceiveInspection done =
      InspectReceived("xx" + read.echo + Bytes({0x6A, '#'}), read, false);
  EXPECT_EQ(done.state, State::kErrorAnswer);
  EXPECT_EQ(done.status, 0x6A);
  EXPECT_EQ(done.error_data, read.echo + Bytes({0x6A, '#'}));
  EXPECT_EQ(InspectReceived(read.echo + Bytes({0x6A, '!'}), read, false).state,
            State::kErrorIncomplete);
  EXPECT_EQ(InspectReceived(read.echo + Bytes({0x6A}), read, false).state, State::kWaiting);
  // Commands 0 and 54 end at the status, whatever follows.
  const FramedCommand service = *FrameCommand({0, false, 1, 0, 0, Bytes({4})});
  const ReceiveInspection service_error =
      InspectReceived(service.echo + Bytes({0x21, 'z'}), service, false);
  EXPECT_EQ(service_error.state, State::kErrorAnswer);
  EXPECT_EQ(service_error.error_data, service.echo.mid(1) + Bytes({0x21, 'z'}));
}

}  // namespace
}  // namespace orva
