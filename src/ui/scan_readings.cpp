#include "ui/scan_readings.h"

#include "ui/value_text.h"

namespace orva {

void ScanReadings::Add(const RowReading& reading) {
  Row& row = rows_[reading.grid_row];
  row.error = reading.error;
  if (!reading.ok()) return;
  row.record = reading;
  const double at = static_cast<double>(reading.read_at.toMSecsSinceEpoch());
  for (const Field& field : reading.fields) {
    const std::optional<double> number = FieldNumber(field.value);
    if (!number) continue;
    QList<QPointF>& points = row.values[field.key];
    points.append({at, *number});
    while (points.size() > kMaxPoints || points.constFirst().x() < at - kSpanMs) {
      points.removeFirst();
    }
  }
}

void ScanReadings::ClearHistory() {
  for (auto& [grid_row, row] : rows_) row.values.clear();
}

void ScanReadings::Clear() { rows_.clear(); }

const ScanReadings::Row* ScanReadings::Find(int grid_row) const {
  const auto found = rows_.find(grid_row);
  return found == rows_.end() ? nullptr : &found->second;
}

const RowReading* ScanReadings::LastRecord(int grid_row) const {
  const Row* row = Find(grid_row);
  return row != nullptr && row->record ? &*row->record : nullptr;
}

QString ScanReadings::LastError(int grid_row) const {
  const Row* row = Find(grid_row);
  return row != nullptr ? row->error : QString();
}

QList<QPointF> ScanReadings::Points(int grid_row, const QString& key) const {
  const Row* row = Find(grid_row);
  if (row == nullptr) return {};
  const auto found = row->values.find(key);
  return found == row->values.end() ? QList<QPointF>() : found->second;
}

}  // namespace orva
