#pragma once

#include <QString>

namespace orva {

// The folders and files the program works with.
struct AppPaths {
  QString program_folder;  // where the executable lies
  // What the program only reads (the texts, and the settings and log a new state folder starts
  // from): beside the executable, or in ../share/orva-influx when installed as a package.
  QString data_folder;
  // What the program writes: settings, communication log, outbox, delivery state and the
  // instance lock. Beside the executable unless a state folder is asked for.
  QString state_folder;
  QString root;              // ends with a separator
  QString temp_folder;       // root + "Orva/Temp/", ends with a separator
  QString konfigrex_folder;  // root + "Orva/Konfigrex", no trailing separator

  QString ReferenceDb() const;  // "init2.orva" in the data folder
  QString SettingsDb() const;   // "config2.orva" in the state folder
  QString CommLogDb() const;    // "CommLog.orva" in the state folder
  QString OutboxDb() const;     // "Outbox.orva" in the state folder, made when missing
  // "DeliveryState.json" in the state folder: the running program's delivery figures
  QString DeliveryStateFile() const;
  QString InstanceLockFile() const;  // "orva-influx.lock" in the state folder
  QString WorkingCopy() const;       // temp folder + "influxtmp.orva"
  // The shipped file of that name in the data folder.
  QString DataFile(const QString& name) const;
};

// The program root: ORVA_ROOT when set; on Windows the drive of the program folder
// (its first three characters); elsewhere the home folder.
QString ProgramRoot(const QString& program_folder);

// `state_folder` is the one asked for on the command line, empty for none; then ORVA_STATE_DIR
// names it, else it is the program folder, or /var/lib/orva-influx for a program installed
// as a package (its data in ../share/orva-influx).
AppPaths MakeAppPaths(const QString& program_folder, const QString& state_folder = QString());

}  // namespace orva
