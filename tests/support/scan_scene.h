#pragma once

// A controller with fixed bytes for ktx-sim and the installation that names its modules and
// outputs, so that every value a scan posts is known; and scan rows as the grid holds them.
#include <QByteArray>
#include <QList>

#include "config/scan_row.h"
#include "temp_dir.h"

namespace orva::test {

// Into `folder`: the scene's model (its path is returned), an installation working copy that
// names its modules and outputs, and settings that reach the controller over TCP only.
// Installed but unknown to the controller: module 654321 (Attic) and output 4 (address 99).
QString WriteScanScene(const ProgramFolder& folder);

ScanRow ModuleRow(const char* serial, const char* type);
ScanRow MemoryRow(const char* serial, const char* sram, const char* value_type);
ScanRow OutputRow(int id);

// One row of each kind over the scene: 15 controller transactions and 8 records per tick.
QList<ScanRow> SceneRows();

}  // namespace orva::test
