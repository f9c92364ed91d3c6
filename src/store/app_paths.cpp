#include "store/app_paths.h"

#include <QDir>
#include <QFileInfo>

namespace orva {
namespace {

constexpr char kReferenceDbName[] = "init2.orva";

QString WithSeparator(QString folder) {
  const QChar separator = QDir::separator();
  if (!folder.endsWith(separator) && !folder.endsWith(QLatin1Char('/'))) folder += separator;
  return folder;
}

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

// A package puts the program in /usr/bin and what it reads in /usr/share/orva-influx; a folder
// that holds the program and its databases together is used as it is.
QString DataFolder(const QString& program_folder) {
  const QString shared = QDir::cleanPath(program_folder + QStringLiteral("/../share/orva-influx"));
  if (!QFileInfo::exists(QDir(program_folder).filePath(QLatin1String(kReferenceDbName))) &&
      QFileInfo::exists(QDir(shared).filePath(QLatin1String(kReferenceDbName)))) {
    return Native(shared);
  }
  return Native(program_folder);
}

QString StateFolder(const AppPaths& paths, const QString& asked) {
  if (!asked.isEmpty()) return Native(asked);
  const QString from_environment = qEnvironmentVariable("ORVA_STATE_DIR");
  if (!from_environment.isEmpty()) return Native(from_environment);
  // The package's unit has systemd make this folder (StateDirectory=).
  if (paths.data_folder != paths.program_folder) return QStringLiteral("/var/lib/orva-influx");
  return paths.program_folder;
}

}  // namespace

QString ProgramRoot(const QString& program_folder) {
  const QString from_environment = qEnvironmentVariable("ORVA_ROOT");
  if (!from_environment.isEmpty()) return WithSeparator(Native(from_environment));
#ifdef Q_OS_WIN
  return Native(program_folder).left(3);
#else
  Q_UNUSED(program_folder);
  return WithSeparator(QDir::homePath());
#endif
}

AppPaths MakeAppPaths(const QString& program_folder, const QString& state_folder) {
  const QChar separator = QDir::separator();
  AppPaths paths;
  paths.program_folder = Native(program_folder);
  paths.data_folder = DataFolder(program_folder);
  paths.state_folder = StateFolder(paths, state_folder);
  paths.root = ProgramRoot(program_folder);
  paths.temp_folder =
      paths.root + QStringLiteral("Orva") + separator + QStringLiteral("Temp") + separator;
  paths.konfigrex_folder =
      paths.root + QStringLiteral("Orva") + separator + QStringLiteral("Konfigrex");
  return paths;
}

QString AppPaths::DataFile(const QString& name) const { return WithSeparator(data_folder) + name; }

QString AppPaths::ReferenceDb() const { return DataFile(QLatin1String(kReferenceDbName)); }

QString AppPaths::SettingsDb() const {
  return WithSeparator(state_folder) + QStringLiteral("config2.orva");
}

QString AppPaths::CommLogDb() const {
  return WithSeparator(state_folder) + QStringLiteral("CommLog.orva");
}

QString AppPaths::OutboxDb() const {
  return WithSeparator(state_folder) + QStringLiteral("Outbox.orva");
}

QString AppPaths::DeliveryStateFile() const {
  return WithSeparator(state_folder) + QStringLiteral("DeliveryState.json");
}

QString AppPaths::InstanceLockFile() const {
  return WithSeparator(state_folder) + QStringLiteral("orva-influx.lock");
}

QString AppPaths::WorkingCopy() const { return temp_folder + QStringLiteral("influxtmp.orva"); }

}  // namespace orva
