#include "delivery/outbox.h"

#include "store/db_error.h"

#include <QDateTime>

#include <sqlite3.h>

namespace orva {
namespace {

const QString kSchema = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS Servers(Id INTEGER PRIMARY KEY, Server TEXT NOT NULL UNIQUE);"
    "CREATE TABLE IF NOT EXISTS Records(Id INTEGER PRIMARY KEY, Server INTEGER NOT NULL,"
    " ReadTime INTEGER NOT NULL, Line TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS Rejected(Id INTEGER PRIMARY KEY, Server TEXT NOT NULL,"
    " ReadTime INTEGER NOT NULL, Line TEXT NOT NULL, Message TEXT NOT NULL,"
    " RejectedAt INTEGER NOT NULL);");

// A transaction that rolls back unless committed, so a failed statement leaves nothing half done.
class Transaction {
 public:
  explicit Transaction(SqliteDb& db) : db_(db) { db_.Exec(QStringLiteral("BEGIN IMMEDIATE")); }
  ~Transaction() {
    if (!committed_) sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit() {
    db_.Exec(QStringLiteral("COMMIT"));
    committed_ = true;
  }

 private:
  SqliteDb& db_;
  bool committed_ = false;
};

// A prepared statement of its own, for reading many rows without a Record per row.
class RowReader {
 public:
  RowReader(sqlite3* db, const char* sql, const QString& path) : db_(db), path_(path) {
    Check(sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr));
  }
  ~RowReader() { sqlite3_finalize(statement_); }
  RowReader(const RowReader&) = delete;
  RowReader& operator=(const RowReader&) = delete;

  void Bind(int index, qint64 value) { Check(sqlite3_bind_int64(statement_, index, value)); }
  bool Next() {
    const int code = sqlite3_step(statement_);
    if (code == SQLITE_ROW) return true;
    if (code != SQLITE_DONE) Check(code);
    return false;
  }
  qint64 Integer(int column) const { return sqlite3_column_int64(statement_, column); }
  QByteArray Bytes(int column) const {
    return QByteArray(static_cast<const char*>(sqlite3_column_blob(statement_, column)),
                      sqlite3_column_bytes(statement_, column));
  }

 private:
  void Check(int code) const {
    if (code == SQLITE_OK) return;
    throw DbError(code,
                  QStringLiteral("%1 (%2)").arg(QString::fromUtf8(sqlite3_errmsg(db_)), path_));
  }

  sqlite3* db_;
  QString path_;
  sqlite3_stmt* statement_ = nullptr;
};

qint64 CountRecords(SqliteDb& db) {
  return db.QueryFirst(QStringLiteral("SELECT COUNT(*) AS n FROM Records"))
      ->Integer(QStringLiteral("n"))
      .value_or(0);
}

}  // namespace

Outbox::Outbox(const QString& path, qint64 limit) : db_(SqliteDb::Create(path)), limit_(limit) {
  // Every commit reaches the disk before it returns: a record counts as read once it is here.
  db_.Exec(QStringLiteral("PRAGMA synchronous=FULL"));
  db_.Exec(kSchema);
  size_ = CountRecords(db_);
}

qint64 Outbox::Waiting(const QString& path) {
  SqliteDb db = SqliteDb::OpenReadOnly(path);
  return CountRecords(db);
}

qint64 Outbox::ServerId(const QString& server) {
  db_.Execute(QStringLiteral("INSERT OR IGNORE INTO Servers(Server) VALUES(?)"), {server});
  return *db_.QueryFirst(QStringLiteral("SELECT Id FROM Servers WHERE Server = ?"), {server})
              ->Integer(QStringLiteral("Id"));
}

void Outbox::Add(const QString& server, const QList<StampedRecord>& records) {
  if (records.isEmpty()) return;
  const std::lock_guard lock(mutex_);
  Transaction transaction(db_);
  const qint64 server_id = ServerId(server);
  for (const StampedRecord& record : records) {
    db_.Execute(QStringLiteral("INSERT INTO Records(Server, ReadTime, Line) VALUES(?, ?, ?)"),
                {server_id, record.read_ms, QString::fromUtf8(record.line)});
  }
  const qint64 excess = size_ + records.size() - limit_;
  if (excess > 0) DropOldest(excess);
  transaction.Commit();
  size_ += records.size() - std::max<qint64>(excess, 0);
  dropped_ += std::max<qint64>(excess, 0);
}

void Outbox::DropOldest(qint64 count) {
  db_.Execute(QStringLiteral("DELETE FROM Records WHERE Id IN "
                             "(SELECT Id FROM Records ORDER BY Id LIMIT ?)"),
              {count});
}

OutboxBatch Outbox::Oldest(qint64 max_records, qint64 max_bytes) {
  const std::lock_guard lock(mutex_);
  OutboxBatch batch;
  RowReader reader(db_.handle(),
                   "SELECT r.Id, r.Server, r.ReadTime, r.Line, s.Server FROM Records r "
                   "JOIN Servers s ON s.Id = r.Server ORDER BY r.Id LIMIT ?",
                   db_.path());
  reader.Bind(1, max_records);
  qint64 server_id = -1;
  qint64 bytes = 0;
  while (reader.Next()) {
    const QByteArray line = reader.Bytes(3);
    if (server_id == -1) {
      server_id = reader.Integer(1);
      batch.server = QString::fromUtf8(reader.Bytes(4));
      batch.first_id = reader.Integer(0);
    } else if (reader.Integer(1) != server_id || bytes + line.size() + 1 > max_bytes) {
      break;
    }
    bytes += line.size() + 1;
    batch.last_id = reader.Integer(0);
    batch.lines << line;
    batch.read_ms << reader.Integer(2);
  }
  return batch;
}

void Outbox::Remove(const OutboxBatch& batch, const QList<RejectedLine>& rejected) {
  if (batch.empty()) return;
  const std::lock_guard lock(mutex_);
  Transaction transaction(db_);
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  for (const RejectedLine& line : rejected) {
    db_.Execute(QStringLiteral("INSERT INTO Rejected(Server, ReadTime, Line, Message, RejectedAt) "
                               "VALUES(?, ?, ?, ?, ?)"),
                {batch.server, batch.read_ms.value(line.index),
                 QString::fromUtf8(batch.lines.value(line.index)), line.message, now});
  }
  if (!rejected.isEmpty()) {
    db_.Execute(
        QStringLiteral("DELETE FROM Rejected WHERE Id <= (SELECT MAX(Id) FROM Rejected) - ?"),
        {kRejectedKept});
  }
  // The batch is one server's oldest records; those of it dropped meanwhile are gone already.
  const qint64 removed =
      db_.Execute(QStringLiteral("DELETE FROM Records WHERE Id BETWEEN ? AND ? AND Server = "
                                 "(SELECT Id FROM Servers WHERE Server = ?)"),
                  {batch.first_id, batch.last_id, batch.server});
  transaction.Commit();
  size_ -= removed;
}

void Outbox::set_limit(qint64 limit) {
  const std::lock_guard lock(mutex_);
  limit_ = limit;
}

qint64 Outbox::size() const {
  const std::lock_guard lock(mutex_);
  return size_;
}

qint64 Outbox::dropped() const {
  const std::lock_guard lock(mutex_);
  return dropped_;
}

std::optional<qint64> Outbox::OldestReadMs() {
  const std::lock_guard lock(mutex_);
  const std::optional<Record> row =
      db_.QueryFirst(QStringLiteral("SELECT ReadTime FROM Records ORDER BY Id LIMIT 1"));
  return row ? row->Integer(QStringLiteral("ReadTime")) : std::nullopt;
}

}  // namespace orva
