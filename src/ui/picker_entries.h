#pragma once

#include <QString>

#include <vector>

namespace orva {

class InstallationDb;

// One entry of a module or output picker: the text it shows and the record's "Id".
struct PickerEntry {
  QString text;
  qint64 id = 0;

  friend bool operator==(const PickerEntry&, const PickerEntry&) = default;
};

// Whether an output may be scanned: the modes that report a status. Mode 30 drives pairs of
// sub-addresses; only the even one of a pair is offered.
bool PassesOutputModeFilter(qint64 mode_id, qint64 sub_address);

// The output picker: every output that passes the mode filter, in name order.
std::vector<PickerEntry> OutputPickerEntries(InstallationDb& installation);

// The module picker, in serial order: "serienr", the designation of its type, "plaats". With
// `whole_modules_only` only the kinds a "Module" row can read are listed.
std::vector<PickerEntry> ModulePickerEntries(InstallationDb& installation, bool whole_modules_only);

// The entry a picker's list opens on: the one whose text equals the cell's, for a module
// picker the one with the cell's six-character serial (a module cell holds serial and
// location, the entry serial, type and location); else the first entry; -1 for an empty list.
int HighlightedEntry(const std::vector<PickerEntry>& entries, const QString& cell_text,
                     bool by_module_serial);

}  // namespace orva
