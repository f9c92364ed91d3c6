#include "delivery/outbox_sender.h"

#include "delivery/batch_delivery.h"
#include "delivery/retry_delay.h"
#include "store/db_error.h"

#include <random>
#include <utility>

namespace orva {
namespace {

// Without a reply the server is out of reach, and the why goes in brackets; a reply names its
// own reason (a refused login, a missing database, a failing server).
QString ProblemText(const PostResult& result) {
  if (result.http_status != 0) return result.status_text;
  return result.detail.isEmpty() ? QStringLiteral("InfluxDB unreachable")
                                 : QStringLiteral("InfluxDB unreachable (%1)").arg(result.detail);
}

}  // namespace

// A batch read from the outbox, its body packed once for every post of it.
struct OutboxSender::Batch {
  OutboxBatch records;
  WireBody body;
};

// A batch the server has dealt with, waiting to be deleted.
struct OutboxSender::Stored {
  std::shared_ptr<const Batch> batch;
  QList<RejectedLine> rejected;
  QString server;  // the address that refused the rejected lines
};

struct OutboxSender::Job {
  std::shared_ptr<const Batch> batch;
  InfluxServer server;
};

struct OutboxSender::Posted {
  BatchOutcome outcome;
  InfluxServer server;
  bool created = false;  // the server's database was created for it
};

OutboxSender::OutboxSender(Outbox& outbox, InfluxWriterOptions options, Destination destination,
                           std::function<double()> unit_random)
    : outbox_(outbox),
      options_(std::move(options)),
      destination_(std::move(destination)),
      unit_random_(std::move(unit_random)) {
  if (!unit_random_) {
    unit_random_ = [engine = std::mt19937(std::random_device()())]() mutable {
      return std::uniform_real_distribution<double>(0.0, 1.0)(engine);
    };
  }
  options_.cancelled = [this] { return cancel_.load(); };
  dropped_seen_ = outbox_.dropped();
  post_thread_ = std::thread([this] { PostLoop(); });
  thread_ = std::thread([this] { Run(); });
}

OutboxSender::~OutboxSender() { Finish(std::chrono::milliseconds(0)); }

void OutboxSender::Configure(const SenderSettings& settings) {
  const std::lock_guard lock(mutex_);
  if (settings_ == settings) return;
  settings_ = settings;
  changed_.notify_all();
}

void OutboxSender::Wake() {
  const std::lock_guard lock(mutex_);
  exhausted_ = false;
  changed_.notify_all();
}

DeliveryState OutboxSender::TakeState() {
  const std::lock_guard lock(mutex_);
  DeliveryState state = state_;
  state.waiting = outbox_.size();
  const qint64 dropped = outbox_.dropped();
  state.dropped = dropped - dropped_seen_;
  dropped_seen_ = dropped;
  if (!state.problem.isEmpty()) {
    state.next_try =
        std::max(std::chrono::duration_cast<std::chrono::milliseconds>(next_try_ - Clock::now()),
                 std::chrono::milliseconds(0));
  }
  state_.sent = 0;
  state_.rejected = 0;
  state_.created_database.clear();
  return state;
}

DeliveryFigures OutboxSender::Totals() {
  const std::lock_guard lock(mutex_);
  DeliveryFigures figures = totals_;
  figures.waiting = outbox_.size();
  figures.dropped = outbox_.dropped();
  figures.problem = state_.problem;
  return figures;
}

void OutboxSender::Finish(std::chrono::milliseconds grace) {
  std::unique_lock lock(mutex_);
  if (!thread_.joinable()) return;
  finishing_ = true;
  changed_.notify_all();
  if (!changed_.wait_for(lock, grace, [this] { return finished_; })) {
    stopping_ = true;
    cancel_ = true;  // a post under way ends now
    changed_.notify_all();
  }
  lock.unlock();
  thread_.join();
}

void OutboxSender::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (posted_) Settle(Clock::now());
    if (stopping_ || giving_up_) {
      if (posting_) {
        changed_.wait(lock);
        continue;
      }
      // What the server stored is deleted still, so that it does not go twice.
      if (!stored_.empty() && !store_failing_) DeleteStored(lock);
      break;
    }
    StartPost(lock, Clock::now());
    std::optional<Clock::time_point> wake;
    if (DeleteDue(Clock::now(), &wake)) {
      DeleteStored(lock);
      continue;
    }
    if (ReadDue(Clock::now(), &wake)) {
      ReadAhead(lock);
      continue;
    }
    if (finishing_ && !posting_ && stored_.empty() && ready_.empty() &&
        (exhausted_ || outbox_.size() == 0)) {
      break;
    }
    if (wake) {
      changed_.wait_until(lock, *wake);
    } else {
      changed_.wait(lock);
    }
  }
  post_quit_ = true;
  job_changed_.notify_all();
  lock.unlock();
  post_thread_.join();
  lock.lock();
  finished_ = true;
  changed_.notify_all();
}

void OutboxSender::PostLoop() {
  InfluxWriter writer(options_);
  std::unique_lock lock(mutex_);
  for (;;) {
    job_changed_.wait(lock, [this] { return post_quit_ || job_; });
    if (!job_) break;
    const std::unique_ptr<Job> job = std::move(job_);
    lock.unlock();
    auto posted = std::make_unique<Posted>();
    posted->server = job->server;
    posted->outcome =
        DeliverBatch(job->batch->records.lines, job->batch->body, [&](const WireBody& body) {
          PostResult result = writer.PostBody(job->server, body);
          posted->created = posted->created || result.database_created;
          return result;
        });
    lock.lock();
    posted_ = std::move(posted);
    changed_.notify_all();
  }
}

