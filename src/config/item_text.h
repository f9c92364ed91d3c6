#pragma once

#include "store/record.h"

#include <QString>

namespace orva {

// The texts a scan row's Item cell shows, built in one place so that a row chosen in the grid
// and the same row read back from a file look alike.

// A module record ("serienr", "plaats") as "serienr plaats".
QString ModuleItemText(const Record& module);

// A module serial that the installation no longer holds: the serial and " ???". The serial
// stays in front, so that the row is written back with it.
QString UnknownModuleItemText(const QString& serial);

// An output record ("Naam", "Adres", "SubAdres") as the output picker lists it:
// "Naam (A<Adres>.<SubAdres>)", for example "Kitchen (A12.3)".
QString OutputEntryText(const Record& output);

}  // namespace orva
