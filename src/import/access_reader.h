#pragma once

#include "import/database_file_kind.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <variant>
#include <vector>

namespace orva {

// The column types of Access, by the codes the file stores.
enum class AccessType {
  kBoolean = 0x01,
  kByte = 0x02,
  kInteger = 0x03,
  kLong = 0x04,
  kCurrency = 0x05,
  kSingle = 0x06,
  kDouble = 0x07,
  kDateTime = 0x08,
  kBinary = 0x09,
  kText = 0x0A,
  kOle = 0x0B,
  kMemo = 0x0C,
  kReplicationId = 0x0F,
  kDecimal = 0x10,
  kComplex = 0x12,
};

struct AccessColumn {
  QString name;
  AccessType type;
  int text_size = 0;  // characters a text column may hold; 0 for other types
  int precision = 0;  // of a decimal column
  int scale = 0;
};

// One value as read: NULL, a whole number, a real number, text or bytes. Dates are text
// ("YYYY-MM-DD HH:MM:SS"), except a value outside the years 1 to 9999, which stays the real
// number Access stores. A decimal is its text. Yes/No is 0 or 1.
using AccessValue = std::variant<std::monostate, qint64, double, QString, QByteArray>;

// Reads the user tables of an Access file (Jet 3, Jet 4, ACE) through libmdb, read-only.
// libmdb reads whatever the pages say and may stop early without a word; this reader checks
// the file's size, reads the catalog itself and counts every table's rows against the count
// the table declares, so a truncated or damaged file throws DbError (source "libmdb", naming
// the file) instead of giving fewer tables or rows.
class AccessReader {
 public:
  explicit AccessReader(const QString& path);
  ~AccessReader();
  AccessReader(const AccessReader&) = delete;
  AccessReader& operator=(const AccessReader&) = delete;

  DatabaseFileKind kind() const;
  // The user tables (no MSys* system tables), in catalog order.
  QStringList TableNames() const;

  // Reads one table of TableNames(): hands over its columns, then every row in stored order.
  void ReadTable(const QString& table,
                 const std::function<void(const std::vector<AccessColumn>&)>& on_columns,
                 const std::function<void(const std::vector<AccessValue>&)>& on_row);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orva
