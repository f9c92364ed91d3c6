#pragma once

#include "config/scan_configuration.h"

#include <QString>

namespace orva {

class JsonValue;

// The server access keys of a configuration file's "InfluxDB" object ("Api", "Tls", "CaFile",
// "TlsVerify", "User", "Org", "SecretFile", "CreateDatabase", "Tags"). Each is optional and means
// its default when absent or of another JSON type, so a file without them is read as it always was;
// "Tags" is a list of "name" and "kind", other entries ignored. The delivery keys come with them
// (config/delivery_keys.h).
ServerAccess ServerAccessOf(const JsonValue& settings);

// The members for the keys that differ from their defaults, each as ',"Key":value', in the
// order above, then the delivery keys held; empty for the defaults, so that such a file is
// written as it always was.
QString ServerAccessMembers(const ServerAccess& access);

}  // namespace orva
