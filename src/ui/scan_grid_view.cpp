#include "ui/scan_grid_view.h"

#include <QKeyEvent>

#include <algorithm>

namespace orva {

ScanGridView::ScanGridView(QWidget* parent) : QTableView(parent) {
  setEditTriggers(QAbstractItemView::NoEditTriggers);
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
