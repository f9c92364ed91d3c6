#include "delivery/reply_class.h"

namespace orva {

ReplyClass ClassifyReply(int http_status) {
  if (http_status >= 200 && http_status < 300) return ReplyClass::kStored;
  if (http_status == 0 || http_status == 408 || http_status == 429 || http_status >= 500) {
    return ReplyClass::kRetry;
  }
  if (http_status == 413) return ReplyClass::kTooLarge;
  if (http_status == 400 || http_status == 422) return ReplyClass::kBadLines;
  // A login refused, a database not there yet, or an answer not meant for a write: the user can
  // put it right, and every record is still wanted then.
  return ReplyClass::kRefused;
}

}  // namespace orva
