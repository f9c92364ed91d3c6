#pragma once

#include <QTableView>

namespace orva {

// The scan grid's view. Its cells are never edited by Qt's own triggers: the window decides
// which editor a cell gets, for a click as for a key. The view only tells it which keys ask for
// an editor, as users of Qt and Linux tables expect: F2, Enter or Return, or a character typed
// on the cell.
class ScanGridView : public QTableView {
  Q_OBJECT

 public:
  explicit ScanGridView(QWidget* parent = nullptr);

 Q_SIGNALS:
  // F2, Enter or Return (`typed` empty), or a character typed on the current cell. An editor
  // the receiver opens takes the character; when none opens, the key does what it does in any
  // table (a typed character looks for a row starting with it).
  void EditRequested(const QModelIndex& cell, const QString& typed);
  // The user moved the current cell with the keyboard.
  void CurrentMovedByKey(const QModelIndex& cell);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// The text of a key that may open an editor by being typed: printable, no blank, and not
// part of a shortcut. Empty for every other key.
QString TypedText(const QKeyEvent& event);

}  // namespace orva
