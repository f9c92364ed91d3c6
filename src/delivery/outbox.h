#pragma once

#include "config/scan_configuration.h"
#include "delivery/line_batch.h"
#include "store/sqlite_db.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <mutex>

namespace orva {

// A record as it waits for the server: its line protocol with the time stamp at the end, and
// when its value was read (milliseconds since the epoch).
struct StampedRecord {
  QByteArray line;
  qint64 read_ms = 0;
};

// Records one after the other in the outbox, all of one time stamp precision, as the sender
// posts them: their lines in one buffer.
struct OutboxBatch {
  TimePrecision precision = TimePrecision::kMilliseconds;
  LineBatch lines;
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

// A batch the server has dealt with: what it refused for good, and the address that refused it.
struct SettledBatch {
  const OutboxBatch* batch = nullptr;
  QList<RejectedLine> rejected;
  QString server;
};

// What waits in an outbox file, for `--outbox`.
struct OutboxContents {
  struct Waiting {
    QString precision;  // "ms", "s", "us", "ns"
    qint64 count = 0;
    qint64 oldest_ms = 0;
    qint64 newest_ms = 0;
  };
  struct Refused {
    QString server;
    qint64 read_ms = 0;
    QByteArray line;
    QString message;
  };
  QList<Waiting> waiting;  // per precision
  QList<Refused> refused;  // the last lines the server refused, newest first
};

// Records on their way to the server, in an SQLite file (WAL, each commit synced to disk): a
// record added is there after a crash or a power cut, until the server has stored it. A record
// keeps only what its line needs, the unit of its time stamp: it goes to whichever server the
// settings name when it is sent. Safe to use from several threads.
//
// Tables (for a look with sqlite3): Records(Id, Precision, ReadTime, Line) oldest first;
// Rejected(Id, Server, ReadTime, Line, Message, RejectedAt) the last 10,000 lines a server
// refused for good, with the address that refused them.
class Outbox {
 public:
  // Opens the file, creating it when missing. A file that is not a sound outbox is set aside
  // (see set_aside()) and a fresh one takes its place. Throws DbError.
  Outbox(const QString& path, qint64 limit);

  // One tick's records, in one transaction: all of them or, when a statement fails, none. When
  // the outbox then holds more than its limit, the oldest records go, counted in dropped().
  // Throws DbError.
  void Add(TimePrecision precision, const QList<StampedRecord>& records);
  // The oldest records after the record `after_id` (0: the oldest of all), up to `max_records`
  // and `max_bytes` of lines (a single larger line comes alone), all of the precision of the
  // first of them. Empty when there are none.
  OutboxBatch Oldest(qint64 max_records, qint64 max_bytes, qint64 after_id = 0);
  // Deletes batches the server has dealt with, in one transaction; the rejected lines move to
  // the rejected table with the address of the server that refused them. The batches are runs of
  // the oldest records, one after the other, as Oldest gave them.
  void Remove(const QList<SettledBatch>& settled);
  void Remove(const OutboxBatch& batch, const QList<RejectedLine>& rejected,
              const QString& server) {
    Remove({SettledBatch{&batch, rejected, server}});
  }

  void set_limit(qint64 limit);
  qint64 size() const;
  // Records dropped for room since the outbox was opened.
  qint64 dropped() const;
  // The newest record dropped for room since the outbox was opened; 0 when none was. A batch
  // read before the drop that starts at or before it has lost records.
  qint64 dropped_through() const;
  // Where a damaged file found at opening was moved; empty when none was.
  const QString& set_aside() const { return set_aside_; }

  // What waits in the outbox file at `path`, read without writing to it; throws DbError.
  static OutboxContents Contents(const QString& path, int refused_lines);
  // Deletes every record waiting in the outbox file at `path`; how many there were.
  static qint64 Clear(const QString& path);

  static constexpr qint64 kRejectedKept = 10'000;

 private:
  void DropOldest(qint64 count);

  mutable std::mutex mutex_;
  QString set_aside_;
  SqliteDb db_;
  qint64 limit_;
  qint64 size_ = 0;
  qint64 dropped_ = 0;
  qint64 dropped_through_ = 0;
};

}  // namespace orva