void OutboxSender::StartPost(std::unique_lock<std::mutex>& lock, Clock::time_point now) {
  if (posting_ || ready_.empty() || store_failing_ || (!finishing_ && now < next_try_)) return;
  // Records of a batch read before the outbox dropped them for room must not go.
  if (ready_.front()->records.first_id <= outbox_.dropped_through()) {
    DropReady();
    return;
  }
  posting_ = ready_.front();
  ready_.pop_front();
  lock.unlock();
  InfluxServer server = destination_();
  lock.lock();
  server.access.delivery.precision = posting_->records.precision;
  job_ = std::make_unique<Job>(Job{posting_, std::move(server)});
  job_changed_.notify_all();
}

void OutboxSender::Settle(Clock::time_point now) {
  const std::unique_ptr<Posted> posted = std::move(posted_);
  const std::shared_ptr<const Batch> batch = std::move(posting_);
  last_send_ = now;
  if (posted->created) state_.created_database = posted->server.database;
  if (const std::optional<PostResult>& wait = posted->outcome.wait) {
    taken_ -= batch->records.lines.size();
    // The batches read after it wait with it.
    DropReady();
    NoteFailure(ProblemText(*wait), wait->retry_after, now);
    return;
  }
  stored_.push_back({batch, posted->outcome.rejected, WriteUrl(posted->server)});
  // A delete that fails is a failure of its own, over only once a delete works.
  if (!store_failing_) NoteSuccess(now);
}

bool OutboxSender::DeleteDue(Clock::time_point now, std::optional<Clock::time_point>* wake) const {
  if (stored_.empty()) return false;
  if (!store_failing_ || finishing_ || now >= next_try_) return true;
  *wake = next_try_;
  return false;
}

void OutboxSender::DeleteStored(std::unique_lock<std::mutex>& lock) {
  // Only this thread adds to stored_, so the batches taken here are its first ones still after.
  const std::deque<Stored> stored = stored_;
  lock.unlock();
  QList<SettledBatch> settled;
  for (const Stored& batch : stored) {
    settled << SettledBatch{&batch.batch->records, batch.rejected, batch.server};
  }
  QString error;
  try {
    outbox_.Remove(settled);
  } catch (const DbError& failure) {
    error = failure.Text();
  }
  lock.lock();
  const Clock::time_point now = Clock::now();
  if (!error.isEmpty()) {
    store_failing_ = true;
    NoteFailure(error, std::nullopt, now);
    return;
  }
  stored_.erase(stored_.begin(), stored_.begin() + static_cast<std::ptrdiff_t>(stored.size()));
  if (store_failing_) {
    store_failing_ = false;
    NoteSuccess(now);
  }
  for (const Stored& batch : stored) {
    const qsizetype lines = batch.batch->records.lines.size();
    const qsizetype sent = lines - batch.rejected.size();
    taken_ -= lines;
    state_.sent += sent;
    state_.rejected += batch.rejected.size();
    totals_.sent += sent;
    totals_.rejected += batch.rejected.size();
    if (sent > 0) totals_.last_sent = QDateTime::currentDateTime();
    if (!batch.rejected.isEmpty()) state_.rejected_message = batch.rejected.last().message;
  }
}

bool OutboxSender::ReadDue(Clock::time_point now, std::optional<Clock::time_point>* wake) {
  if (exhausted_ || store_failing_ || std::ssize(ready_) >= kReadAhead) return false;
  const qint64 untaken = outbox_.size() - taken_;
  if (untaken <= 0) return false;
  if (finishing_) return true;
  if (now < next_try_) {
    *wake = wake->has_value() ? std::min(**wake, next_try_) : next_try_;
    return false;
  }
  const Clock::time_point flush_at = last_send_ + settings_.flush;
  if (untaken >= settings_.batch_records || now >= flush_at) return true;
  *wake = wake->has_value() ? std::min(**wake, flush_at) : flush_at;
  return false;
}

void OutboxSender::ReadAhead(std::unique_lock<std::mutex>& lock) {
  const qint64 after = Cursor();
  const SenderSettings settings = settings_;
  lock.unlock();
  auto batch = std::make_shared<Batch>();
  QString error;
  try {
    batch->records = outbox_.Oldest(settings.batch_records, settings.batch_bytes, after);
    if (!batch->records.empty()) batch->body = PackBody(batch->records.lines.text());
  } catch (const DbError& failure) {
    error = failure.Text();
  }
  lock.lock();
  if (!error.isEmpty()) {
    NoteFailure(error, std::nullopt, Clock::now());
    return;
  }
  if (batch->records.empty()) {
    exhausted_ = true;
    return;
  }
  taken_ += batch->records.lines.size();
  ready_.push_back(std::move(batch));
}

void OutboxSender::DropReady() {
  for (const std::shared_ptr<const Batch>& batch : ready_) taken_ -= batch->records.lines.size();
  ready_.clear();
  exhausted_ = false;
}

qint64 OutboxSender::Cursor() const {
  if (!ready_.empty()) return ready_.back()->records.last_id;
  if (posting_) return posting_->records.last_id;
  if (!stored_.empty()) return stored_.back().batch->records.last_id;
  return 0;
}

void OutboxSender::NoteSuccess(Clock::time_point now) {
  failures_ = 0;
  next_try_ = now;
  state_.problem.clear();
}

void OutboxSender::NoteFailure(const QString& problem,
                               std::optional<std::chrono::seconds> retry_after,
                               Clock::time_point now) {
  if (failures_++ == 0) state_.failing_since = QDateTime::currentDateTime();
  state_.problem = problem;
  next_try_ = now + RetryDelay(failures_, retry_after, unit_random_());
  if (finishing_) giving_up_ = true;
}

}  // namespace orva
