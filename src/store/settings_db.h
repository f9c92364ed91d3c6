#pragma once

#include "store/sqlite_db.h"

#include <QVariantMap>

#include <optional>
#include <utility>

namespace orva {

// What the link reads of the settings record.
struct LinkSettings {
  QString channels;         // "S" first: try the serial ports; "E" second: try TCP/IP first
  QString stored_password;  // the controller password, encoded as stored
  // The serial ports tried, in order (begcom..endcom); nullopt unless both are set: a port is
  // written to only when the settings name it.
  std::optional<std::pair<int, int>> serial_ports;
};

// The settings database ("config2.orva"): the program uses the first record of table "orva".
// The database is shared with the configuration application, so fields this program does not
// read are still completed and kept.
class SettingsDb {
 public:
  // Throws DbError when the file, the table or its first record is missing.
  static SettingsDb Open(const QString& path);

  Record Settings();
  LinkSettings ForLink();
  // Writes the given fields of the settings record in one save.
  void Update(const QVariantMap& fields);
  // Fills the fields a fresh or older settings record lacks with their defaults.
  void CompleteSettings();

  // This program's own values (the configuration file opened last), in a table of its own, so
  // that the record the configuration application shares stays as it knows it.
  std::optional<QString> ProgramValue(const QString& name);
  void SetProgramValue(const QString& name, const QString& value);

 private:
  explicit SettingsDb(SqliteDb db) : db_(std::move(db)) {}
  SqliteDb db_;
};

// The changes that complete a settings record; fixed-width flag fields take their defined
// sizes from the schema. A flag field without a defined size keeps what it holds (a missing one
// becomes empty). Fields that need no change are left out.
QVariantMap SettingsCompletion(const Record& settings, std::optional<int> answflag_size,
                               std::optional<int> askflag_size);

// The language letter stored in the settings file at `path`, read without changing the file or
// making any beside it; nullopt when it is empty, blank or cannot be read.
std::optional<QString> ReadStoredLanguageLetter(const QString& path);

// The language letter as stored, taken whole; an empty or blank letter is nullopt, meaning
// that it is still to be chosen. Throws DbError when the field holds no value.
std::optional<QString> StoredLanguageLetter(const Record& settings);

}  // namespace orva
