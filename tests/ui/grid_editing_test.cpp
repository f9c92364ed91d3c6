// The scan configuration grid driven through clicks: which editor opens where, what a choice
// writes, the address box with its stepper, and deleting rows.
#include "config/module_kinds.h"
#include "store/sqlite_db.h"
#include "ui/address_editor.h"
#include "ui/up_down.h"
#include "window_harness.h"

namespace orva::test {
namespace {

using Col = ScanGridModel::Column;

// Modules beyond the fixture's: every whole-module kind, a designation kept in "Type", and
// modules without a type.
QString MoreModules() {
  const QStringList motion = MotionDesignations();
  return QStringLiteral(
             "INSERT INTO modules VALUES (10, '300001', '%1', 'Hall'), (11, '300002', '%2', "
             "'Stairs'), (12, '300003', '%3', 'Porch'), (13, '170001', '0017', 'Meter'), "
             "(14, '400001', 'Custom sensor X', 'Lab'), (15, '500001', '', 'Nowhere'), "
             "(16, '500002', NULL, NULL);")
      .arg(motion.at(0), motion.at(1), motion.at(2));
}

TEST(GridEditingTest, FreshWindowShowsTheHeaderAndOneEmptyRowWhereOnlyTheScanTypeOpens) {
  WindowHarness h;
  ASSERT_EQ(h.model()->rowCount(), 1);
  const QStringList headers = {"Scan type", "Item", "Item type", ".....", "....."};
  for (int column = 0; column < 5; ++column) {
    EXPECT_EQ(h.model()->headerData(column, Qt::Horizontal).toString(), headers.at(column));
    EXPECT_EQ(h.Cell(1, column), QString());
  }
  // Scan type, Item type and value type in the widths 2000 : 2500 : 1000; the Item and address
  // columns are sized by the window (window_layout_test).
  EXPECT_NEAR(double(h.grid()->columnWidth(2)) / h.grid()->columnWidth(0), 1.25, 0.02);
  EXPECT_NEAR(double(h.grid()->columnWidth(4)) / h.grid()->columnWidth(0), 0.5, 0.02);
  EXPECT_FALSE(h.delete_button()->isVisible());

  for (int column = 1; column <= 4; ++column) {
    h.ClickCell(1, column);
    EXPECT_FALSE(h.AnyEditorOpen()) << "column " << column;
    EXPECT_FALSE(h.delete_button()->isVisible());
  }
  h.ClickCell(1, Col::kScanType);
  QComboBox* picker = h.OpenEditor("cmbScanType");
  ASSERT_NE(picker, nullptr);
  EXPECT_TRUE(picker->view()->isVisible()) << "the list drops down at once";
  EXPECT_EQ(WindowHarness::Entries(picker),
            QStringList({"KTX_memory", "Module", "Module_memory", "Output_status"}));
  EXPECT_EQ(picker->currentIndex(), 0) << "the empty cell's list opens on the first entry";
  EXPECT_EQ(h.model()->rowCount(), 1) << "opening a picker writes nothing";
}

TEST(GridEditingTest, ChoosingAScanTypeFillsTheRowAndAppendsASlot) {
  WindowHarness h;
  const int row = h.AddRow(QStringLiteral("Module_memory"));
  ASSERT_EQ(row, 1);
  EXPECT_EQ(h.Cell(1, Col::kScanType), QStringLiteral("Module_memory"));
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("0"));
  EXPECT_EQ(h.Cell(1, Col::kValueType), QStringLiteral("Byte"));
  ASSERT_EQ(h.model()->rowCount(), 2);
  for (int column = 0; column < 5; ++column) EXPECT_EQ(h.Cell(2, column), QString());
  EXPECT_FALSE(h.AnyEditorOpen()) << "the picker hides after the choice";
  EXPECT_EQ(h.model()->data(h.model()->index(0, Col::kAddress), Qt::TextAlignmentRole).toInt(),
            int(Qt::AlignRight | Qt::AlignVCenter));

