#pragma once

#include <QString>

namespace orva {

// The folders and files the program works with.
struct AppPaths {
  QString program_folder;    // where the executable and its small databases lie
  QString root;              // ends with a separator
  QString temp_folder;       // root + "Orva/Temp/", ends with a separator
  QString konfigrex_folder;  // root + "Orva/Konfigrex", no trailing separator

  QString ReferenceDb() const;  // "init2.orva" beside the program
  QString SettingsDb() const;   // "config2.orva" beside the program
  QString CommLogDb() const;    // "CommLog.orva" beside the program
  QString OutboxDb() const;     // "Outbox.orva" beside the program, made when missing
  // "DeliveryState.json" beside the program: the running program's delivery figures
  QString DeliveryStateFile() const;
  QString WorkingCopy() const;  // temp folder + "influxtmp.orva"
};

// The program root: ORVA_ROOT when set; on Windows the drive of the program folder
// (its first three characters); elsewhere the home folder.
QString ProgramRoot(const QString& program_folder);

AppPaths MakeAppPaths(const QString& program_folder);

}  // namespace orva
