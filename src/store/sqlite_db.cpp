#include "store/sqlite_db.h"

#include "store/db_error.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <sqlite3.h>

#include <memory>

namespace orva {
namespace {

constexpr int kBusyTimeoutMs = 5000;

QString FileName(const QString& path) { return QFileInfo(path).fileName(); }

DbValue ColumnValue(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
      return std::nullopt;
    case SQLITE_INTEGER:
      return QVariant(static_cast<qint64>(sqlite3_column_int64(statement, column)));
    case SQLITE_FLOAT:
      return QVariant(sqlite3_column_double(statement, column));
    case SQLITE_BLOB: {
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
      return QVariant(QByteArray(bytes, sqlite3_column_bytes(statement, column)));
    }
    default: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
      return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(statement, column)));
    }
  }
}

int Bind(sqlite3_stmt* statement, int index, const QVariant& value) {
  if (!value.isValid() || value.isNull()) return sqlite3_bind_null(statement, index);
  switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar:
      return sqlite3_bind_int64(statement, index, value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
      return sqlite3_bind_double(statement, index, value.toDouble());
    case QMetaType::QByteArray: {
      const QByteArray bytes = value.toByteArray();
      // An empty blob is still a value, never NULL.
      if (bytes.isEmpty()) return sqlite3_bind_zeroblob(statement, index, 0);
      return sqlite3_bind_blob64(statement, index, bytes.constData(), bytes.size(),
                                 SQLITE_TRANSIENT);
    }
    default: {
      const QByteArray text = value.toString().toUtf8();
      if (text.isEmpty()) return sqlite3_bind_text(statement, index, "", 0, SQLITE_STATIC);
      return sqlite3_bind_text64(statement, index, text.constData(), text.size(), SQLITE_TRANSIENT,
                                 SQLITE_UTF8);
    }
  }
}

}  // namespace

SqliteDb SqliteDb::Open(const QString& path, int flags, const char* uri_query) {
  if (!(flags & SQLITE_OPEN_CREATE) && !QFileInfo(path).isFile()) {
    throw DbError(SQLITE_CANTOPEN, QStringLiteral("Could not find file '%1'").arg(path));
  }
  const QByteArray name =
      uri_query
          ? QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded() + '?' + uri_query
          : path.toUtf8();
  sqlite3* raw = nullptr;
  const int code = sqlite3_open_v2(name.constData(), &raw, flags | SQLITE_OPEN_URI, nullptr);
  SqliteDb db(raw, path);
  if (code != SQLITE_OK) db.Fail(code);
  sqlite3_extended_result_codes(raw, 1);
  sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  // Left on, a quoted column name that a table lacks reads as a text of that name instead of
  // failing; a missing language column would then come back as a message text.
  sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  // Reading the schema proves the file is a database at all.
  db.Query(QStringLiteral("PRAGMA schema_version"));
  return db;
}

SqliteDb SqliteDb::OpenExisting(const QString& path) {
  SqliteDb db = Open(path, SQLITE_OPEN_READWRITE);
  db.Exec(QStringLiteral("PRAGMA journal_mode=WAL"));
  return db;
}

SqliteDb SqliteDb::OpenReadOnly(const QString& path) { return Open(path, SQLITE_OPEN_READONLY); }

SqliteDb SqliteDb::OpenImmutable(const QString& path) {
  return Open(path, SQLITE_OPEN_READONLY, "immutable=1");
}

SqliteDb SqliteDb::Create(const QString& path, bool own_mutex) {
  SqliteDb db = Open(
      path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | (own_mutex ? SQLITE_OPEN_NOMUTEX : 0));
  db.Exec(QStringLiteral("PRAGMA journal_mode=WAL"));
  return db;
}

void SqliteDb::StatementDeleter::operator()(sqlite3_stmt* statement) const {
  sqlite3_finalize(statement);
}

SqliteDb::SqliteDb(sqlite3* db, QString path) : db_(db), path_(std::move(path)) {}

SqliteDb::SqliteDb(SqliteDb&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)),
      path_(std::move(other.path_)),
      statements_(std::move(other.statements_)) {}

