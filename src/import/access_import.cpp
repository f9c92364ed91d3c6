#include "import/access_import.h"

#include "import/access_reader.h"
#include "store/db_error.h"
#include "store/sqlite_db.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sqlite3.h>

#include <memory>

namespace orva {
namespace {

constexpr int kAlreadyExists = 3204;  // Jet's number for it

struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

void CheckTarget(const QString& path) {
  const QFileInfo info(path);
  if (info.exists() && (!info.isFile() || info.size() > 0)) {
    throw DbError(kAlreadyExists,
                  QStringLiteral("Cannot import into '%1': it already exists").arg(path),
                  QStringLiteral("libmdb"));
  }
}

void RemoveDatabaseFiles(const QString& path) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    QFile::remove(path + QLatin1String(suffix));
  }
}

QString DeclaredType(const AccessColumn& column) {
  switch (column.type) {
    case AccessType::kBoolean:
      return QStringLiteral("BOOLEAN");
    case AccessType::kByte:
      return QStringLiteral("TINYINT");
    case AccessType::kInteger:
      return QStringLiteral("SMALLINT");
    case AccessType::kLong:
    case AccessType::kComplex:
      return QStringLiteral("INTEGER");
    // Not CURRENCY: that name gives numeric affinity, which would store 14.0 as the integer 14.
    case AccessType::kCurrency:
      return QStringLiteral("REAL");
    case AccessType::kSingle:
      return QStringLiteral("FLOAT");
    case AccessType::kDouble:
      return QStringLiteral("DOUBLE");
    case AccessType::kDateTime:
      return QStringLiteral("DATETIME");
    case AccessType::kText:
      return QStringLiteral("VARCHAR(%1)").arg(column.text_size);
    case AccessType::kMemo:
      return QStringLiteral("TEXT");
    case AccessType::kReplicationId:
      return QStringLiteral("VARCHAR(38)");
    case AccessType::kDecimal:
      return QStringLiteral("DECIMAL(%1,%2)").arg(column.precision).arg(column.scale);
    case AccessType::kBinary:
    case AccessType::kOle:
      break;
  }
  return QStringLiteral("BLOB");
}

// Writes the rows of one table through one prepared statement.
class TableWriter {
 public:
  TableWriter(SqliteDb& db, const QString& table, const std::vector<AccessColumn>& columns)
      : db_(db) {
    QStringList definitions;
    QStringList markers;
    for (const AccessColumn& column : columns) {
      definitions << SqliteDb::QuoteName(column.name) + QLatin1Char(' ') + DeclaredType(column);
      markers << QStringLiteral("?");
    }
    const QString name = SqliteDb::QuoteName(table);
    db_.Exec(
        QStringLiteral("CREATE TABLE %1 (%2)").arg(name, definitions.join(QStringLiteral(", "))));
    const QByteArray sql = QStringLiteral("INSERT INTO %1 VALUES (%2)")
                               .arg(name, markers.join(QLatin1Char(',')))
                               .toUtf8();
    sqlite3_stmt* raw = nullptr;
    Check(sqlite3_prepare_v2(db_.handle(), sql.constData(), -1, &raw, nullptr));
    insert_.reset(raw);
  }

  void Write(const std::vector<AccessValue>& values) {
    sqlite3_stmt* statement = insert_.get();
    for (size_t i = 0; i < values.size(); ++i) Bind(statement, static_cast<int>(i) + 1, values[i]);
    const int code = sqlite3_step(statement);
    if (code != SQLITE_DONE) Fail(code);
    sqlite3_reset(statement);
  }

 private:
  void Bind(sqlite3_stmt* statement, int index, const AccessValue& value) {
    if (const auto* integer = std::get_if<qint64>(&value)) {
      Check(sqlite3_bind_int64(statement, index, *integer));
    } else if (const auto* real = std::get_if<double>(&value)) {
      Check(sqlite3_bind_double(statement, index, *real));
    } else if (const auto* text = std::get_if<QString>(&value)) {
      const QByteArray utf8 = text->toUtf8();
      Check(sqlite3_bind_text64(statement, index, utf8.constData(),
                                static_cast<sqlite3_uint64>(utf8.size()), SQLITE_TRANSIENT,
                                SQLITE_UTF8));
    } else if (const auto* bytes = std::get_if<QByteArray>(&value)) {
      Check(sqlite3_bind_blob64(statement, index, bytes->constData(),
                                static_cast<sqlite3_uint64>(bytes->size()), SQLITE_TRANSIENT));
    } else {
      Check(sqlite3_bind_null(statement, index));
    }
  }

  void Check(int code) const {
    if (code != SQLITE_OK) Fail(code);
  }

  [[noreturn]] void Fail(int code) const {
    throw DbError(code, QFileInfo(db_.path()).fileName() + QStringLiteral(": ") +
                            QString::fromUtf8(sqlite3_errmsg(db_.handle())));
  }

  SqliteDb& db_;
  Statement insert_;
};

void ImportInto(AccessReader& reader, const QString& sqlite_path) {
  SqliteDb db = SqliteDb::Create(sqlite_path);
  db.Exec(QStringLiteral("BEGIN"));
  for (const QString& table : reader.TableNames()) {
    std::unique_ptr<TableWriter> writer;
    reader.ReadTable(
        table,
        [&](const std::vector<AccessColumn>& columns) {
          writer = std::make_unique<TableWriter>(db, table, columns);
        },
        [&](const std::vector<AccessValue>& values) { writer->Write(values); });
  }
  db.Exec(QStringLiteral("COMMIT"));
}

}  // namespace

void ImportAccessDatabase(const QString& access_path, const QString& sqlite_path) {
  AccessReader reader(access_path);
  CheckTarget(sqlite_path);
  try {
    ImportInto(reader, sqlite_path);
  } catch (...) {
    RemoveDatabaseFiles(sqlite_path);
    throw;
  }
}

}  // namespace orva
