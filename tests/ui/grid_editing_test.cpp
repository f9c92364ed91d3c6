#include "config/module_kinds.h"
#include "store/sqlite_db.h"
#include "ui/address_editor.h"
#include "ui/up_down.h"
#include "window_harness.h"

namespace orva::test {
namespace {

using Col = ScanGridModel::Column;
using H = WindowHarness;

// Presses the keys named, separated by blanks, where the keyboard is: "held:" before a name for
// one repeat of a key held down; what is not a key's name is typed.
void Press(const QString& keys) {
  static const QHash<QString, Qt::Key> kKeys = {
      {"F2", Qt::Key_F2},         {"Up", Qt::Key_Up},       {"Down", Qt::Key_Down},
      {"Return", Qt::Key_Return}, {"Enter", Qt::Key_Enter}, {"Escape", Qt::Key_Escape}};
  for (const QString& key : keys.split(' ')) {
    if (key.startsWith(QLatin1String("held:"))) {
      H::HeldKey(kKeys.value(key.mid(5)));
    } else if (kKeys.contains(key)) {
      H::Key(kKeys.value(key));
    } else {
      H::Type(key);
    }
  }
}

// The editor a click opens on a row of `scan_type` (empty: the slot); nullptr: none.
const char* EditorFor(const QString& scan_type, int column) {
  const bool memory = scan_type == QLatin1String("Module_memory");
  switch (column) {
    case Col::kScanType:
      return "cmbScanType";
    case Col::kItem:
      if (scan_type == QLatin1String("Output_status")) return "cmbOutput";
      return memory || scan_type == QLatin1String("Module") ? "cmbModule" : nullptr;
    case Col::kAddress:
      return memory ? "addressEditor" : nullptr;
    case Col::kValueType:
      return memory ? "cmbValueType" : nullptr;
    default:
      return nullptr;
  }
}

// Every trigger opens on every cell what a click opens there, and nothing where a click opens
// nothing; a letter on the address opens nothing. A list drops down at once on the cell's own
// entry shown highlighted, else on its first. The delete button follows the row, and removes it.
TEST(GridEditingTest, EveryTriggerOpensTheEditorOfScanTypeAndColumnAndDeleteRemovesTheRow) {
  H h;
  const QStringList types = {"Module", "Module_memory", "KTX_memory", "Output_status", ""};
  for (int row = 1; row < types.size(); ++row) h.AddRow(types.at(row - 1));
  h.model()->SetCell(0, Col::kItem, QStringLiteral("999999 ???"));  // a module gone since
  h.Choose(2, Col::kItem, "cmbModule", QStringLiteral("654321 TH-1 room thermostat Attic"));
  h.Choose(2, Col::kValueType, "cmbValueType", QStringLiteral("24-bit"));
  h.Choose(4, Col::kItem, "cmbOutput", QStringLiteral("Hall (A12.1)"));
  const QStringList highlighted[] = {
      {"Module", "123456 MS-5 multi-sensor Living room"},
      {"Module_memory", "654321 TH-1 room thermostat Attic", "", "", "24-bit"},
      {"KTX_memory"},
      {"Output_status", "Hall (A12.1)"},
      {"KTX_memory"},
  };
  const std::vector<ScanRow> before = h.model()->rows();
  for (const QString& trigger : QStringList{"click", "F2", "Return", "Enter", "0", "x"}) {
    for (int row = 1; row <= types.size(); ++row) {
      for (int column = 0; column < ScanGridModel::kColumnCount; ++column) {
        SCOPED_TRACE(testing::Message() << trigger.toStdString() << " on "
                                        << types.at(row - 1).toStdString() << " col " << column);
        if (trigger == QLatin1String("click")) {
          h.ClickCell(row, column);
        } else {
          h.FocusCell(row, column);
          if (trigger == QLatin1String("F2")) H::Key(Qt::Key_F2);
          if (trigger == QLatin1String("Return")) H::Key(Qt::Key_Return);
          if (trigger == QLatin1String("Enter")) H::Key(Qt::Key_Enter);
          if (trigger.size() == 1) H::Type(trigger);
        }
        const bool letter_on_address = trigger == QLatin1String("x") && column == Col::kAddress;
        const char* name = letter_on_address ? nullptr : EditorFor(types.at(row - 1), column);
        if (name == nullptr) {
          EXPECT_FALSE(h.AnyEditorOpen());
        } else if (QWidget* editor = h.OpenEditor<QWidget>(name); editor == nullptr) {
          ADD_FAILURE() << "no " << name;
        } else if (auto* picker = qobject_cast<QComboBox*>(editor)) {
          EXPECT_TRUE(picker->view()->isVisible()) << "the list drops down at once";
          const QModelIndex current = picker->view()->currentIndex();
          EXPECT_EQ(current.data().toString(), highlighted[row - 1].value(column));
          EXPECT_EQ(picker->currentText(), highlighted[row - 1].value(column));
          EXPECT_TRUE(picker->view()->selectionModel()->isSelected(current));
        }
        if (!letter_on_address) {
          EXPECT_EQ(h.delete_button()->isVisible(), row < types.size());
        }
        h.ClickHeader(Col::kItemType);
      }
    }
  }
  EXPECT_EQ(h.model()->rows(), before) << "opening editors writes nothing";

  // Delete removes the chosen scan row, never the slot; the arrow keys go on moving in the grid.
  h.ClickHeader(Col::kItem);
  EXPECT_FALSE(h.delete_button()->isVisible()) << "the header is no scan row";
  h.FocusCell(1, Col::kItemType);
  H::Key(Qt::Key_Down);
  ASSERT_TRUE(h.delete_button()->isVisible());
  QTest::mouseClick(h.delete_button(), Qt::LeftButton);
  ASSERT_EQ(h.model()->rowCount(), 4);
  EXPECT_EQ(h.Cell(2, Col::kScanType), QStringLiteral("KTX_memory"));
  EXPECT_EQ(QApplication::focusWidget(), h.grid());
  // The rows that move up are next; after them only the slot is there, which stays.
  for (const int left : {3, 2, 2}) {
    QTest::mouseClick(h.delete_button(), Qt::LeftButton);
    EXPECT_EQ(h.model()->rowCount(), left);
  }
  h.ClickCell(1, Col::kItemType);
  QTest::mouseClick(h.delete_button(), Qt::LeftButton);
  EXPECT_EQ(h.model()->rowCount(), 1);
  EXPECT_FALSE(h.delete_button()->isVisible());
  QTest::mouseClick(h.delete_button(), Qt::LeftButton);
  EXPECT_EQ(h.model()->rowCount(), 1) << "the slot is never removed";
}

// What a choice writes, by mouse and by keyboard, row after row: the lists each picker offers,
// item and type of modules and outputs, a list that opens on the cell's own entry and moves
// from there, a letter or digit that searches, Escape that writes nothing, and the slot that
// follows each new row once.
TEST(GridEditingTest, ChoicesWriteTheCellsOfTheirRow) {
  const QStringList motion = MotionDesignations();
  H h(QStringLiteral("INSERT INTO modules VALUES (10, '300001', '%1', 'Hall'), (11, '300002', "
                     "'%2', 'Stairs'), (12, '300003', '%3', 'Porch'), (13, '170001', '0017', "
                     "'Meter'), (14, '400001', 'Custom sensor X', 'Lab'), (15, '500001', '', "
                     "'Nowhere'), (16, '500002', NULL, NULL);")
          .arg(motion.at(0), motion.at(1), motion.at(2)));
  h.AddRow(QStringLiteral("Module"));
  h.AddRow(QStringLiteral("Module_memory"));
  h.AddRow(QStringLiteral("Output_status"));
  const QStringList whole = {
      "123456 MS-5 multi-sensor Living room", "170001 EM-3 energy meter Meter",
      "200001 WS-1 weather station Roof",     "300001 " + motion.at(0) + " Hall",
      "300002 " + motion.at(1) + " Stairs",   "300003 " + motion.at(2) + " Porch"};
  const auto entries = [&h](int row, int column, const char* picker) {
    h.ClickCell(row, column);
    const QStringList texts = H::Entries(h.OpenEditor(picker));
    h.ClickHeader(Col::kItemType);
    return texts;
  };
  EXPECT_EQ(entries(1, Col::kItem, "cmbModule"), whole) << "whole-module kinds only";
  EXPECT_EQ(entries(2, Col::kItem, "cmbModule"),
            whole + QStringList({"400001 Custom sensor X Lab", "500001  Nowhere", "500002  ",
                                 "654321 TH-1 room thermostat Attic"}));
  // Kitchen (mode 30 on sub-address 3) stays out.
  EXPECT_EQ(entries(3, Col::kItem, "cmbOutput"),
            QStringList({"Garage (A13.4)", "Hall (A12.1)", "Living room (A12.0)"}));
  EXPECT_EQ(entries(4, Col::kScanType, "cmbScanType"),
            QStringList({"KTX_memory", "Module", "Module_memory", "Output_status"}));
  EXPECT_EQ(entries(2, Col::kValueType, "cmbValueType"),
            QStringList({"Byte", "Integer", "24-bit"}));

  const QString hall_mode = h.state.reference->ModeName(151).value_or("?");
  const struct {
    int row, column;
    QString action;     // "click:" and the entry, or the keys pressed on the cell
    QString cell;       // afterwards
    QString item_type;  // afterwards; null: not looked at
  } steps[] = {
      // A module without a type can be chosen; its row shows no type. A memory row keeps the
      // type's code as stored; a module row names motion kinds alike.
      {2, Col::kItem, "click:500001  Nowhere", "500001 Nowhere", ""},
      {2, Col::kItem, "click:654321 TH-1 room thermostat Attic", "654321 Attic", "000B"},
      {1, Col::kItem, "click:" + whole.at(3), "300001 Hall", motion.at(2)},
      {1, Col::kItem, "click:" + whole.at(4), "300002 Stairs", motion.at(2)},
      {1, Col::kItem, "click:" + whole.at(5), "300003 Porch", motion.at(2)},
      {1, Col::kItem, "click:" + whole.at(1), "170001 Meter", "0017"},
      {1, Col::kItem, "click:" + whole.at(0), "123456 Living room", "0016"},
      {3, Col::kItem, "click:Hall (A12.1)", "Hall (A12.1)", hall_mode},
      {4, Col::kScanType, "O Return", "Output_status", {}},
      {4, Col::kScanType, "F2 Up Escape", "Output_status", {}},
      {4, Col::kScanType, "F2 Up Enter", "Module_memory", {}},
      {1, Col::kItem, "F2 Enter", "123456 Living room", "0016"},
      {1, Col::kItem, "F2 Down Enter", "170001 Meter", "0017"},
      {2, Col::kItem, "1 Return", "123456 Living room", "0016"},  // by serial
      {5, Col::kScanType, "F2 Down Enter", "Module", {}},
      // The scan type chosen again starts its row afresh.
      {4, Col::kValueType, "click:24-bit", "24-bit", {}},
      {4, Col::kAddress, "7 Return", "7", {}},
      {4, Col::kScanType, "click:Module_memory", "Module_memory", {}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(testing::Message()
                 << step.row << "," << step.column << " " << step.action.toStdString());
    if (step.action.startsWith("click:")) {
      const char* picker = step.column == Col::kScanType                         ? "cmbScanType"
                           : step.column == Col::kValueType                      ? "cmbValueType"
                           : h.Cell(step.row, Col::kScanType) == "Output_status" ? "cmbOutput"
                                                                                 : "cmbModule";
      h.Choose(step.row, step.column, picker, step.action.mid(6));
    } else {
      h.FocusCell(step.row, step.column);
      Press(step.action);
      EXPECT_EQ(QApplication::focusWidget(), h.grid()) << "the keyboard is back on the grid";
    }
    EXPECT_FALSE(h.AnyEditorOpen());
    EXPECT_EQ(h.Cell(step.row, step.column), step.cell);
    if (!step.item_type.isNull()) {
      EXPECT_EQ(h.Cell(step.row, Col::kItemType), step.item_type);
    }
  }
  EXPECT_EQ(h.Cell(4, Col::kAddress), QStringLiteral("0"));
  EXPECT_EQ(h.Cell(4, Col::kValueType), QStringLiteral("Byte"));
  ASSERT_EQ(h.model()->rowCount(), 6);
  for (int column = 0; column < ScanGridModel::kColumnCount; ++column) {
    EXPECT_EQ(h.Cell(6, column), QString());
  }
  EXPECT_EQ(h.model()->index(0, Col::kAddress).data(Qt::TextAlignmentRole).toInt(),
            int(Qt::AlignRight | Qt::AlignVCenter));
  EXPECT_EQ(h.model()->index(0, Col::kItem).data(Qt::TextAlignmentRole).toInt(),
            int(Qt::AlignLeft | Qt::AlignVCenter));
  // The output's choice wrote its id; switching the row to another type keeps what it held.
  EXPECT_EQ(h.model()->rows().at(2).output_id, 43);
  h.Choose(3, Col::kScanType, "cmbScanType", QStringLiteral("Module"));
  EXPECT_EQ(h.model()->rows().at(2).output_id, 43);
  EXPECT_EQ(h.Cell(3, Col::kItem), QStringLiteral("Hall (A12.1)"));

  // The module list is read again on every open.
  SqliteDb db = SqliteDb::OpenExisting(h.folder.working_copy());
  db.Exec(QStringLiteral("INSERT INTO modules VALUES (20, '999999', '0005', 'Shed')"));
  h.ClickCell(2, Col::kItem);
  EXPECT_EQ(h.OpenEditor("cmbModule")->count(), 11);
  // A record gone between opening and choosing shows question marks and no type.
  db.Exec(QStringLiteral("DELETE FROM modules"));
  H::ChooseInList(h.OpenEditor("cmbModule"), whole.at(0));
  EXPECT_EQ(h.Cell(2, Col::kItem), QStringLiteral("???"));
  EXPECT_EQ(h.Cell(2, Col::kItemType), QString());
  h.AddRow(QStringLiteral("Output_status"));
  h.ClickCell(6, Col::kItem);
  db.Exec(QStringLiteral("DELETE FROM outputs"));
  H::ChooseInList(h.OpenEditor("cmbOutput"), QStringLiteral("Garage (A13.4)"));
  EXPECT_EQ(h.Cell(6, Col::kItem), QStringLiteral("???"));
  EXPECT_EQ(h.Cell(6, Col::kItemType), QString());
  EXPECT_EQ(h.model()->rows().at(5).output_id, 0);
}

TEST(GridEditingTest, AddressBoxClampsStepsAndWritesTheCellItWasOpenedFor) {
  H h;
  h.AddRow(QStringLiteral("Module_memory"));
  h.AddRow(QStringLiteral("Module_memory"));
  h.ClickCell(1, Col::kAddress);
  auto* editor = h.OpenEditor<AddressEditor>("addressEditor");
  ASSERT_NE(editor, nullptr);
  QLineEdit* box = editor->text_box();
  EXPECT_EQ(box->text(), QStringLiteral("0"));
  EXPECT_TRUE(box->hasFocus());
  const struct {
    const char* typed;
    bool replace;
    const char* cell;
  } typing[] = {{"300", true, "255"}, {"9", false, "255"}, {"180", true, "180"}};
  for (const auto& t : typing) {
    if (t.replace) box->selectAll();
    QTest::keyClicks(box, QLatin1String(t.typed));
    EXPECT_EQ(h.Cell(1, Col::kAddress), QLatin1String(t.cell)) << t.typed;
    if (QChar(*t.typed).isDigit()) {
      EXPECT_EQ(box->text(), QLatin1String(t.cell)) << t.typed;
    }
  }
  QToolButton* up = editor->stepper()->up_button();
  QTest::mouseClick(up, Qt::LeftButton);
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("181"));
  QTest::mouseClick(editor->stepper()->down_button(), Qt::LeftButton);
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("180"));
  // Held down, the first step is 1 and every repeat 10; the next press starts at 1 again.
  QTest::mousePress(up, Qt::LeftButton);
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("181"));
  QTest::qWait(UpDown::kRepeatDelayMs + 3 * UpDown::kRepeatIntervalMs);
  QTest::mouseRelease(up, Qt::LeftButton);
  const int held = h.Cell(1, Col::kAddress).toInt();
  EXPECT_GT(held, 181);
  EXPECT_EQ((held - 181) % 10, 0) << held;
  QTest::mouseClick(up, Qt::LeftButton);
  EXPECT_EQ(h.Cell(1, Col::kAddress).toInt(), held + 1);
  box->selectAll();
  QTest::keyClicks(box, QStringLiteral("abc"));
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("0"));
  // The grid's current cell moves on (as a scan moves it) while the editor stays open.
  h.grid()->setCurrentIndex(h.model()->index(1, Col::kAddress));
  box->selectAll();
  QTest::keyClicks(box, QStringLiteral("42"));
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("42"));
  EXPECT_EQ(h.Cell(2, Col::kAddress), QStringLiteral("0"));

  // From the keyboard: a digit replaces the address, Return closes the box, arrows step by 1 a
  // press and 10 held, Escape puts back what the box opened with, and the keyboard is back on
  // the grid. A cell read from a file may hold a fraction: the box shows the whole number,
  // Enter takes it, Escape leaves the cell as it was.
  h.FocusCell(1, Col::kAddress);
  h.model()->SetCell(1, Col::kAddress, QStringLiteral("12.5"));
  const struct {
    int row;
    const char* keys;
    const char* cell;
  } keys[] = {{1, "42 Return", "42"},          {1, "F2 Up", "43"},  {1, "held:Up held:Up", "63"},
              {1, "Down Enter F2 300", "255"}, {1, "Escape", "62"}, {2, "F2 Escape", "12.5"},
              {2, "F2 Return", "12"}};
  for (const auto& k : keys) {
    if (k.row == 2) h.FocusCell(2, Col::kAddress);
    Press(QLatin1String(k.keys));
    EXPECT_EQ(h.Cell(k.row, Col::kAddress), QLatin1String(k.cell)) << k.keys;
    const QByteArray last = QByteArray(k.keys).split(' ').last();
    if (last == "Return" || last == "Escape") {
      EXPECT_FALSE(h.AnyEditorOpen()) << k.keys;
      EXPECT_EQ(QApplication::focusWidget(), h.grid()) << k.keys;
    }
  }
}

}  // namespace
}  // namespace orva::test
