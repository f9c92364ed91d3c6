#include "ui/up_down.h"

#include <QEvent>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace orva {

UpDown::UpDown(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  up_->setObjectName(QStringLiteral("up"));
  down_->setObjectName(QStringLiteral("down"));
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  up_->setToolTip(QStringLiteral("Next address (Up)"));
  down_->setToolTip(QStringLiteral("Previous address (Down)"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (QToolButton* button : {up_, down_}) {
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    button->installEventFilter(this);
    layout->addWidget(button);
  }
  repeat_.setSingleShot(false);
  connect(&repeat_, &QTimer::timeout, this, [this] {
    repeat_.setInterval(kRepeatIntervalMs);
    StepOnce();
  });
}

void UpDown::SetValue(int value) {
  value = std::clamp(value, minimum_, maximum_);
  if (value == value_) return;
  value_ = value;
  Q_EMIT Change(value_);
}

void UpDown::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = std::max(minimum, maximum);
  value_ = std::clamp(value_, minimum_, maximum_);
}

// The buttons' own auto-repeat reports every repeat as a fresh press, so a real press could not
// be told from a repeat; the stepper keeps its own timer instead.
bool UpDown::eventFilter(QObject* watched, QEvent* event) {
  const int direction = watched == up_ ? 1 : watched == down_ ? -1 : 0;
  if (direction != 0 && isEnabled()) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if ((event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonDblClick) &&
        mouse->button() == Qt::LeftButton) {
      Press(direction);
    } else if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
      repeat_.stop();
      direction_ = 0;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void UpDown::Press(int direction) {
  direction_ = direction;
  Q_EMIT MouseDown();
  StepOnce();
  repeat_.start(kRepeatDelayMs);
}

void UpDown::StepOnce() {
  if (direction_ == 0) return;
  SetValue(value_ + direction_ * step_);
}

}  // namespace orva
