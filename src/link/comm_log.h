#pragma once

#include "store/sqlite_db.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

namespace orva {

// The communication log: a row for every frame sent to the controller and every answer buffer
// received, written at once and in order. Rows are never changed; old ones may be deleted.
class CommLog {
 public:
  // Throws DbError when the file or its table "CommLog" is missing.
  static CommLog Open(const QString& path);

  // Appends a row of the given kind ("TX", "rx", "rxE", ...) with the bytes unchanged. A row
  // that cannot be written (a full disk, a read-only file) is counted and left out: the log is
  // a diagnosis aid and must not stop the scan.
  void LogRow(const QString& kind, const QByteArray& data);

  // Deletes up to `limit` of the oldest rows, those among them written before `cutoff`, and
  // returns how many went. The oldest are found by their row number, so a batch costs the same
  // however long the log is. A delete that fails deletes nothing: the next one tries again.
  int DeleteOlderThan(const QDateTime& cutoff, int limit);

  // Hears once when rows start failing (red) and once when they are written again.
  void set_reporter(std::function<void(const QString& text, bool red)> reporter) {
    reporter_ = std::move(reporter);
  }

  bool enabled() const { return enabled_; }
  void set_enabled(bool enabled) { enabled_ = enabled; }

 private:
  explicit CommLog(SqliteDb db) : db_(std::move(db)) {}
  void Report(const QString& text, bool red) const {
    if (reporter_) reporter_(text, red);
  }

  SqliteDb db_;
  bool enabled_ = true;
  std::function<void(const QString&, bool)> reporter_;
  qint64 rows_lost_ = 0;  // since the rows started failing; 0 while they are written
};

// Name of a controller command for messages: "(TX) " for writes (128 and up), "(RX) " else.
QString CommandName(int command);

}  // namespace orva
