#pragma once

#include <QTimer>
#include <QWidget>

class QToolButton;

namespace orva {

// An up/down stepper without a text of its own, as the address box needs beside it. A press on
// an arrow steps once at once and then repeats while the button is held; the owner hears of the
// press first (MouseDown), so it can choose the step before the first move.
class UpDown : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRepeatDelayMs = 400;
  static constexpr int kRepeatIntervalMs = 60;

  explicit UpDown(QWidget* parent = nullptr);

  int value() const { return value_; }
  // Clamped to the range; Change is sent when the value moves.
  void SetValue(int value);
  void SetRange(int minimum, int maximum);
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  int step() const { return step_; }
  void SetStep(int step) { step_ = step; }

  QToolButton* up_button() const { return up_; }
  QToolButton* down_button() const { return down_; }

 Q_SIGNALS:
  void Change(int value);
  void MouseDown();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Press(int direction);
  void StepOnce();

  QToolButton* up_;
  QToolButton* down_;
  QTimer repeat_;
  int direction_ = 0;
  int value_ = 0;
  int minimum_ = 0;
  int maximum_ = 100;
  int step_ = 1;
};

}  // namespace orva
