// The window's own fields: initial contents, the port field's key filter and correction, and
// the scan time that the "Scan and Log" box reads.
#include "window_harness.h"

#include <QClipboard>
#include <QGroupBox>

namespace orva::test {
namespace {

TEST(WindowFieldsTest, FreshWindowShowsFramesFieldsAndCaptions) {
  WindowHarness h;
  EXPECT_EQ(h.window->windowTitle(), WindowTitle());
  QStringList frames;
  for (const QGroupBox* frame : h.window->findChildren<QGroupBox*>()) frames << frame->title();
  frames.sort();
  EXPECT_EQ(frames, QStringList({"Data selection", "InfluxDB server settings", "Scan", "Values"}));
  EXPECT_EQ(h.Child<QLineEdit>("txtipaddress")->text(), QStringLiteral("localhost"));
  EXPECT_EQ(h.port()->text(), QStringLiteral("8086"));
  EXPECT_EQ(h.Child<QLineEdit>("txtDBname")->text(), QStringLiteral("orva"));
  EXPECT_EQ(h.scan_time()->text(), QStringLiteral("0.5"));
  EXPECT_EQ(h.scan_box()->text(), QStringLiteral("Scan and Log"));
  EXPECT_FALSE(h.scan_box()->isChecked());
  EXPECT_EQ(h.delete_button()->text(), QStringLiteral("-"));
  EXPECT_EQ(h.Child<QToolButton>("cmdSaveConfig")->toolTip(),
            QStringLiteral("Save configuration to JSON file"));
  EXPECT_EQ(h.Child<QToolButton>("cmdOpenConfig")->toolTip(),
            QStringLiteral("Open configuration from JSON File"));
  EXPECT_FALSE(h.Child<QToolButton>("cmdSaveConfig")->icon().isNull());
  EXPECT_EQ(h.status()->text(), QString());
  ASSERT_EQ(h.model()->rowCount(), 1);
  const QStringList headers = {"Scan type", "Item", "Item type", ".....", "....."};
  for (int column = 0; column < 5; ++column) {
    EXPECT_EQ(h.model()->headerData(column, Qt::Horizontal).toString(), headers.at(column));
    EXPECT_EQ(h.Cell(1, column), QString());
  }
  // Scan type, Item type and value type in the widths 2000 : 2500 : 1000.
  EXPECT_NEAR(double(h.grid()->columnWidth(2)) / h.grid()->columnWidth(0), 1.25, 0.02);
  EXPECT_NEAR(double(h.grid()->columnWidth(4)) / h.grid()->columnWidth(0), 0.5, 0.02);
}

TEST(WindowFieldsTest, PortFieldTakesDigitsOnlyAndCorrectsItsRange) {
  WindowHarness h;
  QLineEdit* port = h.port();
  port->setFocus();

  // Letters and the minus sign never reach the field; digits do.
  port->selectAll();
  QTest::keyClicks(port, QStringLiteral("a-Z.12x-3"));
  EXPECT_EQ(port->text(), QStringLiteral("123"));
  QTest::keyClick(port, Qt::Key_Minus);
  EXPECT_EQ(port->text(), QStringLiteral("123"));

  // Backspace passes; so does Enter.
  QTest::keyClick(port, Qt::Key_Backspace);
  EXPECT_EQ(port->text(), QStringLiteral("12"));
  QTest::keyClick(port, Qt::Key_Return);
  EXPECT_EQ(port->text(), QStringLiteral("12"));

  // An emptied field is the default port again at once.
  port->selectAll();
  QTest::keyClick(port, Qt::Key_Backspace);
  EXPECT_EQ(port->text(), QStringLiteral("8086"));

  port->selectAll();
  QTest::keyClicks(port, QStringLiteral("70000"));
  EXPECT_EQ(port->text(), QStringLiteral("65535"));
  port->selectAll();
  QTest::keyClicks(port, QStringLiteral("9999"));
  EXPECT_EQ(port->text(), QStringLiteral("9999"));
  port->selectAll();
  QTest::keyClicks(port, QStringLiteral("0"));
  EXPECT_EQ(port->text(), QStringLiteral("8086"));

  // Pasted text is held to digits as well.
  QApplication::clipboard()->setText(QStringLiteral("-12ab"));
  port->selectAll();
  QTest::keyClick(port, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(port->text(), QStringLiteral("8086"));
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
