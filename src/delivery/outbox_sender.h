#pragma once

#include "delivery/delivery_figures.h"
#include "delivery/influx_writer.h"
#include "delivery/outbox.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace orva {

struct SenderSettings {
  qint64 batch_records = 5'000;
  qint64 batch_bytes = 1 << 20;
  // The longest a record waits for its batch to fill.
  std::chrono::milliseconds flush{1000};
};

// How delivery stands, for the status line.
struct DeliveryState {
  qint64 waiting = 0;        // records in the outbox
  qint64 sent = 0;           // records the server stored since the state was taken before
  qint64 dropped = 0;        // records dropped for room since the state was taken before
  qint64 rejected = 0;       // lines the server refused for good since the state was taken before
  QString rejected_message;  // the server's words for the latest of them
  // Why the latest try failed; empty while the server takes the records.
  QString problem;
  // The database the sender created since the state was taken before; empty when it did not.
  QString created_database;
  QDateTime failing_since;                // the first failure of this run of failures
  std::chrono::milliseconds next_try{0};  // from when the state was taken
};

// Posts the outbox to the server in a thread of its own: the oldest records first, in batches of
// up to `batch_records` records or `batch_bytes`, as soon as a batch is full and otherwise at
// least every `flush`. A batch leaves the outbox only once the server stored it (or rejected
// lines of it for good); any other reply keeps it, and the next try waits (RetryDelay), as
// long as it takes. Records waiting from an earlier run go first, as soon as the sender starts.
// Every batch goes to the server the settings name at the moment it is sent, so that mended
// settings carry every waiting record with them.
class OutboxSender {
 public:
  using Destination = std::function<InfluxServer()>;

  // `destination` gives the server as the settings name it now; it is called in the sender's
  // thread. `unit_random` gives numbers from 0 to 1 for the spread of the waits.
  OutboxSender(Outbox& outbox, InfluxWriterOptions options, Destination destination,
               std::function<double()> unit_random = {});
  // Finish(0).
  ~OutboxSender();
  OutboxSender(const OutboxSender&) = delete;
  OutboxSender& operator=(const OutboxSender&) = delete;

  void Configure(const SenderSettings& settings);
  // Records were added: a full batch goes at once.
  void Wake();
  // The state now; the counts since the previous call.
  DeliveryState TakeState();
  // What the sender has done since it started, and how the outbox stands.
  DeliveryFigures Totals();
  // Sends at once, whatever the wait, until the outbox is empty, a try fails or `grace` is over;
  // then ends the thread. What is left stays in the outbox for the next start.
  void Finish(std::chrono::milliseconds grace);

 private:
  using Clock = std::chrono::steady_clock;

  void Run();
  // Whether a batch should go now; else, when to look again (nullopt: when woken).
  bool Due(Clock::time_point now, qint64 waiting, std::optional<Clock::time_point>* wake) const;
  void SendOne(InfluxWriter& writer, std::unique_lock<std::mutex>& lock);
  void NoteFailure(const QString& problem, std::optional<std::chrono::seconds> retry_after,
                   Clock::time_point now);

  Outbox& outbox_;
  InfluxWriterOptions options_;
  Destination destination_;
  std::function<double()> unit_random_;

  std::mutex mutex_;
  std::condition_variable changed_;
  SenderSettings settings_;
  bool finishing_ = false;
  bool stopping_ = false;
  bool finished_ = false;
  std::atomic<bool> cancel_{false};
  Clock::time_point last_send_{};
  Clock::time_point next_try_{};
  int failures_ = 0;
  DeliveryState state_;
  qint64 dropped_seen_ = 0;
  DeliveryFigures totals_;  // sent, rejected and the last post
  std::thread thread_;
};

}  // namespace orva
