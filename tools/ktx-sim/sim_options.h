#pragma once

// The command line of ktx-sim.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "faults.h"

namespace orva::sim {

struct SimOptions {
  bool tcp = true;
  quint16 port = 8446;
  bool serial = false;
  QString serial_link;
  QByteArray user = "ORVA";
  QByteArray password;  // empty: sixteen 0x00
  QString model_file;   // empty: the built-in demo model
  bool freeze_time = false;
  bool verbose = false;
  Faults faults;
};

// Parses the arguments (argv[0] first). --help prints the usage and exits; a bad option
// prints why and exits with status 2.
SimOptions ParseOptionsOrExit(const QStringList& arguments);

}  // namespace orva::sim
