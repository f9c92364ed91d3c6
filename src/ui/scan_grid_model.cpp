#include "ui/scan_grid_model.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include <utility>

namespace orva {
namespace {

constexpr int kMarkSize = 10;

// A dot of `color`; rows without a mark get a transparent one, so that the row header keeps its
// width as marks come and go.
QIcon MarkIcon(const QColor& color) {
  QPixmap pixmap(kMarkSize, kMarkSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(color);
  painter.drawEllipse(QRectF(1, 1, kMarkSize - 2, kMarkSize - 2));
  return QIcon(pixmap);
}

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
  if (orientation != Qt::Horizontal) return RowHeaderData(section, role);
  static const char* const kHeaders[kColumnCount] = {"Scan type", "Item", "Item type", ".....",
                                                     "....."};
  if (section < 0 || section >= kColumnCount) return {};
  if (role == Qt::DisplayRole) return QString::fromLatin1(kHeaders[section]);
  if (role == Qt::TextAlignmentRole && section == kItem) {
    return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  }
  return {};
}

QVariant ScanGridModel::RowHeaderData(int model_row, int role) const {
  static const QIcon kNone = MarkIcon(Qt::transparent);
  static const QIcon kOk = MarkIcon(QColor(0, 160, 0));
  static const QIcon kFailed = MarkIcon(QColor(255, 0, 0));
  const auto mark = marks_.find(model_row);
  const bool marked = mark != marks_.end();
  switch (role) {
    case Qt::DisplayRole:
      return QString();
    case Qt::DecorationRole:
      return !marked ? kNone : mark->second.ok ? kOk : kFailed;
    case Qt::ToolTipRole:
      return marked ? mark->second.tool_tip : QVariant();
    default:
      return {};
  }
}

void ScanGridModel::SetReadMark(int model_row, ReadMark mark) {
  if (!IsScanRow(model_row)) return;
  const auto found = marks_.find(model_row);
  // The tool tip is asked for when it shows; only a mark that turns needs drawing again.
  const bool turns = found == marks_.end() || found->second.ok != mark.ok;
  marks_[model_row] = std::move(mark);
  if (turns) Q_EMIT headerDataChanged(Qt::Vertical, model_row, model_row);
}

// A row the scan cannot read says so from the start, and keeps saying it: the scan skips it.
void ScanGridModel::MarkFaults() {
  marks_.clear();
  for (size_t row = 0; row < rows_.size(); ++row) {
    if (!rows_[row].fault.isEmpty()) marks_[static_cast<int>(row)] = {false, rows_[row].fault};
  }
}

// A row the user edits is what the pickers make of it, no longer what the file held.
void ScanGridModel::ClearFault(int model_row) {
  ScanRow& row = rows_[static_cast<size_t>(model_row)];
  row.fault.clear();
  row.file_text.clear();
}

// A row that reads something else has read nothing yet.
void ScanGridModel::ForgetReadMark(int model_row) {
  if (marks_.erase(model_row) > 0) Q_EMIT headerDataChanged(Qt::Vertical, model_row, model_row);
}

void ScanGridModel::SetRows(std::vector<ScanRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  MarkFaults();
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
  ClearFault(model_row);
  const QModelIndex changed = index(model_row, column);
  Q_EMIT dataChanged(changed, changed, {Qt::DisplayRole});
  ForgetReadMark(model_row);
}

void ScanGridModel::SetOutputId(int model_row, qint32 output_id) {
  if (!IsScanRow(model_row)) return;
  rows_[static_cast<size_t>(model_row)].output_id = output_id;
  ClearFault(model_row);
  // The id is not shown, but the scan and the file read it: let listeners know the row changed.
  Q_EMIT dataChanged(index(model_row, 0), index(model_row, kColumnCount - 1), {Qt::UserRole});
  ForgetReadMark(model_row);
}

void ScanGridModel::RemoveScanRow(int model_row) {
  if (!IsScanRow(model_row)) return;
  beginRemoveRows(QModelIndex(), model_row, model_row);
  rows_.erase(rows_.begin() + model_row);
  MarkFaults();
  endRemoveRows();
}

}  // namespace orva
