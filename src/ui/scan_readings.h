#pragma once

#include <QList>
#include <QPointF>
#include <QString>

#include <map>

#include "scan/row_reading.h"

namespace orva {

// What the window keeps of the rows it was told about: the last record of every grid row and
// its latest failure, and for the chart the numeric values of each field since the scan started.
// A field's values cover the last hour, and at most kMaxPoints of them are kept, so that memory
// stays bounded however long and however fast the scan runs.
class ScanReadings {
 public:
  static constexpr qint64 kSpanMs = 60 * 60 * 1000;
  // An hour at the default scan time of 0.5 s; faster scans keep a shorter span.
  static constexpr qsizetype kMaxPoints = 7200;

  void Add(const RowReading& reading);
  // A new scan: the values start again; the last records stay.
  void ClearHistory();
  // The rows changed places: nothing kept belongs to them any more.
  void Clear();
  // The row reads something else now.
  void Forget(int grid_row) { rows_.erase(grid_row); }

  // The grid row's last reading that gave a record, or nullptr.
  const RowReading* LastRecord(int grid_row) const;
  // Why the row's latest read failed; empty when it succeeded or none was made.
  QString LastError(int grid_row) const;
  // (read time in ms since the epoch, value), oldest first.
  QList<QPointF> Points(int grid_row, const QString& key) const;

 private:
  struct Row {
    std::optional<RowReading> record;
    QString error;
    std::map<QString, QList<QPointF>> values;
  };

  const Row* Find(int grid_row) const;

  std::map<int, Row> rows_;
};

}  // namespace orva
