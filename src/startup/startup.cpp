#include "startup/startup.h"

#include "import/installation_file.h"
#include "link/link_address.h"
#include "startup/command_line.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryFile>

#include <cerrno>

namespace orva {
namespace {

const QString kProgramName = QStringLiteral("orva-influx");

// Why no file can be made in `folder`; empty when one can.
QString WriteProblem(const QString& folder) {
  QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("probe-XXXXXX")));
  return probe.open() ? QString() : probe.errorString();
}

// The settings and the log are written in the state folder, and so are the files SQLite keeps
// next to each database it opens; without this the first of them to fail would be named,
// which is the texts database, a file the program only reads.
void RequireWritableStateFolder(const QString& state_folder) {
  QDir().mkpath(state_folder);
  const QString problem = WriteProblem(state_folder);
  if (problem.isEmpty()) return;
  throw TextFault(EACCES, TextKey::kStateFolderNotWritable,
                  {QDir::toNativeSeparators(state_folder), problem});
}

// The temp folder that takes the working copy: one that could not be made, or cannot be
// written, is named as such, not by the copy that then fails in it.
void RequireWritableTempFolder(const QString& temp_folder) {
  const QString folder = QDir::toNativeSeparators(QDir::cleanPath(temp_folder));
  if (QFileInfo(temp_folder).isDir()) {
    const QString write_problem = WriteProblem(temp_folder);
    if (write_problem.isEmpty()) return;
    throw TextFault(EACCES, TextKey::kTempFolderNotWritable, {folder, write_problem});
  }
  QString ancestor = QDir::cleanPath(temp_folder);
  while (!QFileInfo::exists(ancestor) && QFileInfo(ancestor).path() != ancestor) {
    ancestor = QFileInfo(ancestor).path();
  }
  throw TextFault(EACCES,
                  QFileInfo(ancestor).isDir() ? TextKey::kTempFolderParentNotWritable
                                              : TextKey::kTempFolderUnderAFile,
                  {folder, QDir::toNativeSeparators(ancestor)});
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

StartupState PrepareStartup(const QString& program_folder, const QStringList& arguments,
                            const QVariantMap& settings_changes) {
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
  state.settings->Update(settings_changes);
  const std::optional<QString> letter = StoredLanguageLetter(state.settings->Settings());
  if (letter) {
    state.language_letter = *letter;
  } else {
    state.language_letter = LanguageLetterOf(QLocale::system());
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
        throw DbError(EINVAL, problem, kProgramName);
      }
      state.controller_address = switches.controller;
      // An address alone changes the controller, not the installation.
      if (!switches.folder.isEmpty() || !switches.file.isEmpty()) {
        RequireWritableTempFolder(state.paths.temp_folder);
        const QString source = switches.folder + QDir::separator() + switches.file;
        TakeOverInstallationFile(source, state.paths.WorkingCopy());
      }
    }
  }
  if (!QFileInfo::exists(state.paths.WorkingCopy())) {
    RequireWritableTempFolder(state.paths.temp_folder);
    throw TextFault(ENOENT, TextKey::kNoInstallationYet,
                    {QDir::toNativeSeparators(state.paths.WorkingCopy())});
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
  // Our own checks say what is wrong in plain words; a number and a line would add nothing.
  if (error.source() == kProgramName) return error.description();
  return error.Text() + QStringLiteral(" Lijn:%1").arg(line);
}

QString StartupFailureMessage(const DbError& error, const AppPaths& paths,
                              const QStringList& arguments) {
  if (error.text_key() == 0) return StartupFailureMessage(error);
  QString letter = LanguageOption(arguments).value_or(QString());
  if (letter.isEmpty()) {
    // A state folder that has no settings yet would get the shipped ones.
    const QString settings = QFileInfo::exists(paths.SettingsDb())
                                 ? paths.SettingsDb()
                                 : paths.DataFile(QFileInfo(paths.SettingsDb()).fileName());
    letter = ReadStoredLanguageLetter(settings).value_or(LanguageLetterOf(QLocale::system()));
  }
  try {
    ReferenceDb reference = ReferenceDb::Open(paths.ReferenceDb());
    const QString text = LanguageTexts(reference, [&letter] {
                           return letter;
                         }).LookupText(static_cast<TextKey>(error.text_key()));
    if (!text.isEmpty()) return FilledIn(text, error.text_arguments());
  } catch (const DbError&) {
  }
  return StartupFailureMessage(error);
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
