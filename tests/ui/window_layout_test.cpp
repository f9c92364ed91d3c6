// How the window lays itself out: at its default size the grid shows every column, the address
// editor fits its cell, and a window made as small as it goes keeps its fields and rows usable.
#include "ui/address_editor.h"
#include "window_harness.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QScrollBar>

namespace orva::test {
namespace {

using Col = ScanGridModel::Column;

// Whether every column lies whole inside the grid's visible area.
void ExpectAllColumnsShown(const WindowHarness& h) {
  QHeaderView* header = h.grid()->horizontalHeader();
  const int visible = h.grid()->viewport()->width();
  EXPECT_EQ(h.grid()->horizontalScrollBar()->value(), 0);
  for (int column = 0; column < ScanGridModel::kColumnCount; ++column) {
    SCOPED_TRACE(testing::Message() << "column " << column);
    EXPECT_GE(header->sectionViewportPosition(column), 0);
    EXPECT_LE(header->sectionViewportPosition(column) + header->sectionSize(column), visible);
  }
}

TEST(WindowLayoutTest, EveryColumnShowsAndTheItemColumnTakesTheSpareWidth) {
  WindowHarness h;
  ExpectAllColumnsShown(h);
  const QTableView* grid = h.grid();
  for (const int column : {Col::kScanType, Col::kItemType, Col::kAddress, Col::kValueType}) {
    EXPECT_GT(grid->columnWidth(Col::kItem), grid->columnWidth(column))
        << "the Item column is the widest";
  }

  h.AddRow(QStringLiteral("Module_memory"));
  h.Choose(1, Col::kItem, "cmbModule", QStringLiteral("654321 TH-1 room thermostat Attic"));
  h.Choose(1, Col::kValueType, "cmbValueType", QStringLiteral("Integer"));
  h.AddRow(QStringLiteral("Module"));
  h.Choose(2, Col::kItem, "cmbModule", QStringLiteral("123456 MS-5 multi-sensor Living room"));
  ExpectAllColumnsShown(h);

  // The address editor, box and stepper, lies within its own cell and leaves the value type
  // beside it in view; its box is wide enough for the highest address.
  h.ClickCell(1, Col::kAddress);
  auto* editor = h.OpenEditor<AddressEditor>("addressEditor");
  ASSERT_NE(editor, nullptr);
  const QRect address_cell = grid->visualRect(h.model()->index(0, Col::kAddress));
  const QRect type_cell = grid->visualRect(h.model()->index(0, Col::kValueType));
  EXPECT_GE(editor->geometry().left(), address_cell.left());
  EXPECT_LE(editor->geometry().right(), address_cell.right());
  EXPECT_LT(editor->geometry().right(), type_cell.left());
  QLineEdit* box = editor->text_box();
  EXPECT_GE(box->contentsRect().width() - box->textMargins().left() - box->textMargins().right(),
            box->fontMetrics().horizontalAdvance(QStringLiteral("255")));
  ExpectAllColumnsShown(h);

  // A wider window gives the Item column the spare width; the others keep theirs.
  h.ClickHeader(Col::kItemType);
  int others = 0;
  for (const int column : {Col::kScanType, Col::kItemType, Col::kAddress, Col::kValueType}) {
    others += grid->columnWidth(column);
  }
  const int item_before = grid->columnWidth(Col::kItem);
  h.window->resize(h.window->width() + 200, h.window->height());
  ASSERT_TRUE(QTest::qWaitFor([&] { return grid->columnWidth(Col::kItem) > item_before; }, 2000));
  EXPECT_EQ(grid->columnWidth(Col::kItem) + others, grid->viewport()->width());
  ExpectAllColumnsShown(h);
}

// The load step makes the last column's cell current; a window too narrow for every column
// still opens on the first one.
TEST(WindowLayoutTest, ANarrowWindowStartsAtTheFirstColumn) {
  ProgramFolder folder;
  const QString file = folder.root() + QStringLiteral("installation.orva");
  WriteInstallationDb(file, QString());
  StartupState state = PrepareStartup(folder.program_dir(),
                                      {QStringLiteral("-d"), folder.root(), QStringLiteral("-f"),
                                       QStringLiteral("installation.orva")});
  FrmInfluxDB window(state);
  window.Form_Load();
  window.resize(window.minimumSizeHint());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto* grid = window.findChild<QTableView*>(QStringLiteral("grdConfig"));
  ASSERT_NE(grid, nullptr);
  ASSERT_GT(grid->horizontalScrollBar()->maximum(), 0) << "the columns do not all fit";
  EXPECT_EQ(grid->horizontalScrollBar()->value(), 0);
  EXPECT_EQ(grid->currentIndex(), window.grid_model()->index(0, Col::kValueType));
  window.close();
}

TEST(WindowLayoutTest, AtItsSmallestTheWindowKeepsFieldsReadableAndGridRowsInView) {
  WindowHarness h;
  for (int row = 0; row < 4; ++row) h.AddRow(QStringLiteral("Module"));
  h.window->resize(300, 200);
  QTest::qWait(50);
  QCoreApplication::processEvents();

  const QSize smallest = h.window->size();
  EXPECT_LE(smallest.width(), 800) << "it still fits a small screen";
  EXPECT_LE(smallest.height(), 600);
  // Every label shows whole, every field takes a host name or an address.
  for (QFormLayout* form : h.window->findChildren<QFormLayout*>()) {
    for (int row = 0; row < form->rowCount(); ++row) {
      QLayoutItem* label = form->itemAt(row, QFormLayout::LabelRole);
      if (label == nullptr || label->widget() == nullptr) continue;
      EXPECT_GE(label->widget()->width(), label->widget()->sizeHint().width())
          << qPrintable(label->widget()->property("text").toString());
      EXPECT_TRUE(label->widget()->isVisible());
    }
  }
  for (const char* name : {"txtipaddress", "txtPort", "txtDBname"}) {
    QLineEdit* field = h.Child<QLineEdit>(name);
    EXPECT_GE(field->width(), field->fontMetrics().horizontalAdvance(QStringLiteral("localhost")))
        << name;
  }
  QLineEdit* scan_time = h.scan_time();
  EXPECT_GE(scan_time->width(), scan_time->fontMetrics().horizontalAdvance(QStringLiteral("0.5")));
  EXPECT_GE(h.scan_box()->width(), h.scan_box()->sizeHint().width());
  // At least three rows of the grid stay in view.
  QTableView* grid = h.grid();
  EXPECT_LE(grid->rowViewportPosition(2) + grid->rowHeight(2), grid->viewport()->height());
  EXPECT_TRUE(h.status()->isVisible());
}

}  // namespace
}  // namespace orva::test
