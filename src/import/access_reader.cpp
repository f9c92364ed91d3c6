#include "import/access_reader.h"

#include "import/access_value.h"
#include "store/db_error.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <mdbtools.h>

#include <cstring>

namespace orva {
namespace {

const QString kSource = QStringLiteral("libmdb");
// The numbers Jet gives these failures, so that the start-up message reads as users know it.
constexpr int kFileNotFound = 3024;
constexpr int kCannotOpen = 3051;
constexpr int kUnrecognizedFormat = 3343;
constexpr int kDamaged = 3049;

constexpr unsigned long kCatalogPage = 2;  // the definition of MSysObjects
constexpr qint32 kSystemObjectFlags = static_cast<qint32>(0x80000002);
constexpr quint32 kLongValueInline = 0x80000000;
constexpr quint32 kLongValueOnePage = 0x40000000;
constexpr quint32 kLongValueLengthMask = 0x3FFFFFFF;

[[noreturn]] void Fail(int number, const QString& description) {
  throw DbError(number, description, kSource);
}

[[noreturn]] void FailDamaged(const QString& path, const QString& detail) {
  Fail(kDamaged, QStringLiteral("'%1' is truncated or damaged: %2").arg(path, detail));
}

DatabaseFileKind CheckSource(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) Fail(kFileNotFound, QStringLiteral("Could not find file '%1'").arg(path));
  if (!info.isFile()) Fail(kCannotOpen, QStringLiteral("'%1' is not a file").arg(path));
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    Fail(kCannotOpen, QStringLiteral("Cannot open '%1': %2").arg(path, file.errorString()));
  }
  const DatabaseFileKind kind = DetectDatabaseFile(file.read(kDatabaseHeaderSize));
  if (kind == DatabaseFileKind::kSqlite) {
    Fail(kUnrecognizedFormat,
         QStringLiteral("'%1' is an SQLite database, not an Access database").arg(path));
  }
  if (!IsAccess(kind)) {
    Fail(kUnrecognizedFormat,
         QStringLiteral("'%1' is not an Access database (unrecognized database format)").arg(path));
  }
  // Every Access file is a whole number of pages, the catalog's definition on the third.
  const qint64 page_size = kind == DatabaseFileKind::kJet3 ? 2048 : 4096;
  if (info.size() % page_size != 0) {
    FailDamaged(path, QStringLiteral("%1 bytes is not a whole number of %2-byte pages")
                          .arg(info.size())
                          .arg(page_size));
  }
  if (info.size() <= static_cast<qint64>(kCatalogPage) * page_size) {
    FailDamaged(path, QStringLiteral("%1 bytes is too short for its catalog").arg(info.size()));
  }
  return kind;
}

struct MdbCloser {
  void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFreer {
  void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
struct GFreer {
  void operator()(char* text) const { g_free(text); }
};
using TableDef = std::unique_ptr<MdbTableDef, TableFreer>;

MdbColumn& ColumnAt(MdbTableDef* table, unsigned index) {
  return *static_cast<MdbColumn*>(g_ptr_array_index(table->columns, index));
}

MdbCatalogEntry CatalogEntry(MdbHandle* mdb, const QByteArray& name, unsigned long page) {
  MdbCatalogEntry entry;
  std::memset(&entry, 0, sizeof(entry));
  entry.mdb = mdb;
  entry.object_type = MDB_TABLE;
  entry.table_pg = page;
  qstrncpy(entry.object_name, name.constData(), sizeof(entry.object_name));
  return entry;
}

}  // namespace

struct AccessReader::Impl {
  QString path;
  DatabaseFileKind kind = DatabaseFileKind::kUnknown;
  qint64 size = 0;
  std::unique_ptr<MdbHandle, MdbCloser> mdb;
  QString table;  // the one being read, for messages
  // libmdb's own catalog reader also parses every object's properties and loops forever on
  // some damaged ones; the tables need none of them.
  std::vector<MdbCatalogEntry> tables;

