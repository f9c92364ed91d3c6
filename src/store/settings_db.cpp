#include "store/settings_db.h"

#include "store/db_error.h"

#include <sqlite3.h>

namespace orva {
namespace {

const QString kTable = QStringLiteral("orva");
constexpr int kDefaultWebPort = 8444;
// Made when first needed: settings files of earlier versions lack it.
const QString kCreateProgramValues =
    QStringLiteral("CREATE TABLE IF NOT EXISTS orva_influx (name TEXT PRIMARY KEY, value TEXT)");

// Value padded with blanks to `size` characters, or cut to it.
QString FixedWidth(const QString& value, int size) {
  return (value + QString(size, QLatin1Char(' '))).left(size);
}

}  // namespace

SettingsDb SettingsDb::Open(const QString& path) {
  SqliteDb db = SqliteDb::OpenExisting(path);
  db.RequireTable(kTable);
  SettingsDb settings(std::move(db));
  settings.Settings();
  return settings;
}

Record SettingsDb::Settings() {
  std::optional<Record> first =
      db_.QueryFirst(QStringLiteral("SELECT * FROM orva ORDER BY rowid LIMIT 1"));
  if (!first) {
    throw DbError(SQLITE_NOTFOUND,
                  QStringLiteral("config2.orva: table orva holds no settings record"));
  }
  return *std::move(first);
}

LinkSettings SettingsDb::ForLink() {
  const Record settings = Settings();
  LinkSettings link;
  link.channels = settings.Text(u"SerOfEth").value_or(QString());
  link.stored_password = settings.Text(u"WW").value_or(QString());
  const std::optional<qint64> first = settings.Integer(u"begcom");
  const std::optional<qint64> last = settings.Integer(u"endcom");
  if (first && last) link.serial_ports = {static_cast<int>(*first), static_cast<int>(*last)};
  return link;
}

void SettingsDb::Update(const QVariantMap& fields) {
  if (fields.isEmpty()) return;
  QStringList assignments;
  QVariantList values;
  for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
    assignments << SqliteDb::QuoteName(it.key()) + QStringLiteral(" = ?");
    values << it.value();
  }
  db_.Execute(QStringLiteral("UPDATE orva SET %1 WHERE rowid = "
                             "(SELECT rowid FROM orva ORDER BY rowid LIMIT 1)")
                  .arg(assignments.join(QStringLiteral(", "))),
              values);
}

std::optional<QString> SettingsDb::ProgramValue(const QString& name) {
  db_.Exec(kCreateProgramValues);
  const std::optional<Record> row =
      db_.QueryFirst(QStringLiteral("SELECT value FROM orva_influx WHERE name = ?1"), {name});
  return row ? row->Text(u"value") : std::nullopt;
}

void SettingsDb::SetProgramValue(const QString& name, const QString& value) {
  db_.Exec(kCreateProgramValues);
  db_.Execute(QStringLiteral("INSERT OR REPLACE INTO orva_influx (name, value) VALUES (?1, ?2)"),
              {name, value});
}

void SettingsDb::CompleteSettings() {
  Update(SettingsCompletion(Settings(), db_.TextFieldSize(kTable, QStringLiteral("answflag")),
                            db_.TextFieldSize(kTable, QStringLiteral("askflag"))));
}

QVariantMap SettingsCompletion(const Record& settings, std::optional<int> answflag_size,
                               std::optional<int> askflag_size) {
  QVariantMap changes;
  changes[QStringLiteral("progstatus")] = QStringLiteral("1");
  const std::optional<qint64> webport = settings.Integer(u"webport");
  if (!webport || *webport == 0) changes[QStringLiteral("webport")] = kDefaultWebPort;

  auto complete_text = [&](const QString& field, const QString& default_value) {
    if (!settings.Value(field)) changes[field] = default_value;
  };
  auto fill_up = [&](const QString& field, std::optional<int> size) {
    const std::optional<QString> stored = settings.Text(field);
    // Without a defined size a cut to 0 would empty a flag the configuration application set.
    const QString value =
        size ? FixedWidth(stored.value_or(QString()), *size) : stored.value_or(QString());
    if (stored != value) changes[field] = value;
  };
  complete_text(QStringLiteral("WW"), QString());
  fill_up(QStringLiteral("answflag"), answflag_size);
  fill_up(QStringLiteral("askflag"), askflag_size);
  const QString ser_of_eth = settings.Text(u"SerOfEth").value_or(QStringLiteral("SE "));
  if (ser_of_eth.size() < 3 || !settings.Value(u"SerOfEth")) {
    changes[QStringLiteral("SerOfEth")] = (ser_of_eth + QStringLiteral("   ")).left(3);
  }
  complete_text(QStringLiteral("idbuser"), QString());
  complete_text(QStringLiteral("IdbWW"), QString());
  complete_text(QStringLiteral("idbinstallercode"), QString());
  complete_text(QStringLiteral("LstSort"), QStringLiteral("NTN") + QString(7, QLatin1Char(' ')));
  return changes;
}

std::optional<QString> StoredLanguageLetter(const Record& settings) {
  const std::optional<QString> letter = settings.Text(u"laatstetaal");
  if (!letter) {
    throw DbError(94,
                  QStringLiteral("config2.orva: the language field laatstetaal holds no value"));
  }
  if (letter->trimmed().isEmpty()) return std::nullopt;
  return letter;
}

std::optional<QString> ReadStoredLanguageLetter(const QString& path) {
  // Read-only needs the files SQLite keeps beside a database in WAL mode; a folder that cannot
  // take them is read as the file lies.
  for (SqliteDb (*open)(const QString&) : {&SqliteDb::OpenReadOnly, &SqliteDb::OpenImmutable}) {
    try {
      const std::optional<Record> settings = open(path).QueryFirst(
          QStringLiteral("SELECT laatstetaal FROM orva ORDER BY rowid LIMIT 1"));
      return settings ? StoredLanguageLetter(*settings) : std::nullopt;
    } catch (const DbError&) {
    }
  }
  return std::nullopt;
}

}  // namespace orva
