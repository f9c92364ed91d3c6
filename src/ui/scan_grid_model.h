#pragma once

#include "config/scan_row.h"

#include <QAbstractTableModel>
#include <QList>

#include <map>
#include <vector>

namespace orva {

// The scan rows as the grid shows them: five columns, one model row per scan row and, after
// them, the empty new-row slot that the grid always ends with. The header row is the view's
// horizontal header, so model row r is grid row r + 1.
class ScanGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kScanType = 0, kItem = 1, kItemType = 2, kAddress = 3, kValueType = 4 };
  static constexpr int kColumnCount = 5;

  explicit ScanGridModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  // Every cell can take an editor; which one opens, if any, is the window's choice.
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // The scan rows, without the slot.
  const std::vector<ScanRow>& rows() const { return rows_; }
  QList<ScanRow> RowList() const { return QList<ScanRow>(rows_.begin(), rows_.end()); }
  // Replaces every scan row; the slot follows them.
  void SetRows(std::vector<ScanRow> rows);

  bool IsSlot(int model_row) const { return model_row == static_cast<int>(rows_.size()); }
  bool IsScanRow(int model_row) const {
    return model_row >= 0 && model_row < static_cast<int>(rows_.size());
  }
  // The row at `model_row`; the slot reads as an empty row.
  ScanRow Row(int model_row) const;

  // Writes one cell of a scan row, or of the slot, which then becomes a scan row and a fresh
  // slot is appended.
  void SetCell(int model_row, int column, const QString& text);
  void SetOutputId(int model_row, qint32 output_id);
  void RemoveScanRow(int model_row);

  // Whether a row's last read succeeded, as a mark in its row header; the mark's tool tip says
  // when it was read, or why it failed. Rows that are edited, move or go lose their marks. A row
  // with a fault from its file is marked failed, the fault as tool tip, until it is edited.
  struct ReadMark {
    bool ok = false;
    QString tool_tip;
  };
  void SetReadMark(int model_row, ReadMark mark);

 private:
  ScanRow& RowForWriting(int model_row);
  QVariant RowHeaderData(int model_row, int role) const;
  void ForgetReadMark(int model_row);
  void ClearFault(int model_row);
  // Drops every read mark but those of faulty rows.
  void MarkFaults();

  std::vector<ScanRow> rows_;
  std::map<int, ReadMark> marks_;
};

// The cell text of a row's column.
QString CellText(const ScanRow& row, int column);

}  // namespace orva