  // Choosing it again in the existing row resets address and value type, and adds no row.
  h.Choose(1, Col::kValueType, "cmbValueType", QStringLiteral("24-bit"));
  EXPECT_EQ(h.Cell(1, Col::kValueType), QStringLiteral("24-bit"));
  h.ClickCell(1, Col::kAddress);
  QTest::keyClicks(h.OpenEditor<QLineEdit>("txtValue"), QStringLiteral("7"));
  ASSERT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("7"));
  h.Choose(1, Col::kScanType, "cmbScanType", QStringLiteral("Module_memory"));
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("0"));
  EXPECT_EQ(h.Cell(1, Col::kValueType), QStringLiteral("Byte"));
  EXPECT_EQ(h.model()->rowCount(), 2);

  // The picker preselects the cell's own text.
  h.ClickCell(1, Col::kScanType);
  EXPECT_EQ(h.OpenEditor("cmbScanType")->currentText(), QStringLiteral("Module_memory"));
}

TEST(GridEditingTest, ControllerMemoryRowsOfferNoEditorBeyondTheirScanType) {
  WindowHarness h;
  h.AddRow(QStringLiteral("KTX_memory"));
  EXPECT_EQ(h.model()->rowCount(), 2);
  for (int column = 1; column <= 4; ++column) {
    h.ClickCell(1, column);
    EXPECT_FALSE(h.AnyEditorOpen()) << "column " << column;
    EXPECT_TRUE(h.delete_button()->isVisible()) << "a scan row was clicked";
  }
}

TEST(GridEditingTest, ModulePickerListsWholeModuleKindsForModuleRowsAndEverythingForMemoryRows) {
  WindowHarness h(MoreModules());
  const QStringList motion = MotionDesignations();
  h.AddRow(QStringLiteral("Module"));
  h.AddRow(QStringLiteral("Module_memory"));

  h.ClickCell(1, Col::kItem);
  QComboBox* picker = h.OpenEditor("cmbModule");
  ASSERT_NE(picker, nullptr);
  EXPECT_EQ(
      WindowHarness::Entries(picker),
      QStringList({"123456 MS-5 multi-sensor Living room", "170001 EM-3 energy meter Meter",
                   "200001 WS-1 weather station Roof", "300001 " + motion.at(0) + " Hall",
                   "300002 " + motion.at(1) + " Stairs", "300003 " + motion.at(2) + " Porch"}));

  h.ClickCell(2, Col::kItem);
  picker = h.OpenEditor("cmbModule");
  ASSERT_NE(picker, nullptr);
  EXPECT_EQ(WindowHarness::Entries(picker),
            QStringList({"123456 MS-5 multi-sensor Living room", "170001 EM-3 energy meter Meter",
                         "200001 WS-1 weather station Roof", "300001 " + motion.at(0) + " Hall",
                         "300002 " + motion.at(1) + " Stairs", "300003 " + motion.at(2) + " Porch",
                         "400001 Custom sensor X Lab", "500001  Nowhere", "500002  ",
                         "654321 TH-1 room thermostat Attic"}));

  // A module without a type can be chosen; its row shows no type.
  WindowHarness::ChooseInList(picker, QStringLiteral("500001  Nowhere"));
  EXPECT_EQ(h.Cell(2, Col::kItem), QStringLiteral("500001 Nowhere"));
  EXPECT_EQ(h.Cell(2, Col::kItemType), QString());

  // The list is read again on every open.
  SqliteDb::OpenExisting(h.folder.working_copy())
      .Exec(QStringLiteral("INSERT INTO modules VALUES (20, '999999', '0005', 'Shed')"));
  h.ClickHeader(Col::kItem);
  EXPECT_FALSE(h.AnyEditorOpen());
  h.ClickCell(2, Col::kItem);
  ASSERT_NE(h.OpenEditor("cmbModule"), nullptr);
  EXPECT_EQ(h.OpenEditor("cmbModule")->count(), 11);
}

