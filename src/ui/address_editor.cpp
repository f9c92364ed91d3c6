#include "ui/address_editor.h"

#include "config/scan_row.h"
#include "json/leading_number.h"
#include "ui/up_down.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>

#include <algorithm>

namespace orva {
namespace {

int ClampedAddress(double value) {
  if (value > AddressEditor::kMaximum) return AddressEditor::kMaximum;
  if (value < AddressEditor::kMinimum) return AddressEditor::kMinimum;
  return static_cast<int>(RoundHalfEven(value));
}

int StepperWidth(const QFontMetrics& metrics) { return std::max(16, metrics.height()); }

}  // namespace

AddressEditor::AddressEditor(QWidget* parent)
    : QWidget(parent), txtValue_(new QLineEdit(this)), updValue_(new UpDown(this)) {
  setObjectName(QStringLiteral("addressEditor"));
  txtValue_->setObjectName(QStringLiteral("txtValue"));
  updValue_->setObjectName(QStringLiteral("updValue"));
  txtValue_->setText(QStringLiteral("180"));
  txtValue_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  updValue_->SetRange(kMinimum, kMaximum);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(txtValue_, 1);
  layout->addWidget(updValue_);
  updValue_->setFixedWidth(StepperWidth(fontMetrics()));
  setFocusProxy(txtValue_);
  txtValue_->installEventFilter(this);
  connect(txtValue_, &QLineEdit::textChanged, this, &AddressEditor::txtValue_Change);
  connect(updValue_, &UpDown::Change, this, &AddressEditor::updValue_Change);
  connect(updValue_, &UpDown::MouseDown, this, &AddressEditor::updValue_MouseDown);
}

int AddressEditor::FittingWidth(const QWidget& host) {
  const QFontMetrics metrics = host.fontMetrics();
  const int frame = host.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &host);
  // A line edit keeps two pixels between its frame and its text on either side.
  constexpr int kTextMargin = 2;
  constexpr int kSlack = 4;
  return metrics.horizontalAdvance(QString::number(kMaximum)) + 2 * (frame + kTextMargin) + kSlack +
         StepperWidth(metrics);
}

void AddressEditor::Open(const QString& cell_text) {
  const int address = ClampedAddress(LeadingNumber(cell_text));
  const QSignalBlocker block_box(txtValue_);
  const QSignalBlocker block_stepper(updValue_);
  updValue_->SetValue(address);
  txtValue_->setText(QString::number(address));
  txtValue_->selectAll();
}

void AddressEditor::txtValue_Change(const QString& text) {
  const double typed = LeadingNumber(text);
  updValue_->SetValue(ClampedAddress(typed));
  // A number beyond the range shows as the bound even when the stepper was there already.
  const QString shown = QString::number(updValue_->value());
  if ((typed > kMaximum || typed < kMinimum) && text != shown) txtValue_->setText(shown);
}

void AddressEditor::updValue_Change(int value) {
  // Every step after the first of a held press is a repeat.
  updValue_->SetStep(10);
  const QString text = QString::number(value);
  if (txtValue_->text() != text) txtValue_->setText(text);
  Q_EMIT AddressChanged(value);
}

void AddressEditor::updValue_MouseDown() { updValue_->SetStep(1); }

bool AddressEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched != txtValue_ || event->type() != QEvent::KeyPress) {
    return QWidget::eventFilter(watched, event);
  }
  const auto* key = static_cast<QKeyEvent*>(event);
  const int direction = key->key() == Qt::Key_Up ? 1 : key->key() == Qt::Key_Down ? -1 : 0;
  if (direction == 0 || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
  // A fresh press is a click on the arrow; the repeats of a held key are the held arrow.
  if (!key->isAutoRepeat()) updValue_MouseDown();
  updValue_->SetValue(updValue_->value() + direction * updValue_->step());
  return true;
}

}  // namespace orva
