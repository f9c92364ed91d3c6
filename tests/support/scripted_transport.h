#pragma once

#include "link/transport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace orva::test {

// Time that moves only when the code under test waits: a 3 s time-out passes at once.
class FakeClock : public Clock {
 public:
  double Now() override { return now_; }
  void Sleep(double seconds) override { now_ += seconds > 0 ? seconds : 0; }
  void AdvanceTo(double when) { now_ = when > now_ ? when : now_; }

 private:
  double now_ = 1000.0;
};

// A peer that answers from a script. Every sent packet takes the next queued reply, or else asks
// the responder; a reply is a list of pieces, each due a given time after the send.
class ScriptedTransport : public Transport {
 public:
  struct Piece {
    double delay = 0;
    QByteArray bytes;
  };
  using Reply = std::vector<Piece>;
  using Responder = std::function<Reply(const QByteArray& sent)>;

  explicit ScriptedTransport(FakeClock& clock) : clock_(clock) {}

  void QueueReply(Reply reply) { queued_.push_back(std::move(reply)); }
  void QueueReply(const QByteArray& bytes) { QueueReply(Reply{{0, bytes}}); }
  // A send that finds no queued reply gets silence.
  void QueueSilence() { QueueReply(Reply{}); }
  void SetResponder(Responder responder) { responder_ = std::move(responder); }
  // Bytes that are there before anything is sent.
  void Inject(const QByteArray& bytes);
  // The peer hangs up: the transport reports closed, as a socket after the peer's FIN.
  void DropConnection() { open_ = false; }
  // The peer hangs up right after sending the reply to the next packet.
  void DropAfterNextReply() { drop_after_reply_ = true; }
  // Open() fails for these targets.
  void RefuseTarget(const QString& address) { refused_ << address; }

  int Open(const TransportTarget& target) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  bool Send(const QByteArray& bytes) override;
  QByteArray ReadAvailable(double wait_seconds) override;

  // Forgets what was sent and waited so far, to look at one transaction only.
  void ForgetTraffic() {
    sent_.clear();
    waits_.clear();
  }
  const std::vector<QByteArray>& sent() const { return sent_; }
  // The targets opened so far, kept across ForgetTraffic() until ForgetOpened().
  const QStringList& opened() const { return opened_; }
  void ForgetOpened() { opened_.clear(); }
  int close_count() const { return close_count_; }
  // Waits the code under test asked for, in seconds; a wait that found bytes counts as zero.
  const std::vector<double>& waits() const { return waits_; }

 private:
  struct Pending {
    double due;
    QByteArray bytes;
  };
  QByteArray TakeDue();

  FakeClock& clock_;
  std::deque<Reply> queued_;
  Responder responder_;
  std::vector<Pending> pending_;
  std::vector<QByteArray> sent_;
  std::vector<double> waits_;
  QStringList opened_;
  QStringList refused_;
  bool open_ = false;
  bool drop_after_reply_ = false;
  bool drop_when_delivered_ = false;
  int close_count_ = 0;
};

}  // namespace orva::test