TEST(GridEditingTest, PickingAModuleWritesItemAndTypeMotionKindsShowTheThirdDesignation) {
  WindowHarness h(MoreModules());
  const QStringList motion = MotionDesignations();
  struct Case {
    QString entry;
    QString item;
    QString item_type;
  };
  const Case cases[] = {
      {"300001 " + motion.at(0) + " Hall", "300001 Hall", motion.at(2)},
      {"300002 " + motion.at(1) + " Stairs", "300002 Stairs", motion.at(2)},
      {"300003 " + motion.at(2) + " Porch", "300003 Porch", motion.at(2)},
      {"123456 MS-5 multi-sensor Living room", "123456 Living room", "0016"},
      {"170001 EM-3 energy meter Meter", "170001 Meter", "0017"},
  };
  h.AddRow(QStringLiteral("Module"));
  for (const Case& c : cases) {
    h.Choose(1, Col::kItem, "cmbModule", c.entry);
    EXPECT_EQ(h.Cell(1, Col::kItem), c.item) << c.entry.toStdString();
    EXPECT_EQ(h.Cell(1, Col::kItemType), c.item_type) << c.entry.toStdString();
    EXPECT_FALSE(h.AnyEditorOpen());
  }
  EXPECT_EQ(h.model()->data(h.model()->index(0, Col::kItem), Qt::TextAlignmentRole).toInt(),
            int(Qt::AlignLeft | Qt::AlignVCenter));
  // A memory row keeps the code of the type as stored.
  h.AddRow(QStringLiteral("Module_memory"));
  h.Choose(2, Col::kItem, "cmbModule", QStringLiteral("654321 TH-1 room thermostat Attic"));
  EXPECT_EQ(h.Cell(2, Col::kItemType), QStringLiteral("000B"));
}

TEST(GridEditingTest, OutputPickerKeepsTheModeFilterAndNameOrderAndWritesTheId) {
  WindowHarness h;
  h.AddRow(QStringLiteral("Output_status"));
  h.ClickCell(1, Col::kItem);
  QComboBox* picker = h.OpenEditor("cmbOutput");
  ASSERT_NE(picker, nullptr);
  // Kitchen is mode 30 on sub-address 3 and stays out; Garage, on 4, is listed.
  EXPECT_EQ(WindowHarness::Entries(picker),
            QStringList({"Garage (A13.4)", "Hall (A12.1)", "Living room (A12.0)"}));
  WindowHarness::ChooseInList(picker, QStringLiteral("Hall (A12.1)"));
  EXPECT_EQ(h.Cell(1, Col::kItem), QStringLiteral("Hall (A12.1)"));
  EXPECT_EQ(h.model()->rows().at(0).output_id, 43);
  EXPECT_EQ(h.Cell(1, Col::kItemType), h.state.reference->ModeName(151).value_or("?"));
  EXPECT_FALSE(h.Cell(1, Col::kItemType).isEmpty());

  // Switching the row to another type keeps what it held.
  h.Choose(1, Col::kScanType, "cmbScanType", QStringLiteral("Module"));
  EXPECT_EQ(h.model()->rows().at(0).output_id, 43);
  EXPECT_EQ(h.Cell(1, Col::kItem), QStringLiteral("Hall (A12.1)"));
}

