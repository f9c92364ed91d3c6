#include "ui/scan_grid_model.h"

#include <utility>

namespace orva {
namespace {

const QString* CellOf(const ScanRow& row, int column) {
  switch (column) {
    case ScanGridModel::kScanType:
      return &row.scan_type;
    case ScanGridModel::kItem:
      return &row.item_text;
    case ScanGridModel::kItemType:
      return &row.item_type;
    case ScanGridModel::kAddress:
      return &row.sram;
    case ScanGridModel::kValueType:
      return &row.value_type;
  }
  return nullptr;
}

QString* CellOf(ScanRow& row, int column) {
  return const_cast<QString*>(CellOf(std::as_const(row), column));
}

}  // namespace

QString CellText(const ScanRow& row, int column) {
  const QString* cell = CellOf(row, column);
  return cell == nullptr ? QString() : *cell;
}

ScanGridModel::ScanGridModel(QObject* parent) : QAbstractTableModel(parent) {}

int ScanGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size()) + 1;
}

int ScanGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant ScanGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  switch (role) {
    case Qt::DisplayRole:
      return CellText(Row(index.row()), index.column());
    case Qt::TextAlignmentRole:
      // Addresses are numbers and sit right; every other cell holds text and sits left.
      return QVariant::fromValue((index.column() == kAddress ? Qt::AlignRight : Qt::AlignLeft) |
                                 Qt::AlignVCenter);
    default:
      return {};
  }
}

Qt::ItemFlags ScanGridModel::flags(const QModelIndex& index) const {
  return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

QVariant ScanGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal)
    return QAbstractTableModel::headerData(section, orientation, role);
  static const char* const kHeaders[kColumnCount] = {"Scan type", "Item", "Item type", ".....",
                                                     "....."};
  if (section < 0 || section >= kColumnCount) return {};
  if (role == Qt::DisplayRole) return QString::fromLatin1(kHeaders[section]);
  if (role == Qt::TextAlignmentRole && section == kItem) {
    return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  }
  return {};
}

void ScanGridModel::SetRows(std::vector<ScanRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

ScanRow ScanGridModel::Row(int model_row) const {
  return IsScanRow(model_row) ? rows_[static_cast<size_t>(model_row)] : ScanRow{};
}

ScanRow& ScanGridModel::RowForWriting(int model_row) {
  if (IsSlot(model_row)) {
    // The slot turns into a scan row; the fresh slot after it is a new model row.
    const int slot = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), slot + 1, slot + 1);
    rows_.emplace_back();
    endInsertRows();
  }
  return rows_[static_cast<size_t>(model_row)];
}

void ScanGridModel::SetCell(int model_row, int column, const QString& text) {
  if (model_row < 0 || model_row > static_cast<int>(rows_.size())) return;
  QString* cell = CellOf(RowForWriting(model_row), column);
  if (cell == nullptr || *cell == text) return;
  *cell = text;
  const QModelIndex changed = index(model_row, column);
  Q_EMIT dataChanged(changed, changed, {Qt::DisplayRole});
}

void ScanGridModel::SetOutputId(int model_row, qint32 output_id) {
  if (!IsScanRow(model_row)) return;
  rows_[static_cast<size_t>(model_row)].output_id = output_id;
  // The id is not shown, but the scan and the file read it: let listeners know the row changed.
  Q_EMIT dataChanged(index(model_row, 0), index(model_row, kColumnCount - 1), {Qt::UserRole});
}

void ScanGridModel::RemoveScanRow(int model_row) {
  if (!IsScanRow(model_row)) return;
  beginRemoveRows(QModelIndex(), model_row, model_row);
  rows_.erase(rows_.begin() + model_row);
  endRemoveRows();
}

}  // namespace orva
