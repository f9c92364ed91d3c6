#pragma once

#include <QWidget>

class QLineEdit;

namespace orva {

class UpDown;

// The editor of a module-memory row's address cell: the box `txtValue` with the stepper
// `updValue` to its right. Box, stepper and cell move together: a typed number is clamped to
// 0..255 at once, a press on an arrow steps by 1 and then by 10 while it repeats. The Up and
// Down keys in the box step the same way: 1 for a press, 10 for each repeat of a held key.
class AddressEditor : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kMinimum = 0;
  static constexpr int kMaximum = 255;

  explicit AddressEditor(QWidget* parent = nullptr);

  // Shows the cell's address: its leading number, rounded, within the range.
  void Open(const QString& cell_text);
  // Width of box and stepper side by side that shows the highest address whole, in the font
  // and style of `host` (the grid).
  static int FittingWidth(const QWidget& host);

  QLineEdit* text_box() const { return txtValue_; }
  UpDown* stepper() const { return updValue_; }

 Q_SIGNALS:
  // The address the cell is to show.
  void AddressChanged(int address);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void txtValue_Change(const QString& text);
  void updValue_Change(int value);
  void updValue_MouseDown();

  QLineEdit* txtValue_;
  UpDown* updValue_;
};

}  // namespace orva
