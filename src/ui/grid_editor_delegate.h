#pragma once

#include "ui/picker_entries.h"

#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>

#include <vector>

class QAbstractItemView;
class QComboBox;

namespace orva {

class AddressEditor;

// The in-cell editors of the scan grid. The window asks for an editor over a cell; the delegate
// creates it there (a picker with its list dropped down, or the address box with its stepper)
// and reports the user's choice together with the cell it was opened for, so that a choice
// never lands in another cell, whatever the grid's current cell has become in the meantime.
// Leaving an editor without choosing writes nothing. From the keyboard, Enter chooses and
// Escape cancels: a picker closes at once, list and all, and the address editor puts back the
// address the cell had when it opened.
class GridEditorDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit GridEditorDelegate(QAbstractItemView* view);

  // Opens the picker `name` ("cmbScanType", "cmbModule", ...) over `cell` with `entries`, its
  // list dropped down on the entry `highlighted` (-1: none).
  void OpenPicker(const QModelIndex& cell, const QString& name, std::vector<PickerEntry> entries,
                  int highlighted);
  void OpenAddress(const QModelIndex& cell);
  // Hides whichever editor is open.
  void CloseEditor();
  // A character typed on the grid that opened the editor: a picker's list moves to the first
  // entry starting with it, the address box takes it in place of its text.
  void TypeIntoEditor(const QString& text);

  QWidget* open_editor() const { return open_editor_; }

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;
  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const override;
  // The view lets go of an editor on its own too (focus moved elsewhere, Escape).
  void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 Q_SIGNALS:
  void PickerChosen(const QString& picker, const QPersistentModelIndex& cell, const QString& text,
                    qint64 id);
  void AddressChosen(const QPersistentModelIndex& cell, int address);
  // Escape in the address editor: the cell is to show `text` again.
  void AddressReverted(const QPersistentModelIndex& cell, const QString& text);

 private:
  enum class Kind { kNone, kPicker, kAddress };
  struct Pending {
    Kind kind = Kind::kNone;
    QString name;
    std::vector<PickerEntry> entries;
    int highlighted = -1;
  };

  QComboBox* CreatePicker(QWidget* parent, const QModelIndex& index) const;
  AddressEditor* CreateAddressEditor(QWidget* parent, const QModelIndex& index) const;
  void Open(const QModelIndex& cell);
  // Escape: close without choosing and hand the keyboard back to the grid.
  void Cancel();

  QAbstractItemView* view_;
  // What the next createEditor builds; createEditor is const, the request is consumed there.
  mutable Pending pending_;
  mutable QPointer<QWidget> open_editor_;
  // The cell the open editor writes to, and its text when the editor opened.
  mutable QPersistentModelIndex open_cell_;
  mutable QString opened_text_;
};

}  // namespace orva
