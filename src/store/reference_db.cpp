#include "store/reference_db.h"

namespace orva {

ReferenceDb ReferenceDb::Open(const QString& path) {
  SqliteDb db = SqliteDb::OpenImmutable(path);
  for (const char* table : {"mode", "talen", "locaties"}) db.RequireTable(QLatin1String(table));
  return ReferenceDb(std::move(db));
}

std::optional<QString> ReferenceDb::ModeName(qint64 mode_id) {
  const std::optional<Record> mode =
      db_.QueryFirst(QStringLiteral("SELECT Naam FROM mode WHERE id = ?1"), {mode_id});
  if (!mode) return std::nullopt;
  return mode->Text(u"Naam");
}

std::optional<QString> ReferenceDb::Text(int key, const QString& column) {
  const std::optional<Record> row = db_.QueryFirst(
      QStringLiteral("SELECT %1 AS text FROM talen WHERE id = ?1").arg(SqliteDb::QuoteName(column)),
      {key});
  if (!row) return std::nullopt;
  return row->Text(u"text");
}

}  // namespace orva
