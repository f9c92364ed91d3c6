// Saving and opening configuration files through the window's own buttons, with the file
// dialogs and message boxes answered as a user would, and how the window lays out the grid.
#include "ui/address_editor.h"
#include "ui/server_access_dialog.h"
#include "window_harness.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScrollBar>

namespace orva::test {
namespace {

using Col = ScanGridModel::Column;

struct DialogSeen {
  QString suffix;
  QString proposed;
};

// Types the name into the dialog's name field and presses its accept button, as a user does.
void TypeFileName(QFileDialog* dialog, const QString& path) {
  auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(name, nullptr);
  name->setText(path);
  QMetaObject::invokeMethod(dialog, "accept");
}

// Answers the next file dialog with `path` (empty: cancel) and notes what it showed.
void AnswerFileDialog(const QString& path, DialogSeen* seen) {
  AnswerNextModal<QFileDialog>([path, seen](QFileDialog* dialog) {
    seen->suffix = dialog->defaultSuffix();
    if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
      seen->proposed = name->text();
    }
    if (path.isEmpty()) {
      dialog->reject();
      return;
    }
    TypeFileName(dialog, path);
  });
}

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

// A grid with one row of each kind the file keeps, and one it leaves out, filled in a window of
// the default size: the grid shows every column throughout, the address editor, box and stepper,
// lies within its own cell and leaves the value type beside it in view, its box is wide enough
// for the highest address, and a wider window gives the Item column, the widest, the spare width.
TEST(ConfigFileWindowTest, SaveThenOpenThroughTheButtonsGivesTheSameRowsAndFields) {
  WindowHarness h;
  ExpectAllColumnsShown(h);
  h.AddRow(QStringLiteral("Module"));
  h.Choose(1, Col::kItem, "cmbModule", QStringLiteral("123456 MS-5 multi-sensor Living room"));
  h.AddRow(QStringLiteral("KTX_memory"));
  h.AddRow(QStringLiteral("Module_memory"));
  h.Choose(3, Col::kItem, "cmbModule", QStringLiteral("654321 TH-1 room thermostat Attic"));
  h.Choose(3, Col::kValueType, "cmbValueType", QStringLiteral("Integer"));
  ExpectAllColumnsShown(h);
  h.ClickCell(3, Col::kAddress);
  auto* editor = h.OpenEditor<AddressEditor>("addressEditor");
  ASSERT_NE(editor, nullptr);
  const QTableView* grid = h.grid();
  const QRect address_cell = grid->visualRect(h.model()->index(2, Col::kAddress));
  EXPECT_GE(editor->geometry().left(), address_cell.left());
  EXPECT_LE(editor->geometry().right(), address_cell.right());
  EXPECT_LT(editor->geometry().right(),
            grid->visualRect(h.model()->index(2, Col::kValueType)).left());
  QLineEdit* address_box = editor->text_box();
  EXPECT_GE(address_box->contentsRect().width() - address_box->textMargins().left() -
                address_box->textMargins().right(),
            address_box->fontMetrics().horizontalAdvance(QStringLiteral("255")));
  ExpectAllColumnsShown(h);
  address_box->selectAll();
  QTest::keyClicks(address_box, QStringLiteral("180"));
  h.AddRow(QStringLiteral("Output_status"));
  h.Choose(4, Col::kItem, "cmbOutput", QStringLiteral("Hall (A12.1)"));
  h.ClickHeader(Col::kItemType);
  int others = 0;
  for (const int column : {Col::kScanType, Col::kItemType, Col::kAddress, Col::kValueType}) {
    EXPECT_GT(grid->columnWidth(Col::kItem), grid->columnWidth(column));
    others += grid->columnWidth(column);
  }
  const int item_before = grid->columnWidth(Col::kItem);
  h.window->resize(h.window->width() + 200, h.window->height());
  ASSERT_TRUE(QTest::qWaitFor([&] { return grid->columnWidth(Col::kItem) > item_before; }, 2000));
  EXPECT_EQ(grid->columnWidth(Col::kItem) + others, grid->viewport()->width());
  ExpectAllColumnsShown(h);

  h.Child<QLineEdit>("txtipaddress")->setText(QStringLiteral("127.0.0.1"));
  h.port()->setText(QStringLiteral("8087"));
  const QString path = h.folder.root() + QStringLiteral("scan.JSON");
  // A failure shown in red stays only until the next save or open goes through.
  const auto show_failure = [&h] {
    h.window->LoadConfigFile(h.folder.root() + QStringLiteral("missing.JSON"));
    ASSERT_TRUE(h.status()->text().contains(QStringLiteral("missing.JSON")));
  };
  const auto expect_replaced = [&h](const QString& text) {
    EXPECT_EQ(h.status()->text(), text);
    EXPECT_NE(h.status()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  };
  show_failure();

  DialogSeen seen;
  AnswerFileDialog(path, &seen);
  QTest::mouseClick(h.Child<QToolButton>("cmdSaveConfig"), Qt::LeftButton);
  expect_replaced(QStringLiteral("Saved ") + path);
  EXPECT_EQ(seen.suffix, QStringLiteral("JSON"));
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^Influx_\\d{8}_\\d{6}(\\.JSON)?$"))
                  .match(seen.proposed)
                  .hasMatch())
      << seen.proposed.toStdString();
  EXPECT_EQ(h.window->current_config_file(), path);

  std::vector<ScanRow> expected = h.model()->rows();
  expected.erase(expected.begin() + 1);  // the controller-memory row is not kept

  // Change everything, then open the file again.
  h.ClickCell(1, Col::kScanType);
  QTest::mouseClick(h.delete_button(), Qt::LeftButton);
  h.Child<QLineEdit>("txtipaddress")->setText(QStringLiteral("elsewhere"));
  h.port()->setText(QStringLiteral("1"));
  show_failure();
  AnswerFileDialog(path, &seen);
  QTest::mouseClick(h.Child<QToolButton>("cmdOpenConfig"), Qt::LeftButton);
  expect_replaced(QStringLiteral("Loaded ") + path);

  EXPECT_EQ(h.model()->rows(), expected);
  EXPECT_EQ(h.model()->rowCount(), 4) << "three rows and the slot";
  EXPECT_EQ(h.Cell(2, Col::kAddress), QStringLiteral("180"));
  EXPECT_EQ(h.Child<QLineEdit>("txtipaddress")->text(), QStringLiteral("127.0.0.1"));
  EXPECT_EQ(h.port()->text(), QStringLiteral("8087"));
  // After an open a row is highlighted, and it is the one the delete button removes.
  const QModelIndexList selected = h.grid()->selectionModel()->selectedIndexes();
  ASSERT_EQ(selected.size(), 1) << "a row is highlighted";
  EXPECT_EQ(h.grid()->currentIndex().row(), selected.front().row());
  std::vector<ScanRow> left = expected;
  left.erase(left.begin() + selected.front().row());
  ASSERT_TRUE(h.delete_button()->isVisible());
  QTest::mouseClick(h.delete_button(), Qt::LeftButton);
  EXPECT_EQ(h.model()->rows(), left);
  // A window loaded again in the same run comes back with the file it had, and so does the
  // window of the next start, with the server as it was left: changed after the file, until a
  // file is opened again.
  h.window->Form_Load();
  EXPECT_EQ(h.model()->rows(), expected);
  const auto next_start_shows = [&](const QString& host) {
    FrmInfluxDB next_start(h.state);
    next_start.Form_Load();
    EXPECT_EQ(next_start.grid_model()->rows(), expected);
    EXPECT_EQ(next_start.current_config_file(), path);
    EXPECT_EQ(next_start.findChild<QLineEdit*>("txtipaddress")->text(), host);
    ServerAccess shown;
    AnswerNextModal<ServerAccessDialog>([&](ServerAccessDialog* dialog) {
      shown = dialog->Access();
      dialog->reject();
    });
    next_start.findChild<QPushButton*>("cmdServerMore")->click();
    return shown;
  };
  const ServerAccess as_saved = next_start_shows(QStringLiteral("127.0.0.1"));
  EXPECT_EQ(as_saved.api, InfluxApi::kV1);
  auto* host = h.Child<QLineEdit>("txtipaddress");
  host->selectAll();
  QTest::keyClicks(host, QStringLiteral("edited.example"));
  QTest::keyClick(host, Qt::Key_Return);
  // What the "More…" dialog took is what it shows the next time.
  AnswerNextModal<ServerAccessDialog>([](ServerAccessDialog* dialog) {
    dialog->findChild<QComboBox*>("cmbApi")->setCurrentIndex(2);
    dialog->findChild<QCheckBox*>("chkTls")->setChecked(true);
    dialog->findChild<QLineEdit*>("txtSecretFile")->setText("token");
    dialog->findChild<QComboBox*>("cmbDelivery")->setCurrentIndex(1);
    dialog->findChild<QCheckBox*>("chkTagKind")->setChecked(true);
    dialog->accept();
  });
  QTest::mouseClick(h.Child<QPushButton>("cmdServerMore"), Qt::LeftButton);
  ServerAccess taken = as_saved;
  taken.api = InfluxApi::kV3;
  taken.tls = true;
  taken.secret_file = "token";
  taken.delivery.mode = DeliveryMode::kDirect;
  taken.tags.kind = true;
  EXPECT_EQ(next_start_shows(QStringLiteral("edited.example")), taken);
  AnswerFileDialog(path, &seen);
  QTest::mouseClick(h.Child<QToolButton>("cmdOpenConfig"), Qt::LeftButton);
  EXPECT_EQ(next_start_shows(QStringLiteral("127.0.0.1")).api, InfluxApi::kV1);

  // Cancelled dialogs change nothing.
  AnswerFileDialog(QString(), &seen);
  QTest::mouseClick(h.Child<QToolButton>("cmdOpenConfig"), Qt::LeftButton);
  EXPECT_EQ(h.model()->rows(), expected);
  AnswerFileDialog(QString(), &seen);
  QTest::mouseClick(h.Child<QToolButton>("cmdSaveConfig"), Qt::LeftButton);
  EXPECT_EQ(h.window->current_config_file(), path);

  // Saving over a file asks first; No keeps the file.
  const QString kept = h.folder.root() + QStringLiteral("kept.JSON");
  WriteFile(kept, "old");
  QString question;
  AnswerNextModal<QFileDialog>([&](QFileDialog* dialog) {
    AnswerNextModal<QMessageBox>([&, dialog](QMessageBox* box) {
      question = box->text();
      box->button(QMessageBox::No)->click();
      QTimer::singleShot(50, dialog, &QFileDialog::reject);
    });
    TypeFileName(dialog, kept);
  });
  QTest::mouseClick(h.Child<QToolButton>("cmdSaveConfig"), Qt::LeftButton);
  EXPECT_FALSE(question.isEmpty()) << "no overwrite prompt";
  EXPECT_EQ(ReadFile(kept), QByteArray("old"));

  // A file that is not JSON gives the message and changes nothing.
  WriteFile(kept, "hello");
  QString message;
  AnswerFileDialog(kept, &seen);
  AnswerNextModal<QMessageBox>([&](QMessageBox* box) {
    message = box->text();
    box->button(QMessageBox::Ok)->click();
  });
  QTest::mouseClick(h.Child<QToolButton>("cmdOpenConfig"), Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !message.isEmpty(); }, 5000));
  EXPECT_EQ(message, "Error: " + kept + " is not a valid JSON file");
  EXPECT_EQ(h.model()->rows(), expected);

  // One that ends early gives the rows before the fault, and the grid still works.
  WriteFile(kept, R"({"InfluxDB":{"Config":[{"ScanType":"Module","ModuleType":"0016",)"
                  R"("ModuleSerial":"123456"},{"ScanType":"Output_status","OutputId":3e9}]}})");
  h.window->LoadConfigFile(kept);
  ASSERT_EQ(h.model()->rowCount(), 2);
  EXPECT_TRUE(h.model()->IsSlot(1)) << "the grid still ends with the slot";
  EXPECT_TRUE(h.delete_button()->isVisible());
  h.AddRow(QStringLiteral("Module"));
  EXPECT_EQ(h.model()->rowCount(), 3);

  // A row the scan cannot read is named in red and carries a failed mark that says why.
  WriteFile(kept, R"({"InfluxDB":{"Config":[{"ScanType":"Output_status","OutputId":4711},)"
                  R"({"ScanType":"Module","ModuleType":"0016","ModuleSerial":"123456"}]}})");
  h.window->LoadConfigFile(kept);
  EXPECT_EQ(h.status()->text(),
            kept + ": the scan skips row 1: output 4711 is not in the installation");
  EXPECT_EQ(h.status()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(h.model()->headerData(0, Qt::Vertical, Qt::ToolTipRole),
            QStringLiteral("output 4711 is not in the installation"));
  EXPECT_FALSE(h.model()->headerData(1, Qt::Vertical, Qt::ToolTipRole).isValid());
}

}  // namespace
}  // namespace orva::test
