#pragma once

#include "store/sqlite_db.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <vector>

namespace orva {

// The communication log: a row for every frame sent to the controller and every answer buffer
// received, in order, each stamped with the time it was logged. Rows are written at once, or,
// within a batch (a scan tick), all together in one transaction when the batch ends: SQLite's
// locking and the write-ahead file's writes cost far more per transaction than per row. A crash
// loses the rows of the batch under way, no more. Rows are never changed; old ones may be
// deleted.
class CommLog {
 public:
  // Throws DbError when the file or its table "CommLog" is missing.
  static CommLog Open(const QString& path);

  CommLog(CommLog&&) = default;
  // Between batches only: the rows of this log's open batch would be lost.
  CommLog& operator=(CommLog&&) = default;
  // Writes the rows of a batch left open.
  ~CommLog();

  // Appends a row of the given kind ("TX", "rx", "rxE", ...) with the bytes unchanged. A row
  // that cannot be written (a full disk, a read-only file) is counted and left out: the log is
  // a diagnosis aid and must not stop the scan.
  void LogRow(const QString& kind, const QByteArray& data);

  // Rows logged from now on wait, in memory, for EndBatch() (at most kBatchRows of them: more
  // are written then and there).
  void BeginBatch() { batching_ = true; }
  // Writes the rows of the batch in one transaction; from now on each row is written at once.
  void EndBatch();
  static constexpr size_t kBatchRows = 1000;

  // Deletes up to `limit` of the oldest rows, those among them written before `cutoff`, and
  // returns how many went. The oldest are found by their row number, so a batch costs the same
  // however long the log is. A delete that fails deletes nothing: the next one tries again.
  // Until the cutoff passes the oldest stamp among the `limit` oldest rows, nothing is asked of
  // the file: there is nothing to delete.
  int DeleteOlderThan(const QDateTime& cutoff, int limit);

  // Hears once when rows start failing (red) and once when they are written again.
  void set_reporter(std::function<void(const QString& text, bool red)> reporter) {
    reporter_ = std::move(reporter);
  }

  bool enabled() const { return enabled_; }
  void set_enabled(bool enabled) { enabled_ = enabled; }

 private:
  struct Row {
    QString stamp;
    QString kind;
    QByteArray data;
  };

  explicit CommLog(SqliteDb db) : db_(std::move(db)) {}
  void Report(const QString& text, bool red) const {
    if (reporter_) reporter_(text, red);
  }
  // Writes the rows waiting, in one transaction: all of them or, counted as lost, none.
  void WritePending();

  SqliteDb db_;
  bool batching_ = false;
  std::vector<Row> pending_;
  bool enabled_ = true;
  std::function<void(const QString&, bool)> reporter_;
  qint64 rows_lost_ = 0;  // since the rows started failing; 0 while they are written
  // No row of the oldest ones is stamped before this; empty when not known.
  QString none_before_;
};

// Keeps the rows a communication log is given in one batch while it lives (a scan tick).
class CommLogBatch {
 public:
  explicit CommLogBatch(CommLog& log) : log_(log) { log_.BeginBatch(); }
  ~CommLogBatch() { log_.EndBatch(); }
  CommLogBatch(const CommLogBatch&) = delete;
  CommLogBatch& operator=(const CommLogBatch&) = delete;

 private:
  CommLog& log_;
};

// Name of a controller command for messages: "(TX) " for writes (128 and up), "(RX) " else.
QString CommandName(int command);

}  // namespace orva
