#include "store/installation_db.h"

#include "store/db_error.h"

#include <QFileInfo>
#include <QStringList>

#include <sqlite3.h>

namespace orva {
namespace {

// The installation's column names stay in this file; the rest of the program reads fields.
template <typename T>
T From(const Record& record);

template <>
Module From<Module>(const Record& record) {
  return {record.Integer(u"Id").value_or(0), record.Text(u"serienr").value_or(QString()),
          record.Text(u"plaats").value_or(QString()), record.Text(u"Type").value_or(QString())};
}

template <>
Output From<Output>(const Record& record) {
  return {record.Integer(u"Id").value_or(0), record.Text(u"Naam").value_or(QString()),
          record.Integer(u"Adres"), record.Integer(u"SubAdres"), record.Integer(u"ModeId")};
}

template <typename T>
std::optional<T> FirstOf(const std::optional<Record>& record) {
  if (!record) return std::nullopt;
  return From<T>(*record);
}

// The value kept for `key`, else the one `look_up` gives, kept from then on.
template <typename Map, typename LookUp>
const typename Map::mapped_type& Kept(Map& kept, const typename Map::key_type& key,
                                      LookUp look_up) {
  auto found = kept.find(key);
  if (found == kept.end()) found = kept.emplace(key, look_up()).first;
  return found->second;
}

template <typename T>
std::vector<T> AllOf(const std::vector<Record>& records) {
  std::vector<T> all;
  all.reserve(records.size());
  for (const Record& record : records) all.push_back(From<T>(record));
  return all;
}

// The columns the program reads, table by table.
struct TableColumns {
  const char* table;
  std::initializer_list<const char*> columns;
};
const TableColumns kColumnsRead[] = {
    {"config", {"IPAddress", "ethuser", "rxctlversie", "rxethversie", "ctltype", "CTLSerial"}},
    {"modules", {"Id", "serienr", "Type", "plaats"}},
    {"outputs", {"Id", "Naam", "ModeId", "Adres", "SubAdres"}},
};

}  // namespace

InstallationDb InstallationDb::Open(const QString& path) {
  SqliteDb db = SqliteDb::OpenExisting(path);
  for (const char* table : {"config", "modules", "outputs"}) db.RequireTable(QLatin1String(table));
  InstallationDb installation(std::move(db));
  installation.Config();
  return installation;
}

void InstallationDb::RequireColumnsRead() {
  for (const TableColumns& table : kColumnsRead) {
    QStringList present;
    for (const Record& column : db_.Query(QStringLiteral("SELECT name FROM pragma_table_info(?1)"),
                                          {QLatin1String(table.table)})) {
      present << column.Text(u"name").value_or(QString());
    }
    for (const char* column : table.columns) {
      if (!present.contains(QLatin1String(column), Qt::CaseInsensitive)) {
        throw DbError(SQLITE_ERROR,
                      QStringLiteral("no such column: %1.%2").arg(table.table, column));
      }
    }
  }
}

Record InstallationDb::Config() {
  std::optional<Record> first =
      db_.QueryFirst(QStringLiteral("SELECT * FROM config ORDER BY rowid LIMIT 1"));
  if (!first) {
    throw DbError(SQLITE_NOTFOUND, QFileInfo(db_.path()).fileName() +
                                       QStringLiteral(": table config holds no record"));
  }
  return *std::move(first);
}

void InstallationDb::SetConfigField(const QString& field, const QVariant& value) {
  db_.Execute(QStringLiteral("UPDATE config SET %1 = ?1 WHERE rowid = "
                             "(SELECT rowid FROM config ORDER BY rowid LIMIT 1)")
                  .arg(SqliteDb::QuoteName(field)),
              {value});
}

const QString& InstallationDb::ControllerSerial() {
  if (!controller_serial_) controller_serial_ = Config().Text(u"CTLSerial").value_or(QString());
  return *controller_serial_;
}

QString InstallationDb::EthernetUser() { return Config().Text(u"ethuser").value_or(QString()); }

void InstallationDb::CompleteIpAddress() {
  if (!Config().Value(u"IPAddress")) SetConfigField(QStringLiteral("IPAddress"), QString(""));
}

void InstallationDb::StoreInterfaceVersion(const QString& version) {
  if (Config().Text(u"rxethversie") != version) {
    SetConfigField(QStringLiteral("rxethversie"), version);
  }
}

void InstallationDb::StoreControllerVersion(int type, const QString& version) {
  const Record config = Config();
  if (config.Integer(u"ctltype") != type) {
    SetConfigField(QStringLiteral("ctltype"),
                   QStringLiteral("%1").arg(type, 2, 10, QLatin1Char('0')));
  }
  if (config.Text(u"rxctlversie") != version) {
    SetConfigField(QStringLiteral("rxctlversie"), version);
  }
}

std::optional<Module> InstallationDb::ModuleBySerial(const QString& serial) {
  return Kept(modules_by_serial_, serial, [&] {
    // Serial numbers carry hexadecimal letters; the installation's own lookups ignore their case.
    return FirstOf<Module>(
        db_.QueryFirst(QStringLiteral("SELECT * FROM modules WHERE serienr = ?1 COLLATE NOCASE "
                                      "ORDER BY rowid LIMIT 1"),
                       {serial}));
  });
}

std::optional<Module> InstallationDb::ModuleById(qint64 id) {
  return FirstOf<Module>(db_.QueryFirst(
      QStringLiteral("SELECT * FROM modules WHERE Id = ?1 ORDER BY rowid LIMIT 1"), {id}));
}

std::vector<Module> InstallationDb::ModulesBySerial() {
  return AllOf<Module>(db_.Query(QStringLiteral("SELECT * FROM modules ORDER BY serienr, rowid")));
}

std::optional<Output> InstallationDb::OutputById(qint64 id) {
  return Kept(outputs_by_id_, id, [&] {
    return FirstOf<Output>(db_.QueryFirst(
        QStringLiteral("SELECT * FROM outputs WHERE Id = ?1 ORDER BY rowid LIMIT 1"), {id}));
  });
}

std::vector<Output> InstallationDb::OutputsByName() {
  return AllOf<Output>(
      db_.Query(QStringLiteral("SELECT * FROM outputs ORDER BY Naam COLLATE NOCASE, rowid")));
}

std::optional<QString> CompletedControllerVersion(const std::optional<QString>& stored) {
  const QString zeros = QStringLiteral("000000");
  if (!stored) return zeros;
  const QString trimmed = stored->trimmed();
  if (trimmed.isEmpty()) return zeros;
  if (trimmed.size() < 6) return (trimmed + zeros).left(6);
  return std::nullopt;
}

std::optional<QString> CompletedInterfaceVersion(const std::optional<QString>& stored) {
  if (!stored || stored->trimmed().isEmpty()) return QStringLiteral("0000");
  return std::nullopt;
}

void CompleteVersions(InstallationDb& db) {
  const Record config = db.Config();
  if (auto version = CompletedControllerVersion(config.Text(u"rxctlversie"))) {
    db.SetConfigField(QStringLiteral("rxctlversie"), *version);
  }
  if (auto version = CompletedInterfaceVersion(config.Text(u"rxethversie"))) {
    db.SetConfigField(QStringLiteral("rxethversie"), *version);
  }
}

}  // namespace orva
