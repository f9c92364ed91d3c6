#pragma once

#include <QStringList>

#include "config/scan_configuration.h"
#include "delivery/influx_writer.h"

namespace orva {

// The environment variable that holds the password or token when no secret file is named.
inline constexpr char kSecretVariable[] = "ORVA_INFLUX_SECRET";

struct ResolvedServer {
  InfluxServer server;
  // What the user should know before the first post (a check turned off, a secret file others
  // can read, a secret file that cannot be read); each for a red status line. None holds the
  // secret.
  QStringList warnings;
};

// The server the writer posts to, from the settings, with the secret read now: from the secret
// file (a relative path is taken in $CREDENTIALS_DIRECTORY when systemd set it, else in the
// current folder), else from $ORVA_INFLUX_SECRET. Only the first line of the file counts.
ResolvedServer ResolveServer(const ServerFields& fields, const ServerAccess& access);

}  // namespace orva
