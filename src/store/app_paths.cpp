#include "store/app_paths.h"

#include <QDir>

namespace orva {
namespace {

QString WithSeparator(QString folder) {
  const QChar separator = QDir::separator();
  if (!folder.endsWith(separator) && !folder.endsWith(QLatin1Char('/'))) folder += separator;
  return folder;
}

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

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

AppPaths MakeAppPaths(const QString& program_folder) {
  const QChar separator = QDir::separator();
  AppPaths paths;
  paths.program_folder = Native(program_folder);
  paths.root = ProgramRoot(program_folder);
  paths.temp_folder =
      paths.root + QStringLiteral("Orva") + separator + QStringLiteral("Temp") + separator;
  paths.konfigrex_folder =
      paths.root + QStringLiteral("Orva") + separator + QStringLiteral("Konfigrex");
  return paths;
}

QString AppPaths::ReferenceDb() const {
  return WithSeparator(program_folder) + QStringLiteral("init2.orva");
}

QString AppPaths::SettingsDb() const {
  return WithSeparator(program_folder) + QStringLiteral("config2.orva");
}

QString AppPaths::CommLogDb() const {
  return WithSeparator(program_folder) + QStringLiteral("CommLog.orva");
}

QString AppPaths::OutboxDb() const {
  return WithSeparator(program_folder) + QStringLiteral("Outbox.orva");
}

QString AppPaths::DeliveryStateFile() const {
  return WithSeparator(program_folder) + QStringLiteral("DeliveryState.json");
}

QString AppPaths::WorkingCopy() const { return temp_folder + QStringLiteral("influxtmp.orva"); }

}  // namespace orva
