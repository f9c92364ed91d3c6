#include "ui/values_panel.h"

#include "ui/value_chart.h"
#include "ui/value_text.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace orva {
namespace {

enum Column { kField = 0, kValue = 1, kReadAt = 2 };

QTableWidgetItem* Cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft) {
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment(alignment | Qt::AlignVCenter);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return item;
}

}  // namespace

ValuesPanel::ValuesPanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Values"), parent),
      labValuesRow_(new QLabel(this)),
      labValuesError_(new QLabel(this)),
      tblValues_(new QTableWidget(0, 3, this)),
      chtValue_(new ValueChart(this)) {
  setObjectName(QStringLiteral("fraValues"));
  labValuesRow_->setObjectName(QStringLiteral("labValuesRow"));
  labValuesError_->setObjectName(QStringLiteral("labValuesError"));
  labValuesError_->setWordWrap(true);
  QPalette red = labValuesError_->palette();
  red.setColor(QPalette::WindowText, QColor(255, 0, 0));
  labValuesError_->setPalette(red);
  labValuesError_->hide();
  tblValues_->setObjectName(QStringLiteral("tblValues"));
  tblValues_->setHorizontalHeaderLabels(
      {QStringLiteral("Field"), QStringLiteral("Value"), QStringLiteral("Read at")});
  tblValues_->verticalHeader()->hide();
  tblValues_->verticalHeader()->setDefaultSectionSize(tblValues_->fontMetrics().height() + 6);
  tblValues_->horizontalHeader()->setSectionResizeMode(kField, QHeaderView::Stretch);
  tblValues_->horizontalHeader()->setSectionResizeMode(kValue, QHeaderView::ResizeToContents);
  tblValues_->horizontalHeader()->setSectionResizeMode(kReadAt, QHeaderView::ResizeToContents);
  tblValues_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tblValues_->setSelectionMode(QAbstractItemView::SingleSelection);
  tblValues_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tblValues_->setWordWrap(false);
  tblValues_->setToolTip(QStringLiteral("Choose a field to see it in the chart"));
  chtValue_->setObjectName(QStringLiteral("chtValue"));
  connect(tblValues_, &QTableWidget::currentCellChanged, this, &ValuesPanel::FieldChosen);

  auto* side_by_side = new QHBoxLayout;
  side_by_side->addWidget(tblValues_, 1);
  side_by_side->addWidget(chtValue_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(labValuesRow_);
  layout->addWidget(labValuesError_);
  layout->addLayout(side_by_side, 1);
  Refresh();
}

void ValuesPanel::Add(const RowReading& reading) {
  readings_.Add(reading);
  if (reading.grid_row == grid_row_) Refresh();
}

void ValuesPanel::ShowRow(int grid_row, const QString& title) {
  grid_row_ = grid_row;
  title_ = title;
  Refresh();
}

void ValuesPanel::StartScan() {
  readings_.ClearHistory();
  Refresh();
}

void ValuesPanel::Clear() {
  readings_.Clear();
  Refresh();
}

void ValuesPanel::Refresh() {
  labValuesRow_->setText(grid_row_ > 0 ? title_ : QStringLiteral("Choose a scan row"));
  const QString error = readings_.LastError(grid_row_);
  labValuesError_->setText(error);
  labValuesError_->setVisible(!error.isEmpty());
  const RowReading* record = readings_.LastRecord(grid_row_);
  FillTable(record);
  const bool charted = record != nullptr && !field_.isEmpty();
  chtValue_->Show(charted ? record->measurement + QLatin1Char(' ') + field_ : QString(),
                  charted ? readings_.Points(grid_row_, field_) : QList<QPointF>());
}

void ValuesPanel::FillTable(const RowReading* record) {
  const FieldList fields = record != nullptr ? record->fields : FieldList();
  const QLocale locale;
  const QString read_at =
      record != nullptr ? locale.toString(record->read_at.time(), TimeOfDayFormat(locale)) : "";
  // Filling the table is no choice of the user's: the chosen field stays.
  const QSignalBlocker quiet(tblValues_);
  tblValues_->setRowCount(static_cast<int>(fields.size()));
  int chosen = fields.isEmpty() ? -1 : 0;
  for (int row = 0; row < fields.size(); ++row) {
    const Field& field = fields[row];
    tblValues_->setItem(row, kField, Cell(field.key));
    tblValues_->setItem(row, kValue, Cell(LocalizedValue(field.value, locale), Qt::AlignRight));
    tblValues_->setItem(row, kReadAt, Cell(read_at, Qt::AlignRight));
    if (field.key == field_) chosen = row;
  }
  if (chosen >= 0) {
    tblValues_->setCurrentCell(chosen, kField);
    field_ = fields[chosen].key;
  }
}

void ValuesPanel::FieldChosen(int table_row) {
  const QTableWidgetItem* item = tblValues_->item(table_row, kField);
  if (item == nullptr) return;
  field_ = item->text();
  Refresh();
}

}  // namespace orva
