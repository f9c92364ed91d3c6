#pragma once

#include "store/record.h"

#include <QString>
#include <QVariantList>

#include <map>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace orva {

// One connection to an SQLite database file, in WAL mode. A connection belongs to the thread
// that opened it; every other thread opens its own. Failures throw DbError naming the file.
class SqliteDb {
 public:
  // Opens an existing database for reading and writing.
  static SqliteDb OpenExisting(const QString& path);
  // Opens an existing database for reading only; nothing is ever written to the file.
  static SqliteDb OpenReadOnly(const QString& path);
  // Opens a database for reading only, as it lies on disk: nothing may change it meanwhile.
  // SQLite then makes no files beside it, which it needs for a database in WAL mode otherwise,
  // so it may lie in a folder this user cannot write.
  static SqliteDb OpenImmutable(const QString& path);
  // Opens a database, creating an empty one when the file does not exist. `own_mutex`: the
  // caller keeps any two threads from using the connection at once, so SQLite need not lock
  // a mutex of its own at every call (for a step and each column read of every row).
  static SqliteDb Create(const QString& path, bool own_mutex = false);

  SqliteDb(SqliteDb&& other) noexcept;
  SqliteDb& operator=(SqliteDb&& other) noexcept;
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;
  ~SqliteDb();

  // Runs one or more statements without parameters.
  void Exec(const QString& sql);
  // Runs one statement; an invalid QVariant binds NULL. Returns the rows it yields.
  std::vector<Record> Query(const QString& sql, const QVariantList& params = {});
  std::optional<Record> QueryFirst(const QString& sql, const QVariantList& params = {});
  // Runs one statement that changes data; returns the number of rows changed.
  int Execute(const QString& sql, const QVariantList& params = {});

  bool HasTable(const QString& table);
  // Throws DbError naming the table and this file when the table does not exist.
  void RequireTable(const QString& table);
  // Table names in the order they were created.
  std::vector<QString> TableNames();
  // The defined size of a text column (the n of VARCHAR(n)); nullopt when it has none.
  std::optional<int> TextFieldSize(const QString& table, const QString& column);

  const QString& path() const { return path_; }
  sqlite3* handle() const { return db_; }

  // Quotes a table or column name for use in SQL text.
  static QString QuoteName(const QString& name);

 private:
  SqliteDb(sqlite3* db, QString path);
  struct StatementDeleter {
    void operator()(sqlite3_stmt* statement) const;
  };
  using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

  // `uri_query`, e.g. "immutable=1", opens `path` as an SQLite URI with those parameters.
  static SqliteDb Open(const QString& path, int flags, const char* uri_query = nullptr);
  [[noreturn]] void Fail(int code) const;
  sqlite3_stmt* Prepare(const QString& sql);
  void Close();

  sqlite3* db_ = nullptr;
  QString path_;
  // Statements are kept prepared: the communication log writes a row per frame.
  std::map<QString, Statement> statements_;
};

}  // namespace orva