SqliteDb& SqliteDb::operator=(SqliteDb&& other) noexcept {
  if (this != &other) {
    Close();
    db_ = std::exchange(other.db_, nullptr);
    path_ = std::move(other.path_);
    statements_ = std::move(other.statements_);
  }
  return *this;
}

SqliteDb::~SqliteDb() { Close(); }

void SqliteDb::Close() {
  statements_.clear();
  sqlite3_close(db_);
  db_ = nullptr;
}

void SqliteDb::Fail(int code) const {
  const QString message =
      db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(code));
  throw DbError(code, FileName(path_) + QStringLiteral(": ") + message);
}

void SqliteDb::Exec(const QString& sql) {
  const int code = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) Fail(code);
}

sqlite3_stmt* SqliteDb::Prepare(const QString& sql) {
  auto found = statements_.find(sql);
  if (found != statements_.end()) return found->second.get();
  sqlite3_stmt* raw = nullptr;
  const QByteArray text = sql.toUtf8();
  const int code = sqlite3_prepare_v3(db_, text.constData(), static_cast<int>(text.size()),
                                      SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
  if (code != SQLITE_OK) Fail(code);
  return statements_.emplace(sql, Statement(raw)).first->second.get();
}

std::vector<Record> SqliteDb::Query(const QString& sql, const QVariantList& params) {
  sqlite3_stmt* raw = Prepare(sql);
  // Leaves the statement reusable whichever way this call ends.
  struct Reset {
    sqlite3_stmt* statement;
    ~Reset() {
      sqlite3_reset(statement);
      sqlite3_clear_bindings(statement);
    }
  } reset{raw};
  int code = SQLITE_OK;
  for (int i = 0; i < params.size(); ++i) {
    code = Bind(raw, i + 1, params[i]);
    if (code != SQLITE_OK) Fail(code);
  }
  std::vector<Record> rows;
  const int columns = sqlite3_column_count(raw);
  while ((code = sqlite3_step(raw)) == SQLITE_ROW) {
    Record row;
    for (int c = 0; c < columns; ++c) {
      row.Add(QString::fromUtf8(sqlite3_column_name(raw, c)), ColumnValue(raw, c));
    }
    rows.push_back(std::move(row));
  }
  if (code != SQLITE_DONE) Fail(code);
  return rows;
}

std::optional<Record> SqliteDb::QueryFirst(const QString& sql, const QVariantList& params) {
  std::vector<Record> rows = Query(sql, params);
  if (rows.empty()) return std::nullopt;
  return std::move(rows.front());
}

int SqliteDb::Execute(const QString& sql, const QVariantList& params) {
  Query(sql, params);
  return sqlite3_changes(db_);
}

bool SqliteDb::HasTable(const QString& table) {
  return QueryFirst(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND "
                                   "name = ?1 COLLATE NOCASE"),
                    {table})
      .has_value();
}

void SqliteDb::RequireTable(const QString& table) {
  if (!HasTable(table)) {
    throw DbError(SQLITE_ERROR, FileName(path_) + QStringLiteral(": no such table: ") + table);
  }
}

std::vector<QString> SqliteDb::TableNames() {
  std::vector<QString> names;
  for (const Record& row :
       Query(QStringLiteral("SELECT name FROM sqlite_master WHERE type = "
                            "'table' AND name NOT LIKE 'sqlite_%' ORDER BY rowid"))) {
    names.push_back(*row.Text(u"name"));
  }
  return names;
}

std::optional<int> SqliteDb::TextFieldSize(const QString& table, const QString& column) {
  static const QRegularExpression kSize(QStringLiteral(R"(\(\s*(\d+)\s*\))"));
  for (const Record& row : Query(QStringLiteral("PRAGMA table_info(%1)").arg(QuoteName(table)))) {
    if (row.Text(u"name")->compare(column, Qt::CaseInsensitive) != 0) continue;
    const QRegularExpressionMatch match = kSize.match(row.Text(u"type").value_or(QString()));
    if (match.hasMatch()) return match.captured(1).toInt();
    return std::nullopt;
  }
  throw DbError(SQLITE_ERROR,
                FileName(path_) + QStringLiteral(": no such column: %1.%2").arg(table, column));
}

QString SqliteDb::QuoteName(const QString& name) {
  QString quoted = name;
  quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace orva
