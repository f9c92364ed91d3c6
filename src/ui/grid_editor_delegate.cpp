#include "ui/grid_editor_delegate.h"

#include "ui/address_editor.h"
#include "ui/up_down.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace orva {

GridEditorDelegate::GridEditorDelegate(QAbstractItemView* view)
    : QStyledItemDelegate(view), view_(view) {}

void GridEditorDelegate::OpenPicker(const QModelIndex& cell, const QString& name,
                                    std::vector<PickerEntry> entries, int highlighted) {
  pending_ = {Kind::kPicker, name, std::move(entries), highlighted};
  Open(cell);
  if (auto* picker = qobject_cast<QComboBox*>(open_editor_.data())) picker->showPopup();
}

void GridEditorDelegate::OpenAddress(const QModelIndex& cell) {
  pending_ = {Kind::kAddress, QStringLiteral("addressEditor"), {}, -1};
  Open(cell);
}

void GridEditorDelegate::Open(const QModelIndex& cell) {
  CloseEditor();
  view_->edit(cell);
  pending_ = {};
  if (open_editor_) open_editor_->setFocus(Qt::MouseFocusReason);
}

void GridEditorDelegate::CloseEditor() {
  if (!open_editor_) return;
  QWidget* editor = open_editor_;
  open_editor_ = nullptr;
  Q_EMIT closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void GridEditorDelegate::Cancel() {
  const bool address = qobject_cast<AddressEditor*>(open_editor_.data()) != nullptr;
  const QPersistentModelIndex cell = open_cell_;
  const QString text = opened_text_;
  CloseEditor();
  view_->setFocus(Qt::OtherFocusReason);
  if (address) Q_EMIT AddressReverted(cell, text);
}

void GridEditorDelegate::TypeIntoEditor(const QString& text) {
  if (auto* picker = qobject_cast<QComboBox*>(open_editor_.data())) {
    picker->view()->keyboardSearch(text);
  } else if (auto* address = qobject_cast<AddressEditor*>(open_editor_.data())) {
    address->text_box()->insert(text);
  }
}

bool GridEditorDelegate::eventFilter(QObject* watched, QEvent* event) {
  auto* picker = qobject_cast<QComboBox*>(open_editor_.data());
  const bool own_list = picker != nullptr && watched == picker->view();
  if (event->type() == QEvent::KeyPress && (watched == open_editor_ || own_list)) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Cancel)) {
      Cancel();
      return true;
    }
    // Enter takes the address the box shows (a cell read from a file may hold a fraction the
    // box has rounded); a picker without its list has nothing chosen and just closes.
    if (!own_list && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
      const QPersistentModelIndex cell = open_cell_;
      auto* address = qobject_cast<AddressEditor*>(open_editor_.data());
      const int shown = address != nullptr ? address->stepper()->value() : 0;
      CloseEditor();
      view_->setFocus(Qt::OtherFocusReason);
      if (address != nullptr) Q_EMIT AddressChosen(cell, shown);
      return true;
    }
  }
  // A picker's dropped-down list is watched for Escape only; it is not an editor of the view.
  // Nor is an editor already let go of, which may still lose the focus while it is deleted.
  auto* widget = qobject_cast<QWidget*>(watched);
  const QWidget* editor = open_editor_.data();
  if (own_list || editor == nullptr || widget == nullptr ||
      (widget != editor && !editor->isAncestorOf(widget))) {
    return false;
  }
  return QStyledItemDelegate::eventFilter(watched, event);
}

QWidget* GridEditorDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                          const QModelIndex& index) const {
  QWidget* editor = nullptr;
  switch (pending_.kind) {
    case Kind::kPicker:
      editor = CreatePicker(parent, index);
      break;
    case Kind::kAddress:
      editor = CreateAddressEditor(parent, index);
      break;
    case Kind::kNone:
      return nullptr;
  }
  editor->setObjectName(pending_.name);
  open_editor_ = editor;
  open_cell_ = index;
  opened_text_ = index.data().toString();
  return editor;
}

QComboBox* GridEditorDelegate::CreatePicker(QWidget* parent, const QModelIndex& index) const {
  auto* picker = new QComboBox(parent);
  picker->setMaxVisibleItems(20);
  for (const PickerEntry& entry : pending_.entries) picker->addItem(entry.text, entry.id);
  // The list drops down with this entry highlighted: what Enter takes and the arrows start from.
  picker->setCurrentIndex(pending_.highlighted);
  const QPersistentModelIndex cell(index);
  const QString name = pending_.name;
  auto* self = const_cast<GridEditorDelegate*>(this);
  // Escape in the dropped-down list cancels the whole edit, not only the list.
  picker->view()->installEventFilter(self);
  connect(picker, &QComboBox::activated, self, [self, picker, cell, name](int chosen) {
    if (chosen < 0) return;
    const QString text = picker->itemText(chosen);
    const qint64 id = picker->itemData(chosen).toLongLong();
    self->CloseEditor();
    // The list had the keyboard; after a choice it belongs to the grid again.
    self->view_->setFocus(Qt::OtherFocusReason);
    Q_EMIT self->PickerChosen(name, cell, text, id);
  });
  return picker;
}

AddressEditor* GridEditorDelegate::CreateAddressEditor(QWidget* parent,
                                                       const QModelIndex& index) const {
  auto* editor = new AddressEditor(parent);
  editor->Open(index.data().toString());
  const QPersistentModelIndex cell(index);
  auto* self = const_cast<GridEditorDelegate*>(this);
  connect(editor, &AddressEditor::AddressChanged, self,
          [self, cell](int address) { Q_EMIT self->AddressChosen(cell, address); });
  return editor;
}

void GridEditorDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const {
  if (open_editor_ == editor) open_editor_ = nullptr;
  QStyledItemDelegate::destroyEditor(editor, index);
}

// The editors are opened with the cell's text by the window and write through their signals.
void GridEditorDelegate::setEditorData(QWidget* /*editor*/, const QModelIndex& /*index*/) const {}

void GridEditorDelegate::setModelData(QWidget* /*editor*/, QAbstractItemModel* /*model*/,
                                      const QModelIndex& /*index*/) const {}

void GridEditorDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                              const QModelIndex& /*index*/) const {
  QRect area = option.rect;
  if (qobject_cast<AddressEditor*>(editor) != nullptr) {
    // Box and stepper share the cell, so the value type beside it stays in view; a column the
    // user narrowed still gets room for both.
    area.setWidth(std::max(area.width(), AddressEditor::FittingWidth(*view_)));
  }
  // A picker is taller than a row: keep it centred on the cell.
  const int height = std::max(area.height(), editor->sizeHint().height());
  area.setTop(area.center().y() - height / 2);
  area.setHeight(height);
  editor->setGeometry(area);
}

}  // namespace orva