TEST(GridEditingTest, ARecordGoneSincePickingShowsQuestionMarksAndNoType) {
  WindowHarness h;
  h.AddRow(QStringLiteral("Output_status"));
  h.AddRow(QStringLiteral("Module_memory"));
  h.ClickCell(1, Col::kItem);
  QComboBox* picker = h.OpenEditor("cmbOutput");
  SqliteDb::OpenExisting(h.folder.working_copy()).Exec(QStringLiteral("DELETE FROM outputs"));
  WindowHarness::ChooseInList(picker, QStringLiteral("Garage (A13.4)"));
  EXPECT_EQ(h.Cell(1, Col::kItem), QStringLiteral("???"));
  EXPECT_EQ(h.Cell(1, Col::kItemType), QString());
  EXPECT_EQ(h.model()->rows().at(0).output_id, 0);

  h.Choose(2, Col::kItem, "cmbModule", QStringLiteral("654321 TH-1 room thermostat Attic"));
  ASSERT_EQ(h.Cell(2, Col::kItemType), QStringLiteral("000B"));
  h.ClickCell(2, Col::kItem);
  picker = h.OpenEditor("cmbModule");
  SqliteDb::OpenExisting(h.folder.working_copy()).Exec(QStringLiteral("DELETE FROM modules"));
  WindowHarness::ChooseInList(picker, QStringLiteral("123456 MS-5 multi-sensor Living room"));
  EXPECT_EQ(h.Cell(2, Col::kItem), QStringLiteral("???"));
  EXPECT_EQ(h.Cell(2, Col::kItemType), QString());
}

TEST(GridEditingTest, InstallationWithoutOutputsGivesAnEmptyOutputPicker) {
  WindowHarness h(QStringLiteral("DELETE FROM outputs; DELETE FROM modules;"));
  h.AddRow(QStringLiteral("Output_status"));
  h.ClickCell(1, Col::kItem);
  ASSERT_NE(h.OpenEditor("cmbOutput"), nullptr);
  EXPECT_EQ(h.OpenEditor("cmbOutput")->count(), 0);
  h.AddRow(QStringLiteral("Module"));
  h.ClickCell(2, Col::kItem);
  ASSERT_NE(h.OpenEditor("cmbModule"), nullptr);
  EXPECT_EQ(h.OpenEditor("cmbModule")->count(), 0);
}

TEST(GridEditingTest, AddressBoxClampsTypedNumbersAndStepsByOneThenTen) {
  WindowHarness h;
  h.AddRow(QStringLiteral("Module_memory"));
  h.ClickCell(1, Col::kAddress);
  auto* editor = h.OpenEditor<AddressEditor>("addressEditor");
  ASSERT_NE(editor, nullptr);
  QLineEdit* box = editor->text_box();
  EXPECT_EQ(box->text(), QStringLiteral("0"));
  EXPECT_TRUE(box->hasFocus());

  box->selectAll();
  QTest::keyClicks(box, QStringLiteral("300"));
  EXPECT_EQ(box->text(), QStringLiteral("255"));
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("255"));
  QTest::keyClicks(box, QStringLiteral("9"));  // 2559: still the bound
  EXPECT_EQ(box->text(), QStringLiteral("255"));

  box->selectAll();
  QTest::keyClicks(box, QStringLiteral("180"));
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("180"));
  QTest::mouseClick(editor->stepper()->up_button(), Qt::LeftButton);
  EXPECT_EQ(box->text(), QStringLiteral("181"));
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("181"));
  QTest::mouseClick(editor->stepper()->down_button(), Qt::LeftButton);
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("180"));

  // Held down, the first step is 1 and every repeat 10.
  QTest::mousePress(editor->stepper()->up_button(), Qt::LeftButton);
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("181"));
  QTest::qWait(UpDown::kRepeatDelayMs + 3 * UpDown::kRepeatIntervalMs);
  QTest::mouseRelease(editor->stepper()->up_button(), Qt::LeftButton);
  const int held = h.Cell(1, Col::kAddress).toInt();
  EXPECT_GT(held, 181);
  EXPECT_EQ((held - 181) % 10, 0) << held;
  // The next press starts at 1 again; the top stops at 255.
  QTest::mouseClick(editor->stepper()->up_button(), Qt::LeftButton);
  EXPECT_EQ(h.Cell(1, Col::kAddress).toInt(), held + 1);

  box->selectAll();
  QTest::keyClicks(box, QStringLiteral("abc"));
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("0"));
  EXPECT_EQ(h.model()->data(h.model()->index(0, Col::kAddress), Qt::TextAlignmentRole).toInt(),
            int(Qt::AlignRight | Qt::AlignVCenter));
}

