#include "delivery/outbox_sender.h"

#include "delivery/batch_delivery.h"
#include "delivery/retry_delay.h"
#include "store/db_error.h"

#include <random>

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
  thread_ = std::thread([this] { Run(); });
}

OutboxSender::~OutboxSender() { Finish(std::chrono::milliseconds(0)); }

void OutboxSender::Configure(const SenderSettings& settings) {
  const std::lock_guard lock(mutex_);
  settings_ = settings;
  changed_.notify_all();
}

void OutboxSender::Wake() {
  const std::lock_guard lock(mutex_);
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

bool OutboxSender::Due(Clock::time_point now, qint64 waiting,
                       std::optional<Clock::time_point>* wake) const {
  if (waiting == 0) return false;
  if (finishing_) return true;
  if (now < next_try_) {
    *wake = next_try_;
    return false;
  }
  const Clock::time_point flush_at = last_send_ + settings_.flush;
  if (waiting >= settings_.batch_records || now >= flush_at) return true;
  *wake = flush_at;
  return false;
}

void OutboxSender::Run() {
  InfluxWriter writer(options_);
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    const qint64 waiting = outbox_.size();
    std::optional<Clock::time_point> wake;
    if (Due(Clock::now(), waiting, &wake)) {
      const int failures_before = failures_;
      SendOne(writer, lock);
      // While finishing, a failed try ends it: the server will not come back within the grace.
      if (finishing_ && failures_ > failures_before) break;
      continue;
    }
    if (finishing_) break;
    if (wake) {
      changed_.wait_until(lock, *wake);
    } else {
      changed_.wait(lock);
    }
  }
  finished_ = true;
  changed_.notify_all();
}

void OutboxSender::SendOne(InfluxWriter& writer, std::unique_lock<std::mutex>& lock) {
  const SenderSettings settings = settings_;
  lock.unlock();
  BatchOutcome outcome;
  OutboxBatch batch;
  QString store_error;
  bool created = false;
  InfluxServer server = destination_();
  try {
    batch = outbox_.Oldest(settings.batch_records, settings.batch_bytes);
    server.access.delivery.precision = batch.precision;
    outcome = DeliverBatch(batch.lines, [&](const QByteArray& body) {
      PostResult result = writer.PostBody(server, body);
      created = created || result.database_created;
      return result;
    });
    if (!outcome.wait) outbox_.Remove(batch, outcome.rejected, WriteUrl(server));
  } catch (const DbError& error) {
    store_error = error.Text();
  }
  lock.lock();
  const Clock::time_point now = Clock::now();
  last_send_ = now;
  if (created) state_.created_database = server.database;
  if (!store_error.isEmpty()) {
    NoteFailure(store_error, std::nullopt, now);
  } else if (outcome.wait) {
    NoteFailure(ProblemText(*outcome.wait), outcome.wait->retry_after, now);
  } else {
    failures_ = 0;
    next_try_ = now;
    state_.problem.clear();
    const qsizetype sent = batch.lines.size() - outcome.rejected.size();
    state_.sent += sent;
    state_.rejected += outcome.rejected.size();
    totals_.sent += sent;
    totals_.rejected += outcome.rejected.size();
    if (sent > 0) totals_.last_sent = QDateTime::currentDateTime();
    if (!outcome.rejected.isEmpty()) state_.rejected_message = outcome.rejected.last().message;
  }
}

void OutboxSender::NoteFailure(const QString& problem,
                               std::optional<std::chrono::seconds> retry_after,
                               Clock::time_point now) {
  if (failures_++ == 0) state_.failing_since = QDateTime::currentDateTime();
  state_.problem = problem;
  next_try_ = now + RetryDelay(failures_, retry_after, unit_random_());
}

}  // namespace orva