  [[noreturn]] void Damaged(const QString& detail) const { FailDamaged(path, detail); }
  TableDef OpenTable(MdbCatalogEntry& entry);
  void ForEachRow(MdbTableDef* table, const std::function<void(const MdbField*)>& on_row);
  void ReadCatalog();
  const unsigned char* Fixed(const MdbColumn& column, const MdbField& field, int size) const;
  QString Text(const char* bytes, qsizetype size) const;
  QByteArray LongValue(const MdbColumn& column, const MdbField& field);
  AccessValue Value(const MdbColumn& column, const MdbField& field);
};

TableDef AccessReader::Impl::OpenTable(MdbCatalogEntry& entry) {
  TableDef table(mdb_read_table(&entry));
  if (!table) Damaged(QStringLiteral("cannot read the definition of table '%1'").arg(this->table));
  if (!mdb_read_columns(table.get()) || table->num_cols == 0) {
    Damaged(QStringLiteral("cannot read the columns of table '%1'").arg(this->table));
  }
  return table;
}

// mdb_fetch_row leaves the row it found on the current page; cracking it once more gives what
// its bound strings hide: NULL apart from "", and the stored bytes of every value.
void AccessReader::Impl::ForEachRow(MdbTableDef* table,
                                    const std::function<void(const MdbField*)>& on_row) {
  std::vector<MdbField> fields(table->num_cols);
  unsigned rows = 0;
  mdb_rewind_table(table);
  while (rows <= table->num_rows && mdb_fetch_row(table)) {
    int start = 0;
    size_t size = 0;
    if (mdb_find_row(mdb.get(), static_cast<int>(table->cur_row) - 1, &start, &size) != 0 ||
        mdb_crack_row(table, start & 0x1FFF, size, fields.data()) < 0) {
      Damaged(QStringLiteral("a row of table '%1' cannot be read").arg(this->table));
    }
    // Damaged offsets can put a value before its start or past its page.
    for (const MdbField& field : fields) {
      if (field.siz < 0 || field.start < 0 || field.start + field.siz > mdb->fmt->pg_size) {
        Damaged(QStringLiteral("a row of table '%1' points outside its page").arg(this->table));
      }
    }
    on_row(fields.data());
    ++rows;
  }
  // libmdb ends a table quietly at the first page it cannot read.
  if (rows != table->num_rows) {
    Damaged(QStringLiteral("table '%1' holds %2 rows, %3 of them could be read")
                .arg(this->table)
                .arg(table->num_rows)
                .arg(rows));
  }
}

void AccessReader::Impl::ReadCatalog() {
  table = QStringLiteral("MSysObjects");
  MdbCatalogEntry catalog_entry = CatalogEntry(mdb.get(), "MSysObjects", kCatalogPage);
  TableDef catalog = OpenTable(catalog_entry);
  int id = -1, name = -1, type = -1, flags = -1;
  for (unsigned i = 0; i < catalog->num_cols; ++i) {
    const char* column = ColumnAt(catalog.get(), i).name;
    for (auto [wanted, index] :
         {std::pair{"Id", &id}, {"Name", &name}, {"Type", &type}, {"Flags", &flags}}) {
      if (qstricmp(column, wanted) == 0) *index = static_cast<int>(i);
    }
  }
  if (id < 0 || name < 0 || type < 0 || flags < 0) {
    Damaged(QStringLiteral("its catalog lacks a column it needs"));
  }
  ForEachRow(catalog.get(), [&](const MdbField* fields) {
    const auto integer = [&](int index) -> qint64 {
      const AccessValue value = Value(ColumnAt(catalog.get(), index), fields[index]);
      return std::holds_alternative<qint64>(value) ? std::get<qint64>(value) : 0;
    };
    const AccessValue object_name = Value(ColumnAt(catalog.get(), name), fields[name]);
    if ((integer(type) & 0x7F) != MDB_TABLE || (integer(flags) & kSystemObjectFlags) ||
        !std::holds_alternative<QString>(object_name)) {
      return;
    }
    const QString text = std::get<QString>(object_name);
    if (text.startsWith(QLatin1String("MSys"), Qt::CaseInsensitive)) return;
    tables.push_back(CatalogEntry(mdb.get(), text.toUtf8(), integer(id) & 0x00FFFFFF));
  });
}

const unsigned char* AccessReader::Impl::Fixed(const MdbColumn& column, const MdbField& field,
                                               int size) const {
  if (field.siz < size) {
    Damaged(QStringLiteral("column '%1' of table '%2' holds %3 bytes where %4 belong")
                .arg(QString::fromUtf8(column.name), table)
                .arg(field.siz)
                .arg(size));
  }
  return mdb->pg_buf + field.start;
}

QString AccessReader::Impl::Text(const char* bytes, qsizetype size) const {
  return DecodeAccessText(QByteArrayView(bytes, size), kind == DatabaseFileKind::kJet3
                                                           ? AccessTextEncoding::kCodePage1252
                                                           : AccessTextEncoding::kUtf16);
}

// Memo and OLE values: a 12-byte head in the row (length with flags, then the page and row of
// the data) and the data inline, in one row elsewhere, or in a chain of such rows.
QByteArray AccessReader::Impl::LongValue(const MdbColumn& column, const MdbField& field) {
  if (field.siz == 0) return {};
  const auto damaged = [&](const char* what) {
    Damaged(QStringLiteral("%1 in column '%2' of table '%3'")
                .arg(QLatin1String(what), QString::fromUtf8(column.name), table));
  };
  if (field.siz < MDB_MEMO_OVERHEAD) damaged("a long value head is cut short");
  const unsigned char* head = mdb->pg_buf + field.start;
  const quint32 flags_and_length = qFromLittleEndian<quint32>(head);
  const qint64 length = flags_and_length & kLongValueLengthMask;
  if (flags_and_length & kLongValueInline) {
    return QByteArray(reinterpret_cast<const char*>(head) + MDB_MEMO_OVERHEAD,
                      field.siz - MDB_MEMO_OVERHEAD);
  }
  if (length > size) damaged("a long value is longer than the file");
  const bool one_page = flags_and_length & kLongValueOnePage;
  qint32 page_row = qFromLittleEndian<qint32>(head + 4);
  QByteArray value;
  value.reserve(length);
  while (page_row != 0) {
    void* page = nullptr;
    int start = 0;
    size_t row_size = 0;
    if (mdb_find_pg_row(mdb.get(), page_row, &page, &start, &row_size) != 0) {
      damaged("a long value lies on a page that cannot be read");
    }
    const auto* row = static_cast<const char*>(page) + start;
    if (one_page) return QByteArray(row, static_cast<qsizetype>(row_size));
    // Each link of a chain starts with the page and row of the next one; 0 ends the chain.
    if (row_size <= 4) damaged("a long value chain holds an empty link");
    page_row = qFromLittleEndian<qint32>(row);
    value.append(row + 4, static_cast<qsizetype>(row_size) - 4);
    if (value.size() > length) damaged("a long value chain runs past its length");
  }
  if (value.size() != length) damaged("a long value chain ends too early");
  return value;
}

AccessValue AccessReader::Impl::Value(const MdbColumn& column, const MdbField& field) {
  // A Yes/No value lives in the row's NULL mask itself: a set bit is Yes.
  if (column.col_type == MDB_BOOL) return qint64{field.is_null ? 0 : 1};
  if (field.is_null) return std::monostate{};
  switch (column.col_type) {
    case MDB_BYTE:
      return qint64{*Fixed(column, field, 1)};
    case MDB_INT:
      return qint64{qFromLittleEndian<qint16>(Fixed(column, field, 2))};
    case MDB_LONGINT:
    case MDB_COMPLEX:
      return qint64{qFromLittleEndian<qint32>(Fixed(column, field, 4))};
    case MDB_MONEY:
      return qFromLittleEndian<qint64>(Fixed(column, field, 8)) / 10000.0;
    case MDB_FLOAT:
      return WidenSingle(qFromLittleEndian<float>(Fixed(column, field, 4)));
    case MDB_DOUBLE:
      return qFromLittleEndian<double>(Fixed(column, field, 8));
    case MDB_DATETIME: {
      const double days = qFromLittleEndian<double>(Fixed(column, field, 8));
      if (std::optional<QString> text = AccessDateText(days)) return *std::move(text);
      return days;
    }
    case MDB_TEXT:
      return Text(reinterpret_cast<const char*>(mdb->pg_buf) + field.start, field.siz);
    case MDB_MEMO: {
      const QByteArray stored = LongValue(column, field);
      return Text(stored.constData(), stored.size());
    }
    case MDB_OLE:
      return LongValue(column, field);
    case MDB_REPID: {
      std::unique_ptr<char, GFreer> text(mdb_uuid_to_string(Fixed(column, field, 16), 0));
      return QString::fromLatin1(text.get());
    }
    case MDB_NUMERIC: {
      Fixed(column, field, 17);
      std::unique_ptr<char, GFreer> text(
          mdb_numeric_to_string(mdb.get(), field.start, column.col_scale, column.col_prec));
      return QString::fromLatin1(text.get());
    }
    default:  // Binary and whatever else: the stored bytes
      return QByteArray(reinterpret_cast<const char*>(mdb->pg_buf) + field.start, field.siz);
  }
}

AccessReader::AccessReader(const QString& path) : impl_(std::make_unique<Impl>()) {
  impl_->path = path;
  impl_->kind = CheckSource(path);
  impl_->size = QFileInfo(path).size();
  impl_->mdb.reset(mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS));
  if (!impl_->mdb) FailDamaged(path, QStringLiteral("libmdb cannot open it"));
  impl_->ReadCatalog();
}

