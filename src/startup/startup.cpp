#include "startup/startup.h"

#include "import/installation_file.h"
#include "link/link_address.h"
#include "startup/command_line.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>

namespace orva {
namespace {

// The settings and the log are written in the state folder, and so are the files SQLite keeps
// next to each database it opens; without this the first of them to fail would be named,
// which is the texts database, a file the program only reads.
void RequireWritableStateFolder(const QString& state_folder) {
  QDir().mkpath(state_folder);
  QTemporaryFile probe(QDir(state_folder).filePath(QStringLiteral("probe-XXXXXX")));
  if (probe.open()) return;
  throw DbError(EACCES,
                QStringLiteral("%1: the folder cannot be written (%2); config2.orva and "
                               "CommLog.orva there must be writable, and so must the folder")
                    .arg(QDir::toNativeSeparators(state_folder), probe.errorString()),
                QStringLiteral("orva-influx"));
}

// A new state folder starts with the shipped settings and log. They may hold the controller's
// password and the frames of its login, so only their owner reads them.
void SeedStateFolder(const AppPaths& paths) {
  for (const QString& file : {paths.SettingsDb(), paths.CommLogDb()}) {
    if (QFileInfo::exists(file)) continue;
    if (QFile::copy(paths.DataFile(QFileInfo(file).fileName()), file)) {
      QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    }
  }
}

QString AddressProblem(const QString& address) {
  if (address.isEmpty() || ParseControllerAddress(address)) return QString();
  return QStringLiteral(
             "-c %1: not a controller address (host, host:port or [v6-address]:port, "
             "with a port from 1 to 65535)")
      .arg(address);
}

}  // namespace

LanguageTexts StartupState::Texts() {
  return LanguageTexts(*reference, [this] { return language_letter; });
}

QString WindowTitle() {
  return QStringLiteral("POST data to InfluxDB V%1.%2.%3")
      .arg(ORVA_VERSION_MAJOR)
      .arg(ORVA_VERSION_MINOR)
      .arg(ORVA_VERSION_PATCH);
}

AppPaths AppPathsOf(const QString& program_folder, const QStringList& arguments) {
  return MakeAppPaths(program_folder, ProgramOptionValue(arguments, QStringLiteral("--state-dir")));
}

StartupState PrepareStartup(const QString& program_folder, const QStringList& arguments) {
  StartupState state;
  state.paths = AppPathsOf(program_folder, arguments);
  RequireWritableStateFolder(state.paths.state_folder);
  SeedStateFolder(state.paths);
  state.switch_text = SwitchTextOf(arguments);

  // The working copy needs its folder; Konfigrex keeps its own folder, we only add to it.
  QDir().mkpath(state.paths.temp_folder);
  QDir().mkdir(state.paths.konfigrex_folder + QDir::separator() + QStringLiteral("Upgrade"));

  state.reference = ReferenceDb::Open(state.paths.ReferenceDb());
  state.settings = SettingsDb::Open(state.paths.SettingsDb());
  const std::optional<QString> letter = StoredLanguageLetter(state.settings->Settings());
  if (letter) {
    state.language_letter = *letter;
  } else {
    state.language_letter = QStringLiteral("N");
    state.settings->Update({{QStringLiteral("laatstetaal"), state.language_letter}});
  }
  state.window_title = WindowTitle();
  state.comm_log = CommLog::Open(state.paths.CommLogDb());
  return state;
}

void RunSettingsStep(StartupState& state) {
  state.settings->CompleteSettings();
  if (state.command_line_pending) {
    if (const std::optional<QString> inner = InnerSwitchText(state.switch_text)) {
      state.command_line_pending = false;
      SwitchValues switches;
      ParseSwitches(*inner, switches);
      if (const QString problem = AddressProblem(switches.controller); !problem.isEmpty()) {
        throw DbError(EINVAL, problem, QStringLiteral("orva-influx"));
      }
      state.controller_address = switches.controller;
      // An address alone changes the controller, not the installation.
      if (!switches.folder.isEmpty() || !switches.file.isEmpty()) {
        const QString source = switches.folder + QDir::separator() + switches.file;
        TakeOverInstallationFile(source, state.paths.WorkingCopy());
      }
    }
  }
  state.installation = InstallationDb::Open(state.paths.WorkingCopy());
  CompleteVersions(*state.installation);
}

QString ControllerAddressProblem(const QString& switch_text) {
  SwitchValues switches;
  ParseSwitches(InnerSwitchText(switch_text).value_or(QString()), switches);
  return AddressProblem(switches.controller);
}

QString StartupFailureMessage(const DbError& error, int line) {
  return error.Text() + QStringLiteral(" Lijn:%1").arg(line);
}

ScanWorkerSetup ScanWorkerSetupFrom(const StartupState& state) {
  ScanWorkerSetup setup;
  setup.paths = state.paths;
  setup.language_letter = state.language_letter;
  setup.controller_address = state.controller_address;
  setup.serial_speed = state.serial_speed;
  setup.window_title = state.window_title;
  return setup;
}

}  // namespace orva
