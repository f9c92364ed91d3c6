#include "delivery/influx_server.h"

#include <QDir>
#include <QFile>

namespace orva {
namespace {

QString SecretPath(const QString& secret_file) {
  const QString credentials = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
  if (credentials.isEmpty() || QDir::isAbsolutePath(secret_file)) return secret_file;
  return QDir(credentials).filePath(secret_file);
}

QString ReadSecret(const QString& secret_file, QStringList* warnings) {
  if (secret_file.isEmpty()) return qEnvironmentVariable(kSecretVariable);
  const QString path = SecretPath(secret_file);
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    *warnings << QStringLiteral("Cannot read the secret file %1: %2").arg(path, file.errorString());
    return {};
  }
  if (file.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther)) {
    *warnings
        << QStringLiteral("The secret file %1 can be read by other users (chmod 600 it)").arg(path);
  }
  return QString::fromUtf8(file.readLine()).trimmed();
}

}  // namespace

ResolvedServer ResolveServer(const ServerFields& fields, const ServerAccess& access) {
  ResolvedServer resolved;
  resolved.server = {fields.host, fields.port, fields.database, access, {}};
  resolved.server.secret = ReadSecret(access.secret_file, &resolved.warnings);
  if (access.tls && !access.tls_verify) {
    resolved.warnings << QStringLiteral(
        "TLS certificate check is off: the InfluxDB server is not verified to be who it claims");
  }
  return resolved;
}

}  // namespace orva