TEST(GridEditingTest, AnEditorWritesIntoTheCellItWasOpenedFor) {
  WindowHarness h;
  h.AddRow(QStringLiteral("Module_memory"));
  h.AddRow(QStringLiteral("Module_memory"));
  h.ClickCell(1, Col::kAddress);
  auto* editor = h.OpenEditor<AddressEditor>("addressEditor");
  ASSERT_NE(editor, nullptr);
  // The grid's current cell moves on (as a scan moves it) while the editor stays open.
  h.grid()->setCurrentIndex(h.model()->index(1, Col::kAddress));
  editor->text_box()->selectAll();
  QTest::keyClicks(editor->text_box(), QStringLiteral("42"));
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("42"));
  EXPECT_EQ(h.Cell(2, Col::kAddress), QStringLiteral("0"));
}

TEST(GridEditingTest, DeleteRemovesScanRowsOnlyAndHidesWhenNoneIsLeft) {
  WindowHarness h;
  h.AddRow(QStringLiteral("Module"));
  h.AddRow(QStringLiteral("Output_status"));
  h.AddRow(QStringLiteral("KTX_memory"));
  ASSERT_EQ(h.model()->rowCount(), 4);

  h.ClickHeader(Col::kItem);
  EXPECT_FALSE(h.delete_button()->isVisible()) << "the header is no scan row";
  h.ClickCell(4, Col::kScanType);
  EXPECT_FALSE(h.delete_button()->isVisible()) << "the slot is no scan row";

  h.ClickCell(2, Col::kItemType);
  ASSERT_TRUE(h.delete_button()->isVisible());
  QTest::mouseClick(h.delete_button(), Qt::LeftButton);
  ASSERT_EQ(h.model()->rowCount(), 3);
  EXPECT_EQ(h.Cell(1, Col::kScanType), QStringLiteral("Module"));
  EXPECT_EQ(h.Cell(2, Col::kScanType), QStringLiteral("KTX_memory"));

  // The row that moved up is next; after it only the slot is there, which stays.
  QTest::mouseClick(h.delete_button(), Qt::LeftButton);
  ASSERT_EQ(h.model()->rowCount(), 2);
  QTest::mouseClick(h.delete_button(), Qt::LeftButton);
  EXPECT_EQ(h.model()->rowCount(), 2);

  h.ClickCell(1, Col::kItem);
  QTest::mouseClick(h.delete_button(), Qt::LeftButton);
  EXPECT_EQ(h.model()->rowCount(), 1);
  EXPECT_FALSE(h.delete_button()->isVisible());
  QTest::mouseClick(h.delete_button(), Qt::LeftButton);
  EXPECT_EQ(h.model()->rowCount(), 1) << "the slot is never removed";
}

