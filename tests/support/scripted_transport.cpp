#include "scripted_transport.h"

#include <algorithm>

namespace orva::test {

void ScriptedTransport::Inject(const QByteArray& bytes) {
  pending_.push_back({clock_.Now(), bytes});
}

int ScriptedTransport::Open(const TransportTarget& target) {
  opened_ << target.address;
  if (refused_.contains(target.address)) return 100;
  open_ = true;
  return 0;
}

void ScriptedTransport::Close() {
  ++close_count_;
  open_ = false;
  pending_.clear();
}

bool ScriptedTransport::Send(const QByteArray& bytes) {
  if (!open_) return false;
  sent_.push_back(bytes);
  Reply reply;
  if (!queued_.empty()) {
    reply = std::move(queued_.front());
    queued_.pop_front();
  } else if (responder_) {
    reply = responder_(bytes);
  }
  for (const Piece& piece : reply) pending_.push_back({clock_.Now() + piece.delay, piece.bytes});
  std::stable_sort(pending_.begin(), pending_.end(),
                   [](const Pending& a, const Pending& b) { return a.due < b.due; });
  if (drop_after_reply_) {
    drop_after_reply_ = false;
    drop_when_delivered_ = true;
  }
  return true;
}

QByteArray ScriptedTransport::TakeDue() {
  QByteArray bytes;
  auto it = pending_.begin();
  while (it != pending_.end() && it->due <= clock_.Now()) {
    bytes.append(it->bytes);
    it = pending_.erase(it);
  }
  if (drop_when_delivered_ && pending_.empty()) {
    drop_when_delivered_ = false;
    open_ = false;
  }
  return bytes;
}

QByteArray ScriptedTransport::ReadAvailable(double wait_seconds) {
  QByteArray due = TakeDue();
  if (!due.isEmpty() || !open_ || wait_seconds <= 0) {
    waits_.push_back(0);
    return due;
  }
  waits_.push_back(wait_seconds);
  if (!pending_.empty() && pending_.front().due <= clock_.Now() + wait_seconds) {
    clock_.AdvanceTo(pending_.front().due);
    return TakeDue();
  }
  clock_.Sleep(wait_seconds);
  return {};
}

}  // namespace orva::test
