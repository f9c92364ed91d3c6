#pragma once

#include "delivery/outbox_sender.h"

#include <QString>

namespace orva {

// The status line for how delivery stands: "InfluxDB: 48 records sent", or in red why records
// wait ("InfluxDB unreachable: 1,240 records waiting since 14:02:11; next try in 16 s"), with
// records dropped for room and lines the server refused for good added in red.
struct DeliveryStatusLine {
  QString text;
  bool red = false;
};
DeliveryStatusLine DeliveryStatusText(const DeliveryState& state);

}  // namespace orva
