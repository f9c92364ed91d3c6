#pragma once

#include "store/sqlite_db.h"

#include <QByteArray>
#include <QString>

namespace orva {

// The communication log: a row for every frame sent to the controller and every answer buffer
// received, written at once and in order. Rows are never changed or deleted.
class CommLog {
 public:
  // Throws DbError when the file or its table "CommLog" is missing.
  static CommLog Open(const QString& path);

  // Appends a row of the given kind ("TX", "rx", "rxE", ...) with the bytes unchanged.
  void LogRow(const QString& kind, const QByteArray& data);

  bool enabled() const { return enabled_; }
  void set_enabled(bool enabled) { enabled_ = enabled; }

 private:
  explicit CommLog(SqliteDb db) : db_(std::move(db)) {}
  SqliteDb db_;
  bool enabled_ = true;
};

// Name of a controller command for messages: "(TX) " for writes (128 and up), "(RX) " else.
QString CommandName(int command);

}  // namespace orva
