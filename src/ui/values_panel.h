#pragma once

#include <QGroupBox>
#include <QTimer>

#include "scan/row_reading.h"
#include "ui/scan_readings.h"

class QLabel;
class QTableWidget;

namespace orva {

class ValueChart;

// The "Values" frame below the grid: every field of the chosen row's last record with its value
// and read time, the row's latest failure, and a chart of the chosen field since the scan
// started. It keeps what the scan reported of every row, so that choosing another row shows its
// values at once.
class ValuesPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit ValuesPanel(QWidget* parent = nullptr);

  void Add(const RowReading& reading);
  // Shows grid row `grid_row` (1-based; 0: none) under `title`.
  void ShowRow(int grid_row, const QString& title);
  // A scan starts: the chart starts again.
  void StartScan();
  // The grid's rows changed places: what was read belongs to no row any more.
  void Clear();
  // Grid row `grid_row` was edited: what it read belongs to it no more.
  void Forget(int grid_row);

 private:
  void Refresh();
  void ShowTags(const TagList& tags);
  void FillTable(const RowReading* record);
  void FieldChosen(int table_row);

  ScanReadings readings_;
  int grid_row_ = 0;
  QString title_;
  // The field the chart shows, kept by name while the table is filled again.
  QString field_;
  // A fast scan reports a row many times a second; the frame shows it a few times a second, so
  // that drawing it never holds the window up.
  QTimer refresh_;

  QLabel* labValuesRow_;
  QLabel* labValuesTags_;
  QLabel* labValuesError_;
  QTableWidget* tblValues_;
  ValueChart* chtValue_;
};

}  // namespace orva
