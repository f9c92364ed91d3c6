#include "startup/startup.h"

#include "import/installation_file.h"
#include "startup/command_line.h"

#include <QDir>

namespace orva {

LanguageTexts StartupState::Texts() {
  return LanguageTexts(*reference, [this] { return language_letter; });
}

QString WindowTitle() {
  return QStringLiteral("POST data to InfluxDB V%1.%2.%3")
      .arg(ORVA_VERSION_MAJOR)
      .arg(ORVA_VERSION_MINOR)
      .arg(ORVA_VERSION_PATCH);
}

StartupState PrepareStartup(const QString& program_folder, const QStringList& arguments) {
  StartupState state;
  state.paths = MakeAppPaths(program_folder);
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
      state.controller_address = switches.controller;
      const QString source = switches.folder + QDir::separator() + switches.file;
      TakeOverInstallationFile(source, state.paths.WorkingCopy());
    }
  }
  state.installation = InstallationDb::Open(state.paths.WorkingCopy());
  CompleteVersions(*state.installation);
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
