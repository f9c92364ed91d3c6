#include "window_harness.h"

#include <QClipboard>
#include <QFormLayout>
#include <QScrollBar>

namespace orva::test {
namespace {

using Col = ScanGridModel::Column;

// A window as small as it goes from the load step on. The load step makes the last column's
// cell current, yet the grid opens on the first column; the fields show their defaults and the
// grid an empty slot. Every label shows whole, every field takes a host name or an address, and
// three rows of the grid stay in view. The port's key filter and correction are tested as
// functions; here only that the field uses them, for typed and pasted text alike. A scan time
// that reads as zero leaves the box unticked with a red reason, and the grid open to editing.
TEST(WindowFieldsTest, AtItsSmallestTheWindowKeepsItsFieldsAndRowsUsable) {
  WindowHarness h({}, {}, {}, /*smallest=*/true);
  QTableView* grid = h.grid();
  ASSERT_GT(grid->horizontalScrollBar()->maximum(), 0) << "the columns do not all fit";
  EXPECT_EQ(grid->horizontalScrollBar()->value(), 0);
  EXPECT_EQ(grid->currentIndex(), h.model()->index(0, Col::kValueType));
  EXPECT_EQ(h.window->windowTitle(), WindowTitle());
  EXPECT_EQ(h.Child<QLineEdit>("txtipaddress")->text(), QStringLiteral("localhost"));
  EXPECT_EQ(h.port()->text(), QStringLiteral("8086"));
  EXPECT_EQ(h.Child<QLineEdit>("txtDBname")->text(), QStringLiteral("orva"));
  EXPECT_EQ(h.scan_time()->text(), QStringLiteral("0.5"));
  EXPECT_FALSE(h.scan_box()->isChecked());
  EXPECT_EQ(h.status()->text(), QString());
  ASSERT_EQ(h.model()->rowCount(), 1);
  for (int column = 0; column < 5; ++column) EXPECT_EQ(h.Cell(1, column), QString());

  for (int row = 0; row < 4; ++row) h.AddRow(QStringLiteral("Module"));
  const QSize smallest = h.window->size();
  EXPECT_LE(smallest.width(), 800) << "it still fits a small screen";
  EXPECT_LE(smallest.height(), 600);
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
  EXPECT_LE(grid->rowViewportPosition(2) + grid->rowHeight(2), grid->viewport()->height());
  EXPECT_TRUE(h.status()->isVisible());

  QLineEdit* port = h.port();
  port->setFocus();
  port->selectAll();
  QTest::keyClicks(port, QStringLiteral("a-Z.12x-3"));
  EXPECT_EQ(port->text(), QStringLiteral("123"));
  port->selectAll();
  QTest::keyClicks(port, QStringLiteral("70000"));
  EXPECT_EQ(port->text(), QStringLiteral("65535"));
  QApplication::clipboard()->setText(QStringLiteral("-12ab"));
  port->selectAll();
  QTest::keyClick(port, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(port->text(), QStringLiteral("65535")) << "the paste is refused whole";

  for (const char* text : {"0,5", "", "abc", "0", "-1"}) {
    scan_time->selectAll();
    QTest::keyClick(scan_time, Qt::Key_Backspace);
    QTest::keyClicks(scan_time, QLatin1String(text));
    QTest::mouseClick(h.scan_box(), Qt::LeftButton);
    EXPECT_FALSE(h.scan_box()->isChecked()) << text;
    EXPECT_FALSE(h.status()->text().isEmpty()) << text;
    EXPECT_EQ(h.status()->palette().color(QPalette::WindowText), QColor(255, 0, 0)) << text;
    EXPECT_TRUE(h.delete_button()->isEnabled());
    h.ClickCell(1, Col::kScanType);
    EXPECT_NE(h.OpenEditor("cmbScanType"), nullptr) << text;
  }
}

}  // namespace
}  // namespace orva::test
