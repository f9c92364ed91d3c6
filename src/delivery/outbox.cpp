#include "delivery/outbox.h"

#include "store/db_error.h"

#include "config/delivery_keys.h"

#include <QDateTime>
#include <QFile>

#include <sqlite3.h>

namespace orva {
namespace {

const QString kSchema = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS Records(Id INTEGER PRIMARY KEY, Precision TEXT NOT NULL,"
    " ReadTime INTEGER NOT NULL, Line TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS Rejected(Id INTEGER PRIMARY KEY, Server TEXT NOT NULL,"
    " ReadTime INTEGER NOT NULL, Line TEXT NOT NULL, Message TEXT NOT NULL,"
    " RejectedAt INTEGER NOT NULL);");

// The outbox of earlier versions kept each record with the settings of the server it was read
// for, as JSON in a table of its own. Its records are taken over with the precision those
// settings named, and go to today's server like any other.
const QString kTakeOverServers = QStringLiteral(
    "CREATE TABLE Taken(Id INTEGER PRIMARY KEY, Precision TEXT NOT NULL,"
    " ReadTime INTEGER NOT NULL, Line TEXT NOT NULL);"
    "INSERT INTO Taken(Id, Precision, ReadTime, Line) SELECT r.Id,"
    " COALESCE(CASE WHEN json_valid(s.Server) THEN json_extract(s.Server, '$.Precision') END,"
    " 'ms'), r.ReadTime, r.Line FROM Records r LEFT JOIN Servers s ON s.Id = r.Server;"
    "DROP TABLE Records;"
    "DROP TABLE Servers;"
    "ALTER TABLE Taken RENAME TO Records;");

// A transaction that rolls back unless committed, so a failed statement leaves nothing half done.
// Its statements are kept prepared: a tick's commit would parse them anew each time.
class Transaction {
 public:
  explicit Transaction(SqliteDb& db) : db_(db) { db_.Execute(QStringLiteral("BEGIN IMMEDIATE")); }
  ~Transaction() {
    if (!committed_) sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit() {
    db_.Execute(QStringLiteral("COMMIT"));
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
  void Bind(int index, QByteArrayView text) {
    Check(sqlite3_bind_text64(statement_, index, text.data(),
                              static_cast<sqlite3_uint64>(text.size()), SQLITE_STATIC,
                              SQLITE_UTF8));
  }
  // Runs a statement that returns no rows, ready to be bound and run again.
  void Run() {
    Next();
    Check(sqlite3_reset(statement_));
  }
  bool Next() {
    const int code = sqlite3_step(statement_);
    if (code == SQLITE_ROW) return true;
    if (code != SQLITE_DONE) Check(code);
    return false;
  }
  qint64 Integer(int column) const { return sqlite3_column_int64(statement_, column); }
  QByteArrayView Bytes(int column) const {
    return QByteArrayView(static_cast<const char*>(sqlite3_column_blob(statement_, column)),
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

bool IsDamage(const DbError& error) {
  const int code = error.number() & 0xff;
  return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

// Room made at once for a batch's text, per record: a line of a module's record takes about 100
// bytes; a longer one makes the buffer grow.
constexpr qint64 kBytesPerRecord = 128;

// Opens the outbox as this version keeps it; throws DbError, for damage too.
SqliteDb OpenSound(const QString& path) {
  // The outbox's mutex keeps its threads apart.
  SqliteDb db = SqliteDb::Create(path, true);
  // Every commit reaches the disk before it returns: a record counts as read once it is here.
  db.Exec(QStringLiteral("PRAGMA synchronous=FULL"));
  if (db.HasTable(QStringLiteral("Servers"))) {
    Transaction transaction(db);
    db.Exec(kTakeOverServers);
    transaction.Commit();
  }
  db.Exec(kSchema);
  // Damage found now costs a fresh outbox; found in the middle of a scan, it would cost ticks.
  const QString check = db.QueryFirst(QStringLiteral("PRAGMA quick_check"))
                            ->Text(QStringLiteral("quick_check"))
                            .value_or(QString());
  if (check != QLatin1String("ok"))
    throw DbError(SQLITE_CORRUPT, path + QStringLiteral(": ") + check);
  return db;
}

// Moves a damaged outbox, with its log, out of the way under a name with the time; returns the
// new name.
QString SetAside(const QString& path) {
  const QString aside =
      path + QDateTime::currentDateTime().toString(QStringLiteral("'.damaged-'yyyyMMdd-HHmmss"));
  for (const QString& suffix : {QString(), QStringLiteral("-wal")}) {
    QFile::remove(aside + suffix);
    if (QFile::exists(path + suffix) && !QFile::rename(path + suffix, aside + suffix)) {
      throw DbError(SQLITE_CANTOPEN,
                    QStringLiteral("%1 is damaged and cannot be moved aside").arg(path));
    }
  }
  QFile::remove(path + QStringLiteral("-shm"));
  return aside;
}

SqliteDb OpenOrSetAside(const QString& path, QString* set_aside) {
  try {
    return OpenSound(path);
  } catch (const DbError& error) {
    if (!IsDamage(error)) throw;
  }
  *set_aside = SetAside(path);
  return OpenSound(path);
}

TimePrecision PrecisionOfName(QByteArrayView name) {
  for (const TimePrecision precision :
       {TimePrecision::kSeconds, TimePrecision::kMicroseconds, TimePrecision::kNanoseconds}) {
    if (name == PrecisionName(precision).toLatin1()) return precision;
  }
  return TimePrecision::kMilliseconds;
}

}  // namespace

Outbox::Outbox(const QString& path, qint64 limit)
    : db_(OpenOrSetAside(path, &set_aside_)), limit_(limit) {
  size_ = CountRecords(db_);
}

void Outbox::Add(TimePrecision precision, const QList<StampedRecord>& records) {
  if (records.isEmpty()) return;
  const std::lock_guard lock(mutex_);
  Transaction transaction(db_);
  const QByteArray name = PrecisionName(precision).toLatin1();
  {
    RowReader insert(db_.handle(),
                     "INSERT INTO Records(Precision, ReadTime, Line) VALUES(?1, ?2, ?3)",
                     db_.path());
    insert.Bind(1, QByteArrayView(name));
    for (const StampedRecord& record : records) {
      insert.Bind(2, record.read_ms);
      insert.Bind(3, QByteArrayView(record.line));
      insert.Run();
    }
  }
  const qint64 excess = size_ + records.size() - limit_;
  if (excess > 0) DropOldest(excess);
  transaction.Commit();
  size_ += records.size() - std::max<qint64>(excess, 0);
  dropped_ += std::max<qint64>(excess, 0);
}

void Outbox::DropOldest(qint64 count) {
  const std::optional<Record> last = db_.QueryFirst(
      QStringLiteral("SELECT Id FROM Records ORDER BY Id LIMIT 1 OFFSET ?"), {count - 1});
  if (!last) return;
  const qint64 through = last->Integer(QStringLiteral("Id")).value_or(0);
  db_.Execute(QStringLiteral("DELETE FROM Records WHERE Id <= ?"), {through});
  dropped_through_ = std::max(dropped_through_, through);
}

OutboxBatch Outbox::Oldest(qint64 max_records, qint64 max_bytes, qint64 after_id) {
  const std::lock_guard lock(mutex_);
  OutboxBatch batch;
  RowReader reader(
      db_.handle(),
      "SELECT Id, Precision, ReadTime, Line FROM Records WHERE Id > ? ORDER BY Id LIMIT ?",
      db_.path());
  reader.Bind(1, after_id);
  reader.Bind(2, max_records);
  QByteArray precision;
  while (reader.Next()) {
    const QByteArrayView line = reader.Bytes(3);
    if (batch.empty()) {
      precision = reader.Bytes(1).toByteArray();
      batch.precision = PrecisionOfName(precision);
      batch.first_id = reader.Integer(0);
      const qint64 records = std::min(max_records, size_);
      batch.lines.Reserve(std::min(max_bytes, records * kBytesPerRecord));
      batch.read_ms.reserve(records);
    } else if (reader.Bytes(1) != precision || batch.lines.bytes() + line.size() + 1 > max_bytes) {
      break;
    }
    batch.last_id = reader.Integer(0);
    batch.lines.Append(line);
    batch.read_ms << reader.Integer(2);
  }
  return batch;
}

void Outbox::Remove(const QList<SettledBatch>& settled) {
  if (settled.isEmpty()) return;
  const std::lock_guard lock(mutex_);
  Transaction transaction(db_);
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  bool rejected = false;
  for (const SettledBatch& done : settled) {
    for (const RejectedLine& line : done.rejected) {
      db_.Execute(
          QStringLiteral("INSERT INTO Rejected(Server, ReadTime, Line, Message, RejectedAt) "
                         "VALUES(?, ?, ?, ?, ?)"),
          {done.server, done.batch->read_ms.value(line.index),
           QString::fromUtf8(done.batch->lines.Line(line.index)), line.message, now});
      rejected = true;
    }
  }
  if (rejected) {
    db_.Execute(
        QStringLiteral("DELETE FROM Rejected WHERE Id <= (SELECT MAX(Id) FROM Rejected) - ?"),
        {kRejectedKept});
  }
  // The batches are the oldest records, one after the other, each starting after the one before;
  // those of them dropped meanwhile are gone already, and records added meanwhile come after
  // them. One range deletes them all.
  qint64 first = settled.front().batch->first_id;
  qint64 last = settled.front().batch->last_id;
  for (const SettledBatch& done : settled) {
    first = std::min(first, done.batch->first_id);
    last = std::max(last, done.batch->last_id);
  }
  const qint64 removed =
      db_.Execute(QStringLiteral("DELETE FROM Records WHERE Id BETWEEN ? AND ?"), {first, last});
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

qint64 Outbox::dropped_through() const {
  const std::lock_guard lock(mutex_);
  return dropped_through_;
}

OutboxContents Outbox::Contents(const QString& path, int refused_lines) {
  SqliteDb db = SqliteDb::OpenReadOnly(path);
  OutboxContents contents;
  if (!db.HasTable(QStringLiteral("Records"))) return contents;
  // An outbox of an earlier version not yet taken over says nothing of its precisions.
  const QString precision =
      db.HasTable(QStringLiteral("Servers")) ? QStringLiteral("'ms'") : QStringLiteral("Precision");
  for (const Record& row : db.Query(QStringLiteral("SELECT %1 AS p, COUNT(*) AS n, MIN(ReadTime) "
                                                   "AS oldest, MAX(ReadTime) AS newest FROM "
                                                   "Records GROUP BY 1 ORDER BY MIN(Id)")
                                        .arg(precision))) {
    contents.waiting << OutboxContents::Waiting{row.Text(QStringLiteral("p")).value_or(QString()),
                                                row.Integer(QStringLiteral("n")).value_or(0),
                                                row.Integer(QStringLiteral("oldest")).value_or(0),
                                                row.Integer(QStringLiteral("newest")).value_or(0)};
  }
  if (!db.HasTable(QStringLiteral("Rejected"))) return contents;
  for (const Record& row :
       db.Query(QStringLiteral("SELECT Server, ReadTime, Line, Message FROM Rejected "
                               "ORDER BY Id DESC LIMIT ?"),
                {refused_lines})) {
    contents.refused << OutboxContents::Refused{
        row.Text(QStringLiteral("Server")).value_or(QString()),
        row.Integer(QStringLiteral("ReadTime")).value_or(0),
        row.Text(QStringLiteral("Line")).value_or(QString()).toUtf8(),
        row.Text(QStringLiteral("Message")).value_or(QString())};
  }
  return contents;
}

qint64 Outbox::Clear(const QString& path) {
  SqliteDb db = SqliteDb::OpenExisting(path);
  return db.Execute(QStringLiteral("DELETE FROM Records"));
}

}  // namespace orva
