#include "ui/scan_grid_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>

#include <algorithm>

namespace orva {

namespace {

constexpr int kRowsWished = 6;
constexpr int kRowsAtLeast = 3;

}  // namespace

ScanGridView::ScanGridView(QWidget* parent) : QTableView(parent) {
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // A column the user widens or narrows takes its width from the spare one.
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column) {
    if (column != spare_column_) FitSpareColumn();
  });
}

void ScanGridView::SetSpareWidthColumn(int column, int natural_width, int minimum_width) {
  spare_column_ = column;
  spare_natural_width_ = natural_width;
  spare_minimum_width_ = minimum_width;
  FitSpareColumn();
  updateGeometry();
}

int ScanGridView::OtherColumnsWidth() const {
  int width = 0;
  for (int column = 0; column < horizontalHeader()->count(); ++column) {
    if (column != spare_column_) width += columnWidth(column);
  }
  return width;
}

void ScanGridView::FitSpareColumn() {
  if (spare_column_ < 0 || spare_column_ >= horizontalHeader()->count()) return;
  const int width = std::max(spare_minimum_width_, viewport()->width() - OtherColumnsWidth());
  if (width != columnWidth(spare_column_)) setColumnWidth(spare_column_, width);
}

void ScanGridView::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  FitSpareColumn();
}

QSize ScanGridView::Chrome() const {
  // Room for a scroll bar either way, so that rows or columns added later do not hide a column
  // or a row behind one.
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  const int frame = 2 * frameWidth();
  const int row_header = verticalHeader()->isHidden() ? 0 : verticalHeader()->sizeHint().width();
  return {frame + bar + row_header, frame + bar + horizontalHeader()->sizeHint().height()};
}

QSize ScanGridView::sizeHint() const {
  const int row = verticalHeader()->defaultSectionSize();
  return Chrome() + QSize(OtherColumnsWidth() + spare_natural_width_, kRowsWished * row);
}

QSize ScanGridView::minimumSizeHint() const {
  const int first = horizontalHeader()->count() > 0 ? columnWidth(0) : 0;
  const int row = verticalHeader()->defaultSectionSize();
  return Chrome() + QSize(first + spare_minimum_width_, kRowsAtLeast * row);
}

QString TypedText(const QKeyEvent& event) {
  if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return {};
  const QString text = event.text();
  const bool printable = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
    return c.isPrint() && !c.isSpace();
  });
  return printable ? text : QString();
}

void ScanGridView::keyPressEvent(QKeyEvent* event) {
  // A key the open editor left alone travels up to the view: it is not meant for the grid.
  if (state() == EditingState && !hasFocus()) {
    QTableView::keyPressEvent(event);
    return;
  }
  const bool edit_key =
      event->key() == Qt::Key_F2 || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (edit_key && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    if (currentIndex().isValid()) Q_EMIT EditRequested(currentIndex(), QString());
    event->accept();
    return;
  }
  const QString typed = TypedText(*event);
  if (!typed.isEmpty() && currentIndex().isValid()) {
    Q_EMIT EditRequested(currentIndex(), typed);
    if (state() == EditingState) {
      event->accept();
      return;
    }
  }
  const QPersistentModelIndex before = currentIndex();
  QTableView::keyPressEvent(event);
  if (currentIndex() != before && currentIndex().isValid()) {
    Q_EMIT CurrentMovedByKey(currentIndex());
  }
}

}  // namespace orva
