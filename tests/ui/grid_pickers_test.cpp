// Where a dropped-down list of the grid starts: on what the cell holds, so that the highlight,
// Enter and the arrow keys agree with the row.
#include "window_harness.h"

namespace orva::test {
namespace {

using Col = ScanGridModel::Column;

// The entry of an open picker that starts with `prefix` (a module's serial).
QString EntryStartingWith(QComboBox* picker, const QString& prefix) {
  for (const QString& text : WindowHarness::Entries(picker)) {
    if (text.startsWith(prefix)) return text;
  }
  return {};
}

TEST(GridPickersTest, AListOpensOnTheCellsValueShownHighlightedElseOnItsFirstEntry) {
  WindowHarness h;
  h.AddRow(QStringLiteral("Module_memory"));
  h.Choose(1, Col::kItem, "cmbModule", QStringLiteral("654321 TH-1 room thermostat Attic"));
  ASSERT_EQ(h.Cell(1, Col::kItem), QStringLiteral("654321 Attic"));
  h.Choose(1, Col::kValueType, "cmbValueType", QStringLiteral("24-bit"));
  h.AddRow(QStringLiteral("Output_status"));
  h.Choose(2, Col::kItem, "cmbOutput", QStringLiteral("Hall (A12.1)"));
  h.AddRow(QStringLiteral("Module"));
  h.AddRow(QStringLiteral("Module_memory"));
  h.model()->SetCell(3, Col::kItem, QStringLiteral("999999 ???"));

  struct Case {
    int row;
    int column;
    const char* picker;
    const char* highlighted;
  };
  const Case cases[] = {
      {1, Col::kScanType, "cmbScanType", "Module_memory"},
      // A module cell holds serial and location; its entry is found by the serial.
      {1, Col::kItem, "cmbModule", "654321 TH-1 room thermostat Attic"},
      {1, Col::kValueType, "cmbValueType", "24-bit"},
      {2, Col::kItem, "cmbOutput", "Hall (A12.1)"},
      // No module yet, or one no longer installed: the first entry.
      {3, Col::kItem, "cmbModule", "123456 MS-5 multi-sensor Living room"},
      {4, Col::kItem, "cmbModule", "123456 MS-5 multi-sensor Living room"},
      {4, Col::kValueType, "cmbValueType", "Byte"},
      {5, Col::kScanType, "cmbScanType", "KTX_memory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << c.row << " column " << c.column);
    h.ClickCell(c.row, c.column);
    QComboBox* picker = h.OpenEditor(c.picker);
    ASSERT_NE(picker, nullptr);
    ASSERT_TRUE(picker->view()->isVisible());
    const QModelIndex current = picker->view()->currentIndex();
    EXPECT_EQ(current.data().toString(), QLatin1String(c.highlighted));
    EXPECT_TRUE(picker->view()->selectionModel()->isSelected(current)) << "shown highlighted";
    EXPECT_EQ(picker->currentText(), QLatin1String(c.highlighted));
    h.ClickHeader(Col::kItemType);
  }
  EXPECT_EQ(h.model()->rowCount(), 5) << "opening pickers writes nothing";
}

TEST(GridPickersTest, EnterKeepsTheRowsModuleAndDownMovesOnFromIt) {
  WindowHarness h;
  h.AddRow(QStringLiteral("Module_memory"));
  h.ClickCell(1, Col::kItem);
  QComboBox* picker = h.OpenEditor("cmbModule");
  ASSERT_NE(picker, nullptr);
  const QString roof = EntryStartingWith(picker, QStringLiteral("200001"));
  WindowHarness::ChooseInList(picker, roof);
  ASSERT_EQ(h.Cell(1, Col::kItem), QStringLiteral("200001 Roof"));

  // The module the row has is the one Enter takes again.
  h.FocusCell(1, Col::kItem);
  WindowHarness::Key(Qt::Key_F2);
  ASSERT_NE(h.OpenEditor("cmbModule"), nullptr);
  WindowHarness::Key(Qt::Key_Return);
  EXPECT_EQ(h.Cell(1, Col::kItem), QStringLiteral("200001 Roof"));

  // One Down goes to the next module in serial order.
  h.FocusCell(1, Col::kItem);
  WindowHarness::Key(Qt::Key_F2);
  ASSERT_NE(h.OpenEditor("cmbModule"), nullptr);
  WindowHarness::Key(Qt::Key_Down);
  WindowHarness::Key(Qt::Key_Return);
  EXPECT_EQ(h.Cell(1, Col::kItem), QStringLiteral("654321 Attic"));

  // In the slot the first scan type is highlighted; one Down goes to the second.
  h.FocusCell(2, Col::kScanType);
  WindowHarness::Key(Qt::Key_F2);
  ASSERT_NE(h.OpenEditor("cmbScanType"), nullptr);
  WindowHarness::Key(Qt::Key_Down);
  WindowHarness::Key(Qt::Key_Return);
  EXPECT_EQ(h.Cell(2, Col::kScanType), QStringLiteral("Module"));
}

}  // namespace
}  // namespace orva::test
