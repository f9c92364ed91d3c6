#pragma once

#include "store/installation_db.h"

#include <QString>

namespace orva {

// The texts a scan row's Item cell shows, built in one place so that a row chosen in the grid
// and the same row read back from a file look alike.

// A module as "<serial> <place>".
QString ModuleItemText(const Module& module);

// A module serial that the installation no longer holds: the serial and " ???". The serial
// stays in front, so that the row is written back with it.
QString UnknownModuleItemText(const QString& serial);

// An output as the output picker lists it: "<name> (A<address>.<sub-address>)", for example
// "Kitchen (A12.3)"; an unknown address is left empty.
QString OutputEntryText(const Output& output);

}  // namespace orva
