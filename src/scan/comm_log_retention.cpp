#include "scan/comm_log_retention.h"

#include "link/comm_log.h"

#include <QDateTime>

#include <cmath>

namespace orva {
namespace {

// Between two batches of a log that is catching up, so that the deleting takes at most about
// half of the scan thread's time.
constexpr int kPauseMs = 20;
constexpr double kMsPerDay = 24.0 * 3600 * 1000;

}  // namespace

CommLogRetention::CommLogRetention(CommLog& log) : log_(log) {
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { DeleteBatch(); });
}

void CommLogRetention::AfterTick(double days) {
  days_ = days;
  if (days_ > 0 && !timer_.isActive()) timer_.start(0);
}

void CommLogRetention::DeleteBatch() {
  if (days_ <= 0) return;
  const QDateTime cutoff =
      QDateTime::currentDateTime().addMSecs(-static_cast<qint64>(std::llround(days_ * kMsPerDay)));
  if (log_.DeleteOlderThan(cutoff, kBatchRows) == kBatchRows) timer_.start(kPauseMs);
}

}  // namespace orva
