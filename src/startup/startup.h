#pragma once

#include "link/comm_log.h"
#include "scan/scan_worker.h"
#include "store/app_paths.h"
#include "store/db_error.h"
#include "store/installation_db.h"
#include "store/language_texts.h"
#include "store/reference_db.h"
#include "store/settings_db.h"

#include <QStringList>

#include <optional>

namespace orva {

// What start-up settles for the rest of the program. The databases are the connections of the
// thread that ran start-up; a worker thread opens its own from `paths`.
struct StartupState {
  AppPaths paths;
  QString language_letter;
  QString window_title;
  QString serial_speed = QStringLiteral("115200");
  // The program's arguments as switch text, taken over once by the settings step.
  QString switch_text;
  bool command_line_pending = true;
  // The -c switch: the controller's address, optionally with a port.
  QString controller_address;

  std::optional<ReferenceDb> reference;
  std::optional<SettingsDb> settings;
  std::optional<CommLog> comm_log;
  std::optional<InstallationDb> installation;

  // Texts in the current language, read from `reference`.
  LanguageTexts Texts();
};

// "POST data to InfluxDB V" and the program's version.
QString WindowTitle();

// The folders of the program in `program_folder` started with `arguments` (without the program
// path): its state folder is the one --state-dir names, if any.
AppPaths AppPathsOf(const QString& program_folder, const QStringList& arguments);

// The start-up up to the window: folders, the three small databases, the language letter and
// the window title. `arguments` are the program's arguments without the program path;
// `settings_changes` are written to the settings record first (see SettingsChanges). An empty
// language letter becomes the system's language where the texts have it, else Dutch, and is
// kept. A new state folder gets the shipped settings and log. Throws DbError, also when the
// state folder cannot be written.
StartupState PrepareStartup(const QString& program_folder, const QStringList& arguments,
                            const QVariantMap& settings_changes = {});

// Completes the settings record, takes over an installation database named on the command line
// (-d, -f) as the working copy, and opens the working copy; with neither switch the previous
// copy stays. Throws DbError, also for a -c that cannot be an address.
void RunSettingsStep(StartupState& state);

// Why the -c switch of `switch_text` cannot be the controller's address; empty when it can, or
// when there is none.
QString ControllerAddressProblem(const QString& switch_text);

// What the scan thread is set up from: the paths of the databases it opens for itself, the
// language, the controller's address and the window title.
ScanWorkerSetup ScanWorkerSetupFrom(const StartupState& state);

// The message a failed start-up shows before the program ends: our own checks in plain words,
// failures of the database engine with their number, source and line.
QString StartupFailureMessage(const DbError& error, int line = 0);

// The same, with the faults the texts hold told in the language the start chose, or would have
// chosen: the letter --language gives among `arguments`, else the one the settings hold, else
// the system's. Changes nothing; English where the texts cannot be read.
QString StartupFailureMessage(const DbError& error, const AppPaths& paths,
                              const QStringList& arguments);

}  // namespace orva
