#pragma once

namespace orva {

// What a reply to a batch of records means for the records in the outbox.
enum class ReplyClass {
  kStored,    // 2xx: delete them
  kRetry,     // no reply, a time-out, 408, 429, 5xx: keep them, wait and try again
  kTooLarge,  // 413: send the batch again in halves
  kBadLines,  // 400, 422: some lines are bad; halve down to them, store the rest
  kRefused,   // 401, 403, 404 and any other answer: keep them, show why, wait and try again
};

// `http_status` is 0 when no reply arrived.
ReplyClass ClassifyReply(int http_status);

}  // namespace orva
