#pragma once

#include "store/sqlite_db.h"

#include <optional>

namespace orva {

// The reference database ("init2.orva"): output mode names and the message texts.
class ReferenceDb {
 public:
  // Throws DbError when the file or one of its tables "mode", "talen", "locaties" is missing.
  static ReferenceDb Open(const QString& path);

  // Name ("Naam") of an output mode; nullopt when the table has no such mode or no name.
  std::optional<QString> ModeName(qint64 mode_id);
  // Text of a key in one language column; nullopt when the key or the text is missing.
  std::optional<QString> Text(int key, const QString& column);

 private:
  explicit ReferenceDb(SqliteDb db) : db_(std::move(db)) {}
  SqliteDb db_;
};

}  // namespace orva
