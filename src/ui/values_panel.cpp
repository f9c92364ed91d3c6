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

constexpr int kRefreshMs = 250;

// Writes a cell's text, making the cell when it has none.
void SetCell(QTableWidget& table, int row, int column, const QString& text) {
  if (QTableWidgetItem* item = table.item(row, column)) {
    item->setText(text);
    return;
  }
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment((column == kField ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  table.setItem(row, column, item);
}

// Room for `sample` in a cell of `table`.
int ColumnWidthFor(const QTableWidget& table, const QString& sample) {
  constexpr int kCellMargins = 12;
  return table.fontMetrics().horizontalAdvance(sample) + kCellMargins;
}

}  // namespace

ValuesPanel::ValuesPanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Values"), parent),
      labValuesRow_(new QLabel(this)),
      labValuesTags_(new QLabel(this)),
      labValuesError_(new QLabel(this)),
      tblValues_(new QTableWidget(0, 3, this)),
      chtValue_(new ValueChart(this)) {
  setObjectName(QStringLiteral("fraValues"));
  labValuesRow_->setObjectName(QStringLiteral("labValuesRow"));
  labValuesTags_->setObjectName(QStringLiteral("labValuesTags"));
  labValuesTags_->hide();
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
  // Widths for the longest value and time a row can show, set once: measuring the cells as they
  // change would cost the window more than the values are worth.
  const QLocale locale;
  tblValues_->horizontalHeader()->setSectionResizeMode(kField, QHeaderView::Stretch);
  tblValues_->horizontalHeader()->setSectionResizeMode(kValue, QHeaderView::Fixed);
  tblValues_->horizontalHeader()->setSectionResizeMode(kReadAt, QHeaderView::Fixed);
  tblValues_->setColumnWidth(kValue,
                             ColumnWidthFor(*tblValues_, LocalizedValue("1.234567E+07", locale)));
  tblValues_->setColumnWidth(kReadAt,
                             ColumnWidthFor(*tblValues_, TimeOfDayText(QTime(23, 59, 59), locale)));
  tblValues_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tblValues_->setSelectionMode(QAbstractItemView::SingleSelection);
  tblValues_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tblValues_->setWordWrap(false);
  tblValues_->setToolTip(QStringLiteral("Choose a field to see it in the chart"));
  chtValue_->setObjectName(QStringLiteral("chtValue"));
  connect(tblValues_, &QTableWidget::currentCellChanged, this, &ValuesPanel::FieldChosen);
  refresh_.setSingleShot(true);
  refresh_.setInterval(kRefreshMs);
  connect(&refresh_, &QTimer::timeout, this, &ValuesPanel::Refresh);

  auto* side_by_side = new QHBoxLayout;
  side_by_side->addWidget(tblValues_, 1);
  side_by_side->addWidget(chtValue_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(labValuesRow_);
  layout->addWidget(labValuesTags_);
  layout->addWidget(labValuesError_);
  layout->addLayout(side_by_side, 1);
  Refresh();
}

void ValuesPanel::Add(const RowReading& reading) {
  readings_.Add(reading);
  if (reading.grid_row == grid_row_ && !refresh_.isActive()) refresh_.start();
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

void ValuesPanel::Forget(int grid_row) {
  readings_.Forget(grid_row);
  if (grid_row == grid_row_) Refresh();
}

void ValuesPanel::Refresh() {
  refresh_.stop();
  labValuesRow_->setText(grid_row_ > 0 ? title_ : QStringLiteral("Choose a scan row"));
  const QString error = readings_.LastError(grid_row_);
  labValuesError_->setText(error);
  labValuesError_->setVisible(!error.isEmpty());
  const RowReading* record = readings_.LastRecord(grid_row_);
  ShowTags(record != nullptr ? record->tags : TagList());
  FillTable(record);
  const bool charted = record != nullptr && !field_.isEmpty();
  chtValue_->Show(charted ? record->measurement + QLatin1Char(' ') + field_ : QString(),
                  charted ? readings_.Points(grid_row_, field_) : QList<QPointF>());
}

void ValuesPanel::ShowTags(const TagList& tags) {
  QStringList pairs;
  for (const Tag& tag : tags) pairs << tag.key + QLatin1Char('=') + tag.value;
  labValuesTags_->setText(QStringLiteral("Tags: ") + pairs.join(QStringLiteral(", ")));
  labValuesTags_->setVisible(!tags.isEmpty());
}

void ValuesPanel::FillTable(const RowReading* record) {
  const FieldList fields = record != nullptr ? record->fields : FieldList();
  const QLocale locale;
  const QString read_at =
      record != nullptr ? TimeOfDayText(record->read_at.time(), locale) : QString();
  // Filling the table is no choice of the user's: the chosen field stays.
  const QSignalBlocker quiet(tblValues_);
  tblValues_->setRowCount(static_cast<int>(fields.size()));
  int chosen = fields.isEmpty() ? -1 : 0;
  for (int row = 0; row < fields.size(); ++row) {
    const Field& field = fields[row];
    SetCell(*tblValues_, row, kField, field.key);
    SetCell(*tblValues_, row, kValue, LocalizedValue(field.value, locale));
    SetCell(*tblValues_, row, kReadAt, read_at);
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
