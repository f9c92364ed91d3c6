// The scan configuration grid: opening its editors, what a choice writes, deleting rows.
#include "config/item_text.h"
#include "config/module_kinds.h"
#include "startup/startup.h"
#include "store/installation_db.h"
#include "store/reference_db.h"
#include "ui/address_editor.h"
#include "ui/frm_influxdb.h"
#include "ui/grid_editor_delegate.h"
#include "ui/scan_grid_model.h"
#include "ui/scan_grid_view.h"

#include <QHeaderView>
#include <QPushButton>

#include <array>

namespace orva {
namespace {

constexpr char kScanTypePicker[] = "cmbScanType";
constexpr char kModulePicker[] = "cmbModule";
constexpr char kOutputPicker[] = "cmbOutput";
constexpr char kValueTypePicker[] = "cmbValueType";

// Widths of the columns in twips (1/1440 inch). The Item column takes what the others leave,
// this width when the window has its natural size and never less than kItemMinimumTwips.
constexpr std::array<int, ScanGridModel::kColumnCount> kColumnTwips = {2000, 5000, 2500, 500, 1000};
constexpr int kItemMinimumTwips = 2500;

std::vector<PickerEntry> EntriesOf(const QStringList& texts) {
  std::vector<PickerEntry> entries;
  for (const QString& text : texts) entries.push_back({text, 0});
  return entries;
}

}  // namespace

void FrmInfluxDB::InitGridHeader() {
  model_->SetRows({});
  const int dpi = grdConfig_->logicalDpiX();
  const auto pixels = [dpi](int twips) { return twips * dpi / 1440; };
  for (int column = 0; column < ScanGridModel::kColumnCount; ++column) {
    grdConfig_->setColumnWidth(column, pixels(kColumnTwips[static_cast<size_t>(column)]));
  }
  // The address editor's box and stepper fit in their cell, beside its grid line, and show
  // "255" whole.
  constexpr int kGridLine = 1;
  grdConfig_->setColumnWidth(ScanGridModel::kAddress,
                             std::max(grdConfig_->columnWidth(ScanGridModel::kAddress),
                                      AddressEditor::FittingWidth(*grdConfig_) + kGridLine));
  grdConfig_->SetSpareWidthColumn(ScanGridModel::kItem, pixels(kColumnTwips[ScanGridModel::kItem]),
                                  pixels(kItemMinimumTwips));
  // The last column's cell is current, yet the grid opens on its first column: the view would
  // otherwise scroll there once it is shown.
  const bool auto_scroll = grdConfig_->hasAutoScroll();
  grdConfig_->setAutoScroll(false);
  grdConfig_->setCurrentIndex(model_->index(0, ScanGridModel::kValueType));
  grdConfig_->setAutoScroll(auto_scroll);
  grdConfig_->clearSelection();
}

void FrmInfluxDB::HideCellEditors() { delegate_->CloseEditor(); }

// A module cell holds serial and location while its entries add the type, so a module's entry
// is found by its serial.
void FrmInfluxDB::OpenPicker(const QModelIndex& cell, const char* name,
                             std::vector<PickerEntry> entries) {
  const bool module = qstrcmp(name, kModulePicker) == 0;
  const int highlighted = HighlightedEntry(entries, cell.data().toString(), module);
  delegate_->OpenPicker(cell, QLatin1String(name), std::move(entries), highlighted);
}

// The highlight shows the row the delete button removes, not the last one a scan read.
void FrmInfluxDB::ShowChosenRow() {
  if (!clicked_row_.isValid()) {
    grdConfig_->clearSelection();
    return;
  }
  grdConfig_->selectionModel()->setCurrentIndex(clicked_row_, QItemSelectionModel::ClearAndSelect);
  grdConfig_->scrollTo(clicked_row_);
}

void FrmInfluxDB::grdConfig_HeaderClick() {
  if (scanning_) return;
  HideCellEditors();
  cmdDelData_->hide();
}

void FrmInfluxDB::grdConfig_Click(const QModelIndex& cell) {
  if (!cell.isValid()) return;
  // While scanning a click opens no editor; it only chooses the row whose values show, and the
  // highlight stays with that row instead of following the rows being read.
  if (scanning_) {
    ChooseRow(cell);
    chosen_while_scanning_ = clicked_row_.isValid();
    ShowChosenRow();
    return;
  }
  HideCellEditors();
  const int row = cell.row();
  const ScanRow scan_row = model_->Row(row);
  switch (cell.column()) {
    case ScanGridModel::kScanType:
      OpenPicker(cell, kScanTypePicker, EntriesOf(ScanTypeTexts()));
      break;
    case ScanGridModel::kItem:
      if (model_->IsScanRow(row)) OpenItemEditor(cell);
      break;
    case ScanGridModel::kAddress:
      if (model_->IsScanRow(row) && scan_row.scan_type == QLatin1String("Module_memory")) {
        delegate_->OpenAddress(cell);
      }
      break;
    case ScanGridModel::kValueType:
      if (model_->IsScanRow(row) && scan_row.scan_type == QLatin1String("Module_memory")) {
        OpenPicker(cell, kValueTypePicker, EntriesOf(ValueTypeTexts()));
      }
      break;
    default:
      break;  // The Item type follows the Item; it is never edited on its own.
  }
  ChooseRow(cell);
}

// The delete button and the values follow the row the user chose last, by a click or by the
// keyboard.
void FrmInfluxDB::ChooseRow(const QModelIndex& cell) {
  const bool scan_row = model_->IsScanRow(cell.row());
  clicked_row_ = scan_row ? QPersistentModelIndex(cell) : QPersistentModelIndex();
  cmdDelData_->setVisible(scan_row);
  ShowChosenValues();
}

// The keys that open an editor open the one a click opens, under the same rules.
void FrmInfluxDB::grdConfig_KeyEdit(const QModelIndex& cell, const QString& typed) {
  // The address takes digits only; a letter there looks for a row as in any table.
  const bool digit = !typed.isEmpty() && typed.front().isDigit() && typed.front().unicode() < 128;
  if (!typed.isEmpty() && cell.column() == ScanGridModel::kAddress && !digit) return;
  grdConfig_Click(cell);
  if (!typed.isEmpty()) delegate_->TypeIntoEditor(typed);
}

void FrmInfluxDB::grdConfig_KeyMove(const QModelIndex& cell) { ChooseRow(cell); }

void FrmInfluxDB::OpenItemEditor(const QModelIndex& cell) {
  const QString scan_type = model_->Row(cell.row()).scan_type;
  Guarded([&] {
    if (scan_type == QLatin1String("Module") || scan_type == QLatin1String("Module_memory")) {
      // Modules may change between two clicks, so the list is read afresh every time.
      const bool whole_modules_only = scan_type == QLatin1String("Module");
      OpenPicker(cell, kModulePicker,
                 ModulePickerEntries(*state_.installation, whole_modules_only));
    } else if (scan_type == QLatin1String("Output_status")) {
      OpenPicker(cell, kOutputPicker, output_entries_);
    }
  });
}

void FrmInfluxDB::EditorChosen(const QString& picker, const QPersistentModelIndex& cell,
                               const QString& text, qint64 id) {
  // A load may have replaced the rows while the picker was open: its cell is then gone.
  if (!cell.isValid() || scanning_) return;
  const int row = cell.row();
  if (picker == QLatin1String(kScanTypePicker)) {
    cmbScanType_Click(row, text);
  } else if (picker == QLatin1String(kModulePicker)) {
    Guarded([&] { cmbModule_Click(row, id); });
  } else if (picker == QLatin1String(kOutputPicker)) {
    Guarded([&] { cmbOutput_Click(row, text, id); });
  } else if (picker == QLatin1String(kValueTypePicker)) {
    cmbValueType_Click(row, text);
  }
}

void FrmInfluxDB::cmbScanType_Click(int row, const QString& text) {
  // Writing the slot's scan type makes it a scan row and appends a fresh slot.
  model_->SetCell(row, ScanGridModel::kScanType, text);
  if (text == QLatin1String("Module_memory")) {
    model_->SetCell(row, ScanGridModel::kAddress, QStringLiteral("0"));
    model_->SetCell(row, ScanGridModel::kValueType, QStringLiteral("Byte"));
  }
}

void FrmInfluxDB::cmbModule_Click(int row, qint64 id) {
  const std::optional<Module> module = state_.installation->ModuleById(id);
  if (!module) {
    model_->SetCell(row, ScanGridModel::kItem, QStringLiteral("???"));
    model_->SetCell(row, ScanGridModel::kItemType, QString());
    return;
  }
  model_->SetCell(row, ScanGridModel::kItem, ModuleItemText(*module));
  model_->SetCell(row, ScanGridModel::kItemType, ItemTypeFor(module->type));
  grdConfig_->setCurrentIndex(model_->index(row, ScanGridModel::kItemType));
}

void FrmInfluxDB::cmbOutput_Click(int row, const QString& text, qint64 id) {
  const std::optional<Output> output = state_.installation->OutputById(id);
  if (!output) {
    model_->SetCell(row, ScanGridModel::kItem, QStringLiteral("???"));
    model_->SetCell(row, ScanGridModel::kItemType, QString());
    model_->SetOutputId(row, 0);
    return;
  }
  model_->SetOutputId(row, static_cast<qint32>(output->id));
  model_->SetCell(row, ScanGridModel::kItem, text);
  const std::optional<QString> mode_name =
      output->mode_id ? state_.reference->ModeName(*output->mode_id) : std::nullopt;
  model_->SetCell(row, ScanGridModel::kItemType, mode_name.value_or(QString()));
}

void FrmInfluxDB::cmbValueType_Click(int row, const QString& text) {
  model_->SetCell(row, ScanGridModel::kValueType, text);
}

void FrmInfluxDB::updValue_Change(const QPersistentModelIndex& cell, int address) {
  if (!cell.isValid() || scanning_) return;
  model_->SetCell(cell.row(), ScanGridModel::kAddress, QString::number(address));
}

// Escape in the address editor: the cell shows what it held before, whatever was typed.
void FrmInfluxDB::txtValue_Revert(const QPersistentModelIndex& cell, const QString& text) {
  if (!cell.isValid() || scanning_) return;
  model_->SetCell(cell.row(), ScanGridModel::kAddress, text);
}

void FrmInfluxDB::cmdDelData_Click() {
  if (scanning_) return;
  HideCellEditors();
  if (!clicked_row_.isValid() || !model_->IsScanRow(clicked_row_.row())) return;
  const QModelIndex removed = clicked_row_;
  model_->RemoveScanRow(removed.row());
  // As in a grid that keeps its current row: the row that moved up is next in line.
  const QModelIndex next = model_->index(removed.row(), removed.column());
  clicked_row_ =
      model_->IsScanRow(next.row()) ? QPersistentModelIndex(next) : QPersistentModelIndex();
  if (clicked_row_.isValid()) grdConfig_->setCurrentIndex(next);
  if (model_->rows().empty()) cmdDelData_->hide();
  ShowChosenValues();
  // The keyboard stays in the grid: arrow keys go on choosing rows, not the fields above.
  grdConfig_->setFocus(Qt::OtherFocusReason);
}

}  // namespace orva
