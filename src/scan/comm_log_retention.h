#pragma once

#include <QTimer>

namespace orva {

class CommLog;

// Keeps the communication log to its last days while scanning. The oldest rows go in batches
// between ticks: a tick that falls due meanwhile waits for one batch at most, and a log that is
// far behind (a first start on a log of months) catches up batch by batch with a pause between
// them. Deleted rows leave free pages that new rows fill; the file is never vacuumed here.
// Lives in the scan thread.
class CommLogRetention {
 public:
  // Rows per batch; bench/comm_log_bench measures what one costs.
  static constexpr int kBatchRows = 200;

  explicit CommLogRetention(CommLog& log);

  // Called after every tick with the days the configuration asks for (0: keep every row).
  void AfterTick(double days);

 private:
  void DeleteBatch();

  CommLog& log_;
  double days_ = 0;
  QTimer timer_;
};

}  // namespace orva
