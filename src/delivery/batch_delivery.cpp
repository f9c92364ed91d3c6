#include "delivery/batch_delivery.h"

#include "delivery/reply_class.h"

namespace orva {
namespace {

QByteArray Body(const QList<QByteArray>& lines, qsizetype first, qsizetype count) {
  qsizetype size = count;
  for (qsizetype i = first; i < first + count; ++i) size += lines[i].size();
  QByteArray body;
  body.reserve(size);
  for (qsizetype i = first; i < first + count; ++i) {
    if (i > first) body += '\n';
    body += lines[i];
  }
  return body;
}

void Deliver(const QList<QByteArray>& lines, qsizetype first, qsizetype count,
             const std::function<PostResult(const QByteArray&)>& post, BatchOutcome* outcome) {
  const PostResult result = post(Body(lines, first, count));
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
  Deliver(lines, first, half, post, outcome);
  if (!outcome->wait) Deliver(lines, first + half, count - half, post, outcome);
}

}  // namespace

BatchOutcome DeliverBatch(const QList<QByteArray>& lines,
                          const std::function<PostResult(const QByteArray& body)>& post) {
  BatchOutcome outcome;
  if (!lines.isEmpty()) Deliver(lines, 0, lines.size(), post, &outcome);
  if (outcome.wait) outcome.rejected.clear();
  return outcome;
}

}  // namespace orva
