#include "ui/picker_entries.h"

#include "config/item_text.h"
#include "config/module_kinds.h"
#include "store/installation_db.h"

#include <algorithm>
#include <array>

namespace orva {

bool PassesOutputModeFilter(qint64 mode_id, qint64 sub_address) {
  static constexpr std::array<qint64, 15> kModes = {10,  20,  41, 50, 60,  70,  81, 82,
                                                    140, 151, 91, 92, 221, 222, 280};
  if (std::find(kModes.begin(), kModes.end(), mode_id) != kModes.end()) return true;
  return mode_id == 30 && sub_address % 2 == 0;
}

std::vector<PickerEntry> OutputPickerEntries(InstallationDb& installation) {
  std::vector<PickerEntry> entries;
  for (const Output& output : installation.OutputsByName()) {
    // A missing mode or sub-address cannot pass: no mode is 0, and 30 needs an even one.
    if (!PassesOutputModeFilter(output.mode_id.value_or(0), output.sub_address.value_or(1))) {
      continue;
    }
    entries.push_back({OutputEntryText(output), output.id});
  }
  return entries;
}

std::vector<PickerEntry> ModulePickerEntries(InstallationDb& installation,
                                             bool whole_modules_only) {
  std::vector<PickerEntry> entries;
  for (const Module& module : installation.ModulesBySerial()) {
    if (whole_modules_only && ModuleKindOf(module.type) == ModuleKind::kNone) continue;
    const QString text = module.serial + QLatin1Char(' ') + DesignationFor(module.type) +
                         QLatin1Char(' ') + module.place;
    entries.push_back({text, module.id});
  }
  return entries;
}

int HighlightedEntry(const std::vector<PickerEntry>& entries, const QString& cell_text,
                     bool by_module_serial) {
  if (entries.empty()) return -1;
  const auto found = [&](auto matches) {
    const auto entry = std::find_if(entries.begin(), entries.end(), matches);
    return entry == entries.end() ? -1 : static_cast<int>(entry - entries.begin());
  };
  int index = found([&](const PickerEntry& entry) { return entry.text == cell_text; });
  constexpr qsizetype kSerialLength = 6;
  if (index < 0 && by_module_serial && cell_text.size() >= kSerialLength) {
    const QStringView serial = QStringView(cell_text).left(kSerialLength);
    index = found([&](const PickerEntry& entry) {
      return entry.text.size() > kSerialLength && entry.text.at(kSerialLength) == u' ' &&
             QStringView(entry.text).left(kSerialLength) == serial;
    });
  }
  return std::max(index, 0);
}

}  // namespace orva
