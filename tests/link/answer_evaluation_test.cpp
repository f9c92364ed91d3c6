#include "link/answer_evaluation.h"
#include "bytes.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

using test::Bytes;
using State = ReceiveInspection::State;

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
