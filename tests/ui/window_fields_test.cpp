// The window's own fields: initial contents, the port field's key filter and correction, and
// the scan time that the "Scan and Log" box reads.
#include "window_harness.h"

#include <QClipboard>

namespace orva::test {
namespace {

TEST(WindowFieldsTest, FreshWindowShowsDefaultsAndAnEmptySlot) {
  WindowHarness h;
  EXPECT_EQ(h.window->windowTitle(), WindowTitle());
  EXPECT_EQ(h.Child<QLineEdit>("txtipaddress")->text(), QStringLiteral("localhost"));
  EXPECT_EQ(h.port()->text(), QStringLiteral("8086"));
  EXPECT_EQ(h.Child<QLineEdit>("txtDBname")->text(), QStringLiteral("orva"));
  EXPECT_EQ(h.scan_time()->text(), QStringLiteral("0.5"));
  EXPECT_FALSE(h.scan_box()->isChecked());
  EXPECT_EQ(h.status()->text(), QString());
  ASSERT_EQ(h.model()->rowCount(), 1);
  for (int column = 0; column < 5; ++column) EXPECT_EQ(h.Cell(1, column), QString());
}

// The key filter and the correction are tested as functions; here only that the field uses
// them, for typed and pasted text alike.
TEST(WindowFieldsTest, PortFieldTakesDigitsOnlyAndCorrectsItsRange) {
  WindowHarness h;
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
}

TEST(WindowFieldsTest, ScanTimeReadingAsZeroLeavesTheBoxUntickedWithARedReason) {
  WindowHarness h;
  for (const char* text : {"0,5", "", "abc", "0", "-1"}) {
    h.scan_time()->selectAll();
    QTest::keyClick(h.scan_time(), Qt::Key_Backspace);
    QTest::keyClicks(h.scan_time(), QLatin1String(text));
    QTest::mouseClick(h.scan_box(), Qt::LeftButton);
    EXPECT_FALSE(h.scan_box()->isChecked()) << text;
    EXPECT_FALSE(h.status()->text().isEmpty()) << text;
    EXPECT_EQ(h.status()->palette().color(QPalette::WindowText), QColor(255, 0, 0)) << text;
    // The grid stays open to editing.
    EXPECT_TRUE(h.delete_button()->isEnabled());
    h.ClickCell(1, ScanGridModel::kScanType);
    EXPECT_NE(h.OpenEditor("cmbScanType"), nullptr) << text;
  }
}

}  // namespace
}  // namespace orva::test
