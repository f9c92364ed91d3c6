#include "delivery/batch_delivery.h"

#include "delivery/reply_class.h"

namespace orva {
namespace {

void Deliver(const LineBatch& lines, qsizetype first, qsizetype count, const WireBody& body,
             const PostWire& post, BatchOutcome* outcome) {
  const PostResult result = post(body);
  switch (ClassifyReply(result.http_status)) {
    case ReplyClass::kStored:
      return;
    case ReplyClass::kRetry:
    case ReplyClass::kRefused:
      outcome->wait = result;
      return;
    case ReplyClass::kTooLarge:
    case ReplyClass::kBadLines:
      break;
  }
  if (count == 1) {
    outcome->rejected << RejectedLine{first,
                                      result.detail.isEmpty() ? result.status_text : result.detail};
    return;
  }
  const qsizetype half = count / 2;
  Deliver(lines, first, half, PackBody(lines.Text(first, half)), post, outcome);
  if (!outcome->wait) {
    Deliver(lines, first + half, count - half, PackBody(lines.Text(first + half, count - half)),
            post, outcome);
  }
}

}  // namespace

BatchOutcome DeliverBatch(const LineBatch& lines, const WireBody& whole, const PostWire& post) {
  BatchOutcome outcome;
  if (!lines.isEmpty()) Deliver(lines, 0, lines.size(), whole, post, &outcome);
  if (outcome.wait) outcome.rejected.clear();
  return outcome;
}

BatchOutcome DeliverBatch(const LineBatch& lines, const PostWire& post) {
  return DeliverBatch(lines, PackBody(lines.text()), post);
}

}  // namespace orva
