#pragma once

#include "delivery/delivery_figures.h"
#include "delivery/influx_writer.h"
#include "delivery/outbox.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace orva {

struct SenderSettings {
  qint64 batch_records = 5'000;
  qint64 batch_bytes = 1 << 20;
  // The longest a record waits for its batch to fill.
  std::chrono::milliseconds flush{1000};

  bool operator==(const SenderSettings&) const = default;
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

// Posts the outbox to the server in threads of its own: the oldest records first, in batches of
// up to `batch_records` records or `batch_bytes`, as soon as a batch is full and otherwise at
// least every `flush`. A batch leaves the outbox only once the server stored it (or rejected
// lines of it for good); any other reply keeps it, and the next try waits (RetryDelay), as
// long as it takes. Records waiting from an earlier run go first, as soon as the sender starts.
// Every batch goes to the server the settings name at the moment it is posted, so that mended
// settings carry every waiting record with them.
//
// The sender works while the server does: one thread posts, one batch at a time on one kept
// connection, so batches arrive in the order of the outbox; the other reads the next batches
// (up to kReadAhead) and compresses them while a post is under way, and deletes the batches the
// server has stored, those that came back meanwhile in one transaction. A kill may thus send
// again the batch under way and the one whose delete had not been committed, never more.
class OutboxSender {
 public:
  using Destination = std::function<InfluxServer()>;

  // Batches read and packed ahead of the one being posted, at most.
  static constexpr int kReadAhead = 2;

  // `destination` gives the server as the settings name it now; it is called in the sender's
  // thread, as each batch is posted. `unit_random` gives numbers from 0 to 1 for the spread of
  // the waits.
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
  // then ends the threads. What is left stays in the outbox for the next start.
  void Finish(std::chrono::milliseconds grace);

 private:
  using Clock = std::chrono::steady_clock;
  struct Batch;
  struct Stored;
  struct Job;
  struct Posted;

  // The sender's thread: reads, compresses and deletes, and hands each batch to the poster.
  void Run();
  // The posting thread: one batch at a time, its halves included.
  void PostLoop();
  // Hands the next batch read to the posting thread, when it may go.
  void StartPost(std::unique_lock<std::mutex>& lock, Clock::time_point now);
  // Takes in what the posting thread made of its batch.
  void Settle(Clock::time_point now);
  bool DeleteDue(Clock::time_point now, std::optional<Clock::time_point>* wake) const;
  void DeleteStored(std::unique_lock<std::mutex>& lock);
  // Whether the next batch should be read now; else, when to look again (nullopt: when woken).
  bool ReadDue(Clock::time_point now, std::optional<Clock::time_point>* wake);
  void ReadAhead(std::unique_lock<std::mutex>& lock);
  // The batches read but not posted are given up; they are read again when their turn comes.
  void DropReady();
  // The last record of the newest batch taken from the outbox and not yet deleted; 0: none.
  qint64 Cursor() const;
  void NoteSuccess(Clock::time_point now);
  void NoteFailure(const QString& problem, std::optional<std::chrono::seconds> retry_after,
                   Clock::time_point now);

  Outbox& outbox_;
  InfluxWriterOptions options_;
  Destination destination_;
  std::function<double()> unit_random_;

  std::mutex mutex_;
  // The sender's thread waits on `changed_`, the posting thread on `job_changed_`: a tick's
  // records wake only the one that reads them.
  std::condition_variable changed_;
  std::condition_variable job_changed_;
  SenderSettings settings_;
  bool finishing_ = false;
  bool stopping_ = false;
  bool finished_ = false;
  // While finishing, a failed try ends it: the server will not come back within the grace.
  bool giving_up_ = false;
  std::atomic<bool> cancel_{false};
  Clock::time_point last_send_{};
  Clock::time_point next_try_{};
  int failures_ = 0;
  DeliveryState state_;
  qint64 dropped_seen_ = 0;
  DeliveryFigures totals_;  // sent, rejected and the last post

  // Batches on their way, oldest first: stored by the server and not yet deleted, being posted,
  // read and waiting for their post. Only the sender's thread changes them.
  std::deque<Stored> stored_;
  std::shared_ptr<const Batch> posting_;
  std::deque<std::shared_ptr<const Batch>> ready_;
  qint64 taken_ = 0;                // records in those batches
  bool exhausted_ = false;          // the last read found nothing after the cursor
  bool store_failing_ = false;      // the latest delete failed; nothing is posted until one works
  std::unique_ptr<Job> job_;        // for the posting thread
  std::unique_ptr<Posted> posted_;  // from it
  bool post_quit_ = false;
  std::thread post_thread_;
  std::thread thread_;
};

}  // namespace orva
