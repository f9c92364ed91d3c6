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

  // `column` takes the width the other columns leave in view, never less than
  // `minimum_width`; the grid asks for room to give it `natural_width`.
  void SetSpareWidthColumn(int column, int natural_width, int minimum_width);

  // Room for every column and a few rows; at the least, the first two columns and three rows.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 Q_SIGNALS:
  // F2, Enter or Return (`typed` empty), or a character typed on the current cell. An editor
  // the receiver opens takes the character; when none opens, the key does what it does in any
  // table (a typed character looks for a row starting with it).
  void EditRequested(const QModelIndex& cell, const QString& typed);
  // The user moved the current cell with the keyboard.
  void CurrentMovedByKey(const QModelIndex& cell);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // Called for the viewport: also when a scroll bar comes or goes.
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FitSpareColumn();
  int OtherColumnsWidth() const;
  // Room for scroll bars, frame and headers around the cells.
  QSize Chrome() const;

  int spare_column_ = -1;
  int spare_natural_width_ = 0;
  int spare_minimum_width_ = 0;
};

// The text of a key that may open an editor by being typed: printable, no blank, and not
// part of a shortcut. Empty for every other key.
QString TypedText(const QKeyEvent& event);

}  // namespace orva
