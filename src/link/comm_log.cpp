#include "link/comm_log.h"

#include "store/language_texts.h"

#include "store/db_error.h"

#include <QDateTime>
#include <QFileInfo>

#include <sqlite3.h>

namespace orva {
namespace {

QString BareCommandName(int code) {
  switch (code) {
    case 0:
      return QStringLiteral("SERVICE");
    case 1:
      return QStringLiteral("KTX Param.");
    case 2:
      return QStringLiteral("Address Param.");
    case 3:
      return QStringLiteral("Work Text");
    case 4:
      return QStringLiteral("Address Text");
    case 6:
      return QStringLiteral("Clock");
    case 7:
      return QStringLiteral("KTX Versie");
    case 9:
      return QStringLiteral("SD FAT");
    case 13:
      return QStringLiteral("Upgrade KTX");
    case 14:
      return QStringLiteral("Clear KTX");
    case 15:
      return QStringLiteral("Reboot KTX");
    case 16:
      return QStringLiteral("Preset Clear");
    case 17:
      return QStringLiteral("Preset");
    case 18:
      return QStringLiteral("Mini Preset");
    case 19:
      return QStringLiteral("Preset Param.");
    case 24:
      return QStringLiteral("Switch Time");
    case 32:
      return QStringLiteral("Logic");
    case 33:
      return QStringLiteral("LOGIC Analog");
    case 34:
      return QStringLiteral("DB Jaga");
    case 40:
      return QStringLiteral("ModuleSram");
    case 41:
      return QStringLiteral("ModuleEeprom");
    case 42:
      return QStringLiteral("ModuleFlash");
    case 49:
      return QStringLiteral("Remote Menu");
    case 50:
      return QStringLiteral("Remote Conv.");
    case 51:
      return QStringLiteral("Remote Extended");
    case 56:
      return QStringLiteral("Status");
    case 57:
      return QStringLiteral("Channel");
    case 62:
      return QStringLiteral("Simul.");
    case 65:
      return QStringLiteral("SD Service");
    case 66:
      return QStringLiteral("SD Module");
    case 67:
      return QStringLiteral("SD Header");
    case 68:
      return QStringLiteral("SD Database");
    case 70:
      return QStringLiteral("Copy Data from SD to ") + kControllerModel;
    case 71:
      return QStringLiteral("Copy Data from ") + kControllerModel + QStringLiteral(" to SD");
    case 80:
      return QStringLiteral("JOB");
    case 127:
      return QString();
    default:
      return QStringLiteral("???");
  }
}

// Writes `value` as `digits` decimal digits, with leading zeros.
void PutDigits(char* at, int value, int digits) {
  for (int i = digits - 1; i >= 0; --i, value /= 10) at[i] = static_cast<char>('0' + value % 10);
}

// Rows are stamped in local time, as text that sorts in time order: what
// toString(Qt::ISODateWithMs) gives, without reading a format for every frame.
QString StampText(const QDateTime& time) {
  const QDate date = time.date();
  const QTime clock = time.time();
  char text[] = "0000-00-00T00:00:00.000";
  PutDigits(text, date.year(), 4);
  PutDigits(text + 5, date.month(), 2);
  PutDigits(text + 8, date.day(), 2);
  PutDigits(text + 11, clock.hour(), 2);
  PutDigits(text + 14, clock.minute(), 2);
  PutDigits(text + 17, clock.second(), 2);
  PutDigits(text + 20, clock.msec(), 3);
  return QString::fromLatin1(text, sizeof text - 1);
}

}  // namespace

CommLog CommLog::Open(const QString& path) {
  SqliteDb db = SqliteDb::OpenExisting(path);
  db.RequireTable(QStringLiteral("CommLog"));
  // A log row per frame must not wait for the disk; WAL keeps the file consistent anyway.
  db.Exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
  // Whichever write fills the write-ahead file copies it into the database. Kept to 100 pages
  // (400 kB) that copy stays a few milliseconds, where the default 1000 pages held a tick or a
  // batch of the retention's deleting up for 40 to 80 ms.
  db.Exec(QStringLiteral("PRAGMA wal_autocheckpoint=100"));
  return CommLog(std::move(db));
}

CommLog::~CommLog() {
  if (!pending_.empty()) WritePending();
}

void CommLog::LogRow(const QString& kind, const QByteArray& data) {
  if (!enabled_) return;
  pending_.push_back({StampText(QDateTime::currentDateTime()), kind, data});
  if (!batching_ || pending_.size() >= kBatchRows) WritePending();
}

void CommLog::EndBatch() {
  batching_ = false;
  if (!pending_.empty()) WritePending();
}

void CommLog::WritePending() {
  const qint64 rows = static_cast<qint64>(pending_.size());
  try {
    // One row needs no transaction of its own; several share one. Run as statements kept
    // prepared, not parsed anew each time.
    if (rows > 1) db_.Execute(QStringLiteral("BEGIN"));
    try {
      for (const Row& row : pending_) {
        db_.Execute(
            QStringLiteral("INSERT INTO CommLog (TimeStamp, Soort, Data) VALUES (?1, ?2, ?3)"),
            {row.stamp, row.kind, row.data});
      }
      if (rows > 1) db_.Execute(QStringLiteral("COMMIT"));
    } catch (const DbError&) {
      if (rows > 1) sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  } catch (const DbError& error) {
    pending_.clear();
    if (rows_lost_ == 0) {
      Report(QStringLiteral("%1 cannot be written (%2); the scan goes on without its log")
                 .arg(QFileInfo(db_.path()).fileName(), error.description()),
             true);
    }
    rows_lost_ += rows;
    return;
  }
  pending_.clear();
  if (rows_lost_ > 0) {
    Report(QStringLiteral("%1 is written again; %2 rows were not logged")
               .arg(QFileInfo(db_.path()).fileName())
               .arg(rows_lost_),
           false);
    rows_lost_ = 0;
  }
}

int CommLog::DeleteOlderThan(const QDateTime& cutoff, int limit) {
  const QString stamp = StampText(cutoff.toLocalTime());
  if (!none_before_.isEmpty() && stamp <= none_before_) return 0;
  try {
    const int deleted =
        db_.Execute(QStringLiteral("DELETE FROM CommLog WHERE id IN (SELECT id FROM CommLog "
                                   "ORDER BY id LIMIT ?2) AND TimeStamp < ?1"),
                    {stamp, limit});
    if (deleted < limit) {
      // Rows come later with later stamps: only a delete changes the oldest ones. An empty log
      // gets no row before now.
      none_before_ =
          db_.QueryFirst(QStringLiteral("SELECT MIN(TimeStamp) AS t FROM (SELECT TimeStamp FROM "
                                        "CommLog ORDER BY id LIMIT ?1)"),
                         {limit})
              ->Text(QStringLiteral("t"))
              .value_or(stamp);
    }
    return deleted;
  } catch (const DbError&) {
    return 0;
  }
}

QString CommandName(int command) {
  const QString direction = command >= 128 ? QStringLiteral("(TX) ") : QStringLiteral("(RX) ");
  return direction + BareCommandName(command & 0x7F);
}

}  // namespace orva
