#pragma once

#include "store/sqlite_db.h"

#include <map>
#include <optional>
#include <vector>

namespace orva {

// A bus module as the rest of the program knows it; a NULL text reads as empty and a NULL id as 0.
struct Module {
  qint64 id = 0;
  QString serial;  // six hexadecimal characters
  QString place;   // where in the house it is
  QString type;    // the module type code, e.g. "A0"
};

// An output of the installation; address, sub-address and mode stay unknown where NULL.
struct Output {
  qint64 id = 0;
  QString name;
  std::optional<qint64> address;
  std::optional<qint64> sub_address;
  std::optional<qint64> mode_id;
};

// The working copy of the installation database: the controller's configuration record, the
// bus modules and their outputs. One per thread that reads it.
//
// The program writes only fields of the configuration record, never the controller's serial
// number, the modules or the outputs, and no other program writes the working copy: the lookups
// the scan makes at every tick are kept once made.
class InstallationDb {
 public:
  // Throws DbError when the file is missing or has no "config", "modules" or "outputs" table,
  // or when "config" holds no record.
  static InstallationDb Open(const QString& path);

  // Throws DbError naming the first column the program reads that a table lacks ("no such
  // column: config.ctltype"): a file without it would open and then fail every scan.
  void RequireColumnsRead();

  // The controller's configuration: the first record of "config".
  Record Config();
  // Writes one field of the configuration record.
  void SetConfigField(const QString& field, const QVariant& value);

  // The serial number of the controller itself; empty when none is stored.
  const QString& ControllerSerial();
  // The user the controller's TCP/IP login names; empty when none is stored.
  QString EthernetUser();
  // A NULL IP address becomes an empty text, as the configuration application keeps it; the
  // link connects to the address it is given, not to this one.
  void CompleteIpAddress();
  // What the controller reported about itself, each field written only when it changes: the
  // version of its TCP/IP interface ("0000" over a serial port), its type (stored as two
  // digits) and its version.
  void StoreInterfaceVersion(const QString& version);
  void StoreControllerVersion(int type, const QString& version);

  std::optional<Module> ModuleBySerial(const QString& serial);
  std::optional<Module> ModuleById(qint64 id);
  // Every module, in the order of their serial numbers.
  std::vector<Module> ModulesBySerial();

  std::optional<Output> OutputById(qint64 id);
  // Every output, in the order of their names.
  std::vector<Output> OutputsByName();

  const QString& path() const { return db_.path(); }

 private:
  explicit InstallationDb(SqliteDb db) : db_(std::move(db)) {}
  SqliteDb db_;
  std::optional<QString> controller_serial_;
  std::map<QString, std::optional<Module>> modules_by_serial_;
  std::map<qint64, std::optional<Output>> outputs_by_id_;
};

// The controller version as the link expects it: six characters. Returns the value to store,
// or nullopt when the stored one stays.
std::optional<QString> CompletedControllerVersion(const std::optional<QString>& stored);
// The interface version: "0000" when there is none; nullopt when the stored one stays.
std::optional<QString> CompletedInterfaceVersion(const std::optional<QString>& stored);

// Completes the version fields of the configuration record, each change saved at once.
void CompleteVersions(InstallationDb& db);

}  // namespace orva
