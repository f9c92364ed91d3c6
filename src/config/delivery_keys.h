#pragma once

#include "config/scan_configuration.h"

#include <QString>

namespace orva {

class JsonValue;

// The delivery keys of a configuration file's "InfluxDB" object ("Delivery", "Precision",
// "OutboxLimit", "BatchSize", "FlushSeconds"). A key that is absent, of another JSON type or
// out of range is not held, and means its default.
DeliverySettings DeliverySettingsOf(const JsonValue& settings);

// The members for the keys held, each as ',"Key":value', in the order above.
QString DeliveryMembers(const DeliverySettings& delivery);

// "ms", "s", "us" or "ns", as the server's write endpoint names it.
QString PrecisionName(TimePrecision precision);

}  // namespace orva