AccessReader::~AccessReader() = default;

DatabaseFileKind AccessReader::kind() const { return impl_->kind; }

QStringList AccessReader::TableNames() const {
  QStringList names;
  for (const MdbCatalogEntry& entry : impl_->tables) {
    names << QString::fromUtf8(entry.object_name);
  }
  return names;
}

void AccessReader::ReadTable(
    const QString& name, const std::function<void(const std::vector<AccessColumn>&)>& on_columns,
    const std::function<void(const std::vector<AccessValue>&)>& on_row) {
  const QStringList names = TableNames();
  const qsizetype index = names.indexOf(name);
  if (index < 0) Fail(kDamaged, QStringLiteral("'%1' has no table '%2'").arg(impl_->path, name));
  impl_->table = name;
  TableDef table = impl_->OpenTable(impl_->tables[index]);
  std::vector<AccessColumn> columns;
  for (unsigned i = 0; i < table->num_cols; ++i) {
    const MdbColumn& column = ColumnAt(table.get(), i);
    // Jet 4 and ACE give the size of a text column in bytes of UTF-16, Jet 3 in characters.
    const int text_size = column.col_type != MDB_TEXT              ? 0
                          : impl_->kind == DatabaseFileKind::kJet3 ? column.col_size
                                                                   : column.col_size / 2;
    columns.push_back({QString::fromUtf8(column.name), static_cast<AccessType>(column.col_type),
                       text_size, column.col_prec, column.col_scale});
  }
  on_columns(columns);
  std::vector<AccessValue> values(table->num_cols);
  impl_->ForEachRow(table.get(), [&](const MdbField* fields) {
    for (unsigned i = 0; i < table->num_cols; ++i) {
      values[i] = impl_->Value(ColumnAt(table.get(), i), fields[i]);
    }
    on_row(values);
  });
}

}  // namespace orva