// F2, Enter and Return open on the current cell what a click opens there, and nothing where a
// click opens nothing; the delete button follows as for a click.
TEST(GridEditingTest, EditKeysOpenTheEditorAClickWouldOpen) {
  WindowHarness h;
  h.AddRow(QStringLiteral("Module"));
  h.AddRow(QStringLiteral("Module_memory"));
  h.AddRow(QStringLiteral("KTX_memory"));
  struct Case {
    int row;
    int column;
    const char* editor;  // nullptr: none
  };
  const Case cases[] = {
      {4, Col::kScanType, "cmbScanType"},   {4, Col::kItem, nullptr},
      {4, Col::kAddress, nullptr},          {1, Col::kScanType, "cmbScanType"},
      {1, Col::kItem, "cmbModule"},         {1, Col::kItemType, nullptr},
      {1, Col::kAddress, nullptr},          {1, Col::kValueType, nullptr},
      {2, Col::kItem, "cmbModule"},         {2, Col::kAddress, "addressEditor"},
      {2, Col::kValueType, "cmbValueType"}, {3, Col::kItem, nullptr},
      {3, Col::kAddress, nullptr},          {3, Col::kValueType, nullptr},
  };
  for (const Qt::Key key : {Qt::Key_F2, Qt::Key_Return, Qt::Key_Enter}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message()
                   << "key " << key << " row " << c.row << " column " << c.column);
      h.FocusCell(c.row, c.column);
      WindowHarness::Key(key);
      if (c.editor == nullptr) {
        EXPECT_FALSE(h.AnyEditorOpen());
      } else {
        QWidget* editor = h.OpenEditor<QWidget>(c.editor);
        ASSERT_NE(editor, nullptr);
        if (auto* picker = qobject_cast<QComboBox*>(editor)) {
          EXPECT_TRUE(picker->view()->isVisible()) << "the list drops down as for a click";
        }
      }
      EXPECT_EQ(h.delete_button()->isVisible(), c.row < 4);
      h.ClickHeader(Col::kItemType);
    }
  }
  EXPECT_EQ(h.model()->rowCount(), 4) << "opening editors writes nothing";
}

TEST(GridEditingTest, KeysChooseInAPickerAndEscapeCancelsAtOnce) {
  WindowHarness h;
  // A letter typed on the slot's scan type drops the list down at the entry starting with it.
  h.FocusCell(1, Col::kScanType);
  WindowHarness::Type(QStringLiteral("O"));
  QComboBox* picker = h.OpenEditor("cmbScanType");
  ASSERT_NE(picker, nullptr);
  EXPECT_TRUE(picker->view()->isVisible());
  EXPECT_EQ(picker->view()->currentIndex().data().toString(), QStringLiteral("Output_status"));
  WindowHarness::Key(Qt::Key_Return);
  EXPECT_EQ(h.Cell(1, Col::kScanType), QStringLiteral("Output_status"));
  EXPECT_EQ(h.model()->rowCount(), 2) << "a fresh slot follows";
  EXPECT_FALSE(h.AnyEditorOpen());
  EXPECT_EQ(QApplication::focusWidget(), h.grid()) << "the keyboard is back on the grid";

  // One Escape closes list and picker; nothing is written.
  WindowHarness::Key(Qt::Key_F2);
  ASSERT_NE(h.OpenEditor("cmbScanType"), nullptr);
  WindowHarness::Key(Qt::Key_Up);
  WindowHarness::Key(Qt::Key_Escape);
  EXPECT_FALSE(h.AnyEditorOpen());
  EXPECT_EQ(h.Cell(1, Col::kScanType), QStringLiteral("Output_status"));
  EXPECT_EQ(QApplication::focusWidget(), h.grid());

  // The arrows move in the list from the cell's own entry; Enter takes the one reached.
  WindowHarness::Key(Qt::Key_Enter);
  WindowHarness::Key(Qt::Key_Up);
  WindowHarness::Key(Qt::Key_Enter);
  EXPECT_EQ(h.Cell(1, Col::kScanType), QStringLiteral("Module_memory"));
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("0"));
  EXPECT_EQ(h.model()->rowCount(), 2);

  // Output pickers take keys too; a digit searches the module list by serial.
  h.FocusCell(1, Col::kItem);
  WindowHarness::Type(QStringLiteral("6"));
  ASSERT_NE(h.OpenEditor("cmbModule"), nullptr);
  WindowHarness::Key(Qt::Key_Return);
  EXPECT_EQ(h.Cell(1, Col::kItem), QStringLiteral("654321 Attic"));
  EXPECT_EQ(h.Cell(1, Col::kItemType), QStringLiteral("000B"));
}

