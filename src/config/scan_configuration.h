#pragma once

#include "config/scan_row.h"

#include <QString>

#include <vector>

namespace orva {

// The server settings as the window's fields hold them: free text, read back unchanged by the
// writer and the file. The defaults are what a fresh window shows.
struct ServerFields {
  QString host = QStringLiteral("localhost");
  QString port = QStringLiteral("8086");
  QString database = QStringLiteral("orva");
  QString scan_time = QStringLiteral("0.5");

  friend bool operator==(const ServerFields&, const ServerFields&) = default;
};

// Everything a configuration file keeps. The rows are the scan rows only: neither the grid's
// header nor its new-row slot.
struct ScanConfiguration {
  ServerFields server;
  std::vector<ScanRow> rows;

  friend bool operator==(const ScanConfiguration&, const ScanConfiguration&) = default;
};

}  // namespace orva
