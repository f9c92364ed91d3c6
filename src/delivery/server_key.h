#pragma once

#include "delivery/influx_writer.h"

#include <QString>

namespace orva {

// What the outbox keeps of the server a record was read for: the address, the database, the
// access settings and the precision of the record's time stamp, as a JSON object; never the
// secret. Servers with equal keys are the same destination.
QString ServerKey(const InfluxServer& server);

// The server a key names, with its secret read anew as at start (ResolveServer).
InfluxServer ServerOfKey(const QString& key);

}  // namespace orva
