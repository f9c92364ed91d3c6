#pragma once

#include "store/sqlite_db.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <mutex>
#include <optional>

namespace orva {

// A record as it waits for the server: its line protocol with the time stamp at the end, and
// when its value was read (milliseconds since the epoch).
struct StampedRecord {
  QByteArray line;
  qint64 read_ms = 0;
};

// The oldest records of one server, as the sender posts them.
struct OutboxBatch {
  QString server;  // the server's key (see ServerKey)
  QList<QByteArray> lines;
  QList<qint64> read_ms;
  qint64 first_id = 0;
  qint64 last_id = 0;

  bool empty() const { return lines.isEmpty(); }
};

// A line of a batch the server will never take, and the server's words for it.
struct RejectedLine {
  qsizetype index = 0;  // in the batch
  QString message;
};

// Records on their way to the server, in an SQLite file (WAL, each commit synced to disk): a
// record added is there after a crash or a power cut, until the server has stored it. Records
// keep the key of the server they were read for, so that a changed configuration never sends
// them elsewhere. Safe to use from several threads.
//
// Tables (for a look with sqlite3): Servers(Id, Server) the server keys; Records(Id, Server,
// ReadTime, Line) oldest first; Rejected(Id, Server, ReadTime, Line, Message, RejectedAt) the
// last 10,000 lines a server refused for good.
class Outbox {
 public:
  // Opens the file, creating it when missing; throws DbError.
  Outbox(const QString& path, qint64 limit);

  // One tick's records for one server, in one transaction. When the outbox then holds more than
  // its limit, the oldest records go, counted in dropped(). Throws DbError.
  void Add(const QString& server, const QList<StampedRecord>& records);
  // The oldest records, up to `max_records` and `max_bytes` of lines (a single larger line comes
  // alone), all of the server of the oldest record. Empty when the outbox is.
  OutboxBatch Oldest(qint64 max_records, qint64 max_bytes);
  // Deletes a batch the server has dealt with; its `rejected` lines move to the rejected table.
  void Remove(const OutboxBatch& batch, const QList<RejectedLine>& rejected);

  void set_limit(qint64 limit);
  qint64 size() const;
  // Records dropped for room since the outbox was opened.
  qint64 dropped() const;
  // The read time of the oldest record waiting; nullopt when none waits.
  std::optional<qint64> OldestReadMs();

  // The records waiting in the outbox file at `path`, read without writing to it; throws DbError.
  static qint64 Waiting(const QString& path);

  static constexpr qint64 kRejectedKept = 10'000;

 private:
  qint64 ServerId(const QString& server);
  void DropOldest(qint64 count);

  mutable std::mutex mutex_;
  SqliteDb db_;
  qint64 limit_;
  qint64 size_ = 0;
  qint64 dropped_ = 0;
};

}  // namespace orva