TEST(GridEditingTest, AddressTakesTypedDigitsArrowKeysStepAndEscapePutsTheOldAddressBack) {
  WindowHarness h;
  h.AddRow(QStringLiteral("Module_memory"));
  h.AddRow(QStringLiteral("Module_memory"));
  // A digit typed on the cell opens the box with that digit in place of the address.
  h.FocusCell(1, Col::kAddress);
  WindowHarness::Type(QStringLiteral("42"));
  auto* editor = h.OpenEditor<AddressEditor>("addressEditor");
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text_box()->text(), QStringLiteral("42"));
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("42"));
  WindowHarness::Key(Qt::Key_Return);
  EXPECT_FALSE(h.AnyEditorOpen());
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("42"));
  EXPECT_EQ(QApplication::focusWidget(), h.grid());

  // Up and Down step by 1 a press and by 10 while held.
  WindowHarness::Key(Qt::Key_F2);
  WindowHarness::Key(Qt::Key_Up);
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("43"));
  WindowHarness::HeldKey(Qt::Key_Up);
  WindowHarness::HeldKey(Qt::Key_Up);
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("63"));
  WindowHarness::Key(Qt::Key_Down);
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("62"));
  WindowHarness::Key(Qt::Key_Enter);

  // Escape undoes what was typed since the box opened, and the box closes.
  WindowHarness::Key(Qt::Key_F2);
  WindowHarness::Type(QStringLiteral("300"));
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("255"));
  WindowHarness::Key(Qt::Key_Escape);
  EXPECT_FALSE(h.AnyEditorOpen());
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("62"));
  EXPECT_EQ(h.Cell(2, Col::kAddress), QStringLiteral("0"));
  EXPECT_EQ(QApplication::focusWidget(), h.grid());

  // A cell read from a file may hold a fraction: Enter takes the whole number the box shows,
  // Escape leaves the cell as it was.
  h.model()->SetCell(1, Col::kAddress, QStringLiteral("12.5"));
  h.FocusCell(2, Col::kAddress);
  WindowHarness::Key(Qt::Key_F2);
  ASSERT_EQ(h.OpenEditor<AddressEditor>("addressEditor")->text_box()->text(), QStringLiteral("12"));
  WindowHarness::Key(Qt::Key_Escape);
  EXPECT_EQ(h.Cell(2, Col::kAddress), QStringLiteral("12.5"));
  WindowHarness::Key(Qt::Key_F2);
  WindowHarness::Key(Qt::Key_Return);
  EXPECT_EQ(h.Cell(2, Col::kAddress), QStringLiteral("12"));

  // A letter on the address opens nothing: the box would only turn it into 0.
  h.FocusCell(1, Col::kAddress);
  WindowHarness::Type(QStringLiteral("x"));
  EXPECT_FALSE(h.AnyEditorOpen());
  EXPECT_EQ(h.Cell(1, Col::kAddress), QStringLiteral("62"));
}

TEST(GridEditingTest, DeleteRemovesTheRowTheArrowKeysMovedTo) {
  WindowHarness h;
  h.AddRow(QStringLiteral("Module"));
  h.AddRow(QStringLiteral("Output_status"));
  h.ClickCell(1, Col::kItemType);
  ASSERT_EQ(QApplication::focusWidget(), h.grid());
  WindowHarness::Key(Qt::Key_Down);
  QTest::mouseClick(h.delete_button(), Qt::LeftButton);
  ASSERT_EQ(h.model()->rowCount(), 2);
  EXPECT_EQ(h.Cell(1, Col::kScanType), QStringLiteral("Module"));
  EXPECT_EQ(QApplication::focusWidget(), h.grid()) << "the arrow keys go on moving in the grid";

  // In the slot there is nothing to delete.
  h.ClickCell(1, Col::kItemType);
  WindowHarness::Key(Qt::Key_Down);
  EXPECT_FALSE(h.delete_button()->isVisible());
  WindowHarness::Key(Qt::Key_Up);
  EXPECT_TRUE(h.delete_button()->isVisible());
}

}  // namespace
}  // namespace orva::test
