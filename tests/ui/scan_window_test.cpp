// The "Scan and Log" box against a real controller simulator and a real influxd: records
// arrive, the window shows it, and closes cleanly even while the link is waiting for the user.
// How responsive the window stays during a slow scan is measured in bench/window_bench.
#include "decimal_comma_locale.h"
#include "influxd_process.h"
#include "ktx_sim_process.h"
#include "ui/gui_prompter.h"
#include "ui/value_chart.h"
#include "window_harness.h"

#include <QAction>
#include <QChartView>
#include <QFileDialog>
#include <QJsonDocument>
#include <QLineSeries>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTableWidget>

namespace orva::test {
namespace {

using Col = ScanGridModel::Column;

const QString kDemoInstallation = QStringLiteral(ORVA_BIN_DIR "/demo-installation.orva");
const QString kDatabase = QStringLiteral("orva");

class ScanWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    influxd_ = new InfluxdProcess;
    QString error;
    ASSERT_TRUE(influxd_->Start(&error)) << error.toStdString();
    ASSERT_TRUE(influxd_->CreateDatabase(kDatabase));
  }
  void SetUp() override {
    ASSERT_TRUE(influxd_->running() || influxd_->Start());  // a test before may have stopped it
  }
  static void TearDownTestSuite() {
    delete influxd_;
    influxd_ = nullptr;
  }

  // A window on the demo installation whose server fields name the test's influxd, with a
  // multi-sensor row and an output row.
  std::unique_ptr<WindowHarness> StartWindow(const QStringList& sim_arguments = {}) {
    EXPECT_TRUE(sim_.Start(sim_arguments)) << sim_.error().toStdString();
    auto h = std::make_unique<WindowHarness>(QString(), sim_.address(), kDemoInstallation);
    h->Child<QLineEdit>("txtipaddress")->setText(influxd_->host());
    h->port()->setText(influxd_->port_text());
    h->Child<QLineEdit>("txtDBname")->setText(kDatabase);
    h->AddRow(QStringLiteral("Module"));
    h->Choose(1, Col::kItem, "cmbModule", QStringLiteral("160012 MS-5 multi-sensor Living room"));
    h->AddRow(QStringLiteral("Output_status"));
    h->Choose(2, Col::kItem, "cmbOutput", QStringLiteral("Living room (A12.0)"));
    return h;
  }

  static qsizetype PointCount(const QString& measurement) {
    return influxd_->Points(QStringLiteral("SELECT * FROM \"%1\"").arg(measurement), kDatabase)
        .size();
  }

  // The status line tells a tick without a failure (in words that agree with the count), not in
  // red, and the figures line, the one place for counts, that the sender got records to the
  // server.
  static bool RecordsSent(WindowHarness& h) {
    static const QRegularExpression kTick(
        QStringLiteral(": (1 row|([2-9]|[1-9][0-9]+) rows) read$"));
    static const QRegularExpression kSent(QStringLiteral(" · sent [1-9]"));
    return kTick.match(h.status()->text()).hasMatch() &&
           kSent.match(h.Child<QLabel>("labDelivery")->text()).hasMatch() &&
           h.status()->palette().color(QPalette::WindowText) ==
               h.window->palette().color(QPalette::ButtonText);
  }

  static InfluxdProcess* influxd_;
  KtxSimProcess sim_;
};

InfluxdProcess* ScanWindowTest::influxd_ = nullptr;

// What each row read, against a controller whose values stand still: the chosen row's fields in
// the user's locale while the records keep their point, a mark on every row with a failure's
// text as its tool tip, and a point in the chart for every tick.
TEST_F(ScanWindowTest, TheValuesViewShowsWhatEachRowReadAndChartsEveryTick) {
  const DecimalCommaLocale locale;
  ASSERT_TRUE(sim_.Start({QStringLiteral("--freeze-time")})) << sim_.error().toStdString();
  WindowHarness h(QString(), sim_.address(), kDemoInstallation);
  const QString path = h.folder.root() + QStringLiteral("values.JSON");
  // Ticks more than a second apart, as influxd stamps the points in whole seconds.
  WriteFile(path,
            QStringLiteral(R"({"InfluxDB":{"Host":"%1","Port":%2,"DBName":"orva",)"
                           R"("ScanTime":1.2,"Tags":["name","kind"],"Config":[)"
                           R"({"ScanType":"Module","ModuleType":"0016","ModuleSerial":"160012"},)"
                           R"({"ScanType":"Output_status","OutputId":1},)"
                           R"({"ScanType":"Module","ModuleType":"0016","ModuleSerial":"999999"},)"
                           R"({"ScanType":"KTX_memory","SRAM":12}]}})")
                .arg(influxd_->host(), influxd_->port_text())
                .toUtf8());
  h.window->LoadConfigFile(path);
  const qsizetype before = PointCount(QStringLiteral("160012"));
  QTest::mouseClick(h.scan_box(), Qt::LeftButton);
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return PointCount(QStringLiteral("160012")) >= before + 3; }, 20000));
  QTest::mouseClick(h.scan_box(), Qt::LeftButton);
  QTest::qWait(1500);  // the tick under way ends

  const auto* table = h.Child<QTableWidget>("tblValues");
  const auto mark = [&](int grid_row) {
    const QAbstractItemModel* model = h.grid()->model();
    const QIcon icon =
        model->headerData(grid_row - 1, Qt::Vertical, Qt::DecorationRole).value<QIcon>();
    return std::make_pair(
        icon.pixmap(10).toImage().pixelColor(5, 5),
        model->headerData(grid_row - 1, Qt::Vertical, Qt::ToolTipRole).toString());
  };
  const struct {
    int grid_row;
    QStringList fields;  // name, value in the locale, read time
    QString tags;
    QString error;  // of the mark; the values view's too, unless the row was not read
    bool read = true;
  } rows[] = {
      {1,
       {"temperature 22", "humidity 45,5", "light 300", "voc 450", "motion 0"},
       "Tags: kind=multi-sensor, name=Living room",
       {}},
      {2,
       {"Living_room_Settemp 21", "Living_room_Roomtemp 20,5", "Living_room_Program 1,5"},
       "Tags: kind=outputs",
       {}},
      {3, {}, {}, QStringLiteral("module \"999999\" is not in the installation"), false},
      {4, {}, {}, QStringLiteral("scan type \"KTX_memory\" is not one the scan can read"), false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.grid_row);
    h.ClickCell(row.grid_row, Col::kScanType);
    QStringList shown;
    for (int r = 0; r < table->rowCount(); ++r) {
      shown << table->item(r, 0)->text() + ' ' + table->item(r, 1)->text();
      EXPECT_TRUE(QTime::fromString(table->item(r, 2)->text(), "HH:mm:ss").isValid());
    }
    EXPECT_EQ(shown, row.fields);
    const auto [color, tool_tip] = mark(row.grid_row);
    EXPECT_EQ(color, row.error.isEmpty() ? QColor(0, 160, 0) : QColor(255, 0, 0));
    EXPECT_TRUE(tool_tip.endsWith(row.error.isEmpty() ? table->item(0, 2)->text() : row.error))
        << tool_tip.toStdString();
    EXPECT_EQ(h.Child<QLabel>("labValuesError")->text(), row.read ? row.error : QString());
    const auto* tags = h.Child<QLabel>("labValuesTags");
    EXPECT_EQ(tags->isHidden() ? QString() : tags->text(), row.tags);
  }
  EXPECT_EQ(
      influxd_->Points("SELECT humidity FROM \"160012\"", kDatabase).last()["humidity"].toDouble(),
      45.5)
      << "the record keeps its decimal point";
  // Two records a tick, the module's and the outputs', all sent.
  const QString sent = QStringLiteral("Read %1 · sent %1 · waiting 0 ·")
                           .arg((PointCount(QStringLiteral("160012")) - before) * 2);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return h.Child<QLabel>("labDelivery")->text().startsWith(sent); }, 5000))
      << h.Child<QLabel>("labDelivery")->text().toStdString();

  h.ClickCell(1, Col::kScanType);
  const auto* series =
      qobject_cast<QLineSeries*>(h.Child<QChartView>("chtValue")->chart()->series().constFirst());
  const qsizetype ticks = PointCount(QStringLiteral("160012")) - before;
  ASSERT_EQ(series->count(), ticks);
  for (const QPointF& point : series->points()) EXPECT_EQ(point.y(), 22) << "temperature";

  // A row made to read something else has read nothing yet, and its chart says so.
  h.Choose(1, Col::kScanType, "cmbScanType", QStringLiteral("Module_memory"));
  EXPECT_EQ(table->rowCount(), 0);
  EXPECT_EQ(mark(1).second, QString());
  EXPECT_TRUE(h.Child<QChartView>("chtValue")->chart()->title().endsWith(kNoValuesYet))
      << h.Child<QChartView>("chtValue")->chart()->title().toStdString();
}

// The echo question is a Yes/No box the scan waits for. A controller that goes away while
// scanning is a red status line and one notice that blocks nothing, in the language of the menu;
// once the controller is back it asks again, and as nobody answers while scanning the question
// answers itself No and says so; the scan goes on by itself, and the notice closes.
TEST_F(ScanWindowTest, TheEchoQuestionAndAnOutageWhileScanning) {
  auto h = StartWindow({QStringLiteral("--echo-error-version")});
  h->window->findChild<GuiPrompter*>()->set_question_timeout_ms(300);
  QString asked;
  bool offered_yes_and_no = false;
  AnswerNextModal<QMessageBox>([&](QMessageBox* box) {
    asked = box->text();
    offered_yes_and_no =
        box->button(QMessageBox::Yes) != nullptr && box->button(QMessageBox::No) != nullptr;
    box->button(QMessageBox::Yes)->click();
  });
  QTest::mouseClick(h->scan_box(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !asked.isEmpty(); }, 15000));
  EXPECT_TRUE(offered_yes_and_no);
  ASSERT_TRUE(QTest::qWaitFor([&] { return RecordsSent(*h); }, 15000))
      << h->status()->text().toStdString();

  sim_.Stop();
  const auto notices = [&] {
    qsizetype visible = 0;
    for (QMessageBox* box : h->window->findChildren<QMessageBox*>()) visible += box->isVisible();
    return visible;
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return notices() > 0; }, 20000));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(h->status()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  QTest::qWait(3000);  // more failed ticks, still one notice
  EXPECT_EQ(notices(), 1);
  EXPECT_TRUE(h->scan_box()->isChecked());
  // The menu marks the language the window started in. The notice speaks the language chosen
  // from the menu from the next tick on, and the choice is kept for the next start.
  const auto notice_says = [&](const char* text) {
    return QTest::qWaitFor(
        [&] {
          for (QMessageBox* box : h->window->findChildren<QMessageBox*>()) {
            if (box->isVisible() && box->text() == QLatin1String(text)) return true;
          }
          return false;
        },
        5000);
  };
  const QString started_in = h->state.settings->Settings().Text(u"laatstetaal").value_or("");
  EXPECT_TRUE(h->Child<QAction>(("mnuLanguage" + started_in).toLatin1().constData())->isChecked());
  for (const auto& [letter, text] : {std::pair{"N", "Geen TCP/IP verbinding met de KTX"},
                                     std::pair{"E", "No TCP/IP connection to the KTX"}}) {
    h->Child<QAction>((QByteArray("mnuLanguage") + letter).constData())->trigger();
    EXPECT_TRUE(notice_says(text)) << letter;
  }
  EXPECT_EQ(h->state.settings->Settings().Text(u"laatstetaal"), QStringLiteral("E"));

  const qsizetype before = PointCount(QStringLiteral("160012"));
  ASSERT_TRUE(sim_.Restart());
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return h->status()->text() ==
               QStringLiteral("No answer within 0.3 s: answered No to \"%1\"").arg(asked);
      },
      20000))
      << h->status()->text().toStdString();
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return PointCount(QStringLiteral("160012")) > before; }, 20000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return notices() == 0; }, 5000));
  QTest::mouseClick(h->scan_box(), Qt::LeftButton);
}

// Ticking scans into influxd with the grid locked and the row read highlighted; server fields
// retyped a key at a time while scanning take effect once the edit is done, so that every value
// read arrives and none goes to a half-typed port or database; unticking stops, and the highlight
// is back on the row the user chose, which is the one the delete button removes. A file opened
// through the dialog in the program folder, where the outbox lies, reaches the running scan; a
// look into the outbox with sqlite3 leaves the program its hold, and while the server is away
// the status line says so in red and the figures count in red what the file holds.
TEST_F(ScanWindowTest, TickingScansIntoInfluxdLocksTheGridAndUntickingStops) {
  auto h = StartWindow();
  QStringList captions;
  QObject::connect(h->window.get(), &QWidget::windowTitleChanged,
                   [&](const QString& title) { captions << title; });
  const qint64 reads_before = sim_.ModuleReads();
  const qsizetype modules_before = PointCount(QStringLiteral("160012"));
  h->ClickCell(1, Col::kItemType);
  const auto highlighted_rows = [&] {
    QList<int> rows;
    for (const QModelIndex& cell : h->grid()->selectionModel()->selectedIndexes()) {
      rows << cell.row() + 1;
    }
    return rows;
  };

  QTest::mouseClick(h->scan_box(), Qt::LeftButton);
  ASSERT_TRUE(h->scan_box()->isChecked());
  EXPECT_EQ(h->scan_box()->palette().color(h->scan_box()->backgroundRole()), QColor(128, 255, 128));
  EXPECT_FALSE(h->delete_button()->isEnabled());
  ASSERT_TRUE(QTest::qWaitFor([&] { return highlighted_rows() == QList<int>{2}; }, 15000))
      << "the scan shows the output row it reads";
  ASSERT_TRUE(QTest::qWaitFor([&] { return RecordsSent(*h); }, 15000))
      << h->status()->text().toStdString();
  // A click while scanning chooses the row whose values show, and the highlight stays with it.
  h->ClickCell(1, Col::kItemType);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return PointCount(QStringLiteral("160012")) > modules_before + 1; }, 15000));
  EXPECT_EQ(highlighted_rows(), QList<int>{1});
  EXPECT_TRUE(QTest::qWaitFor([&] { return PointCount(QStringLiteral("123456")) > 0; }, 5000))
      << "the outputs record";
  EXPECT_TRUE(captions.contains(WindowTitle() + " (TCP/IP via " + sim_.address() + ")"))
      << captions.join(" | ").toStdString();
  for (const auto& [field, text] : {std::pair{h->port(), influxd_->port_text()},
                                    std::pair{h->Child<QLineEdit>("txtDBname"), kDatabase}}) {
    field->setFocus();
    field->selectAll();  // the first key replaces the text
    for (const QChar character : text) {
      QTest::keyClicks(field, QString(character));
      QTest::qWait(600);  // longer than the sender waits for a batch to fill
    }
    QTest::keyClick(field, Qt::Key_Return);
  }

  QTest::mouseClick(h->scan_box(), Qt::LeftButton);
  EXPECT_FALSE(h->scan_box()->isChecked());
  EXPECT_EQ(h->scan_box()->palette().color(h->scan_box()->backgroundRole()),
            h->window->palette().color(QPalette::Button));
  EXPECT_TRUE(h->delete_button()->isEnabled());
  // A tick under way finishes its row, and the sender its last batch within a second; after
  // that nothing more arrives, and its rows do not take the highlight again.
  QTest::qWait(2500);
  const QLabel* figures = h->Child<QLabel>("labDelivery");
  ASSERT_TRUE(QTest::qWaitFor([&] { return figures->text().contains(" · waiting 0 ·"); }, 10000))
      << figures->text().toStdString();
  const qsizetype stopped_at = PointCount(QStringLiteral("160012"));
  EXPECT_EQ(stopped_at - modules_before, sim_.ModuleReads() - reads_before);
  const QString databases =
      QString::fromUtf8(QJsonDocument(influxd_->Query(QStringLiteral("SHOW DATABASES"))).toJson());
  for (const char* half : {"\"o\"", "\"or\"", "\"orv\""}) {
    EXPECT_FALSE(databases.contains(QLatin1String(half))) << databases.toStdString();
  }
  QTest::qWait(1500);
  EXPECT_EQ(PointCount(QStringLiteral("160012")), stopped_at);
  EXPECT_EQ(highlighted_rows(), QList<int>{1});
  EXPECT_EQ(h->grid()->currentIndex(), h->model()->index(0, Col::kItemType));
  ASSERT_TRUE(h->delete_button()->isVisible());
  QTest::mouseClick(h->delete_button(), Qt::LeftButton);
  ASSERT_EQ(h->model()->rowCount(), 2);
  EXPECT_EQ(h->Cell(1, Col::kScanType), QStringLiteral("Output_status"));
  h->ClickCell(1, Col::kScanType);
  EXPECT_NE(h->OpenEditor("cmbScanType"), nullptr) << "the grid is open again";
  h->ClickHeader(Col::kItemType);

  QTest::mouseClick(h->scan_box(), Qt::LeftButton);
  h->ClickCell(1, Col::kScanType);
  EXPECT_FALSE(h->AnyEditorOpen()) << "the grid is locked while scanning";
  QTest::keyClick(h->grid(), Qt::Key_F2);
  EXPECT_FALSE(h->AnyEditorOpen()) << "for the keyboard as well";
  const QString path = h->folder.File(QStringLiteral("weather.JSON"));
  WriteFile(path, QStringLiteral(R"({"InfluxDB":{"Host":"%1","Port":%2,"DBName":"orva",)"
                                 R"("ScanTime":0.5,"Config":[{"ScanType":"Module",)"
                                 R"("ModuleType":"0001","ModuleSerial":"0A1234"}]}})")
                      .arg(influxd_->host(), influxd_->port_text())
                      .toUtf8());
  AnswerNextModal<QFileDialog>([&](QFileDialog* dialog) {
    dialog->setDirectory(h->folder.program_dir());
    QTest::qWait(1500);  // the dialog lists the folder
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
    QMetaObject::invokeMethod(dialog, "accept");
  });
  QTest::mouseClick(h->Child<QToolButton>("cmdOpenConfig"), Qt::LeftButton);
  EXPECT_EQ(h->window->current_config_file(), path);
  EXPECT_TRUE(h->scan_box()->isChecked()) << "a load does not stop the scan";
  EXPECT_TRUE(QTest::qWaitFor([&] { return PointCount(QStringLiteral("0A1234")) > 0; }, 15000));
  QProcess look;
  const QStringList count = {h->folder.File(QStringLiteral("Outbox.orva")),
                             "SELECT COUNT(*) FROM Records"};
  look.start(QStringLiteral("sqlite3"), count);
  ASSERT_TRUE(look.waitForFinished(10000));
  influxd_->Stop();
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return h->status()->text().contains(QStringLiteral(" waiting since ")) &&
               h->status()->palette().color(QPalette::WindowText) == QColor(255, 0, 0);
      },
      5000))
      << h->status()->text().toStdString();
  QTest::mouseClick(h->scan_box(), Qt::LeftButton);
  QTest::qWait(1500);  // the tick under way ends, and the figures follow
  const QRegularExpressionMatch waiting =
      QRegularExpression(QStringLiteral(" · waiting ([0-9,.]+) ·")).match(figures->text());
  EXPECT_EQ(figures->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  ASSERT_TRUE(waiting.hasMatch()) << figures->text().toStdString();
  look.start(QStringLiteral("sqlite3"), count);
  ASSERT_TRUE(look.waitForFinished(10000));
  EXPECT_EQ(look.readAllStandardOutput().trimmed(),
            waiting.captured(1).remove(QRegularExpression(QStringLiteral("[,.]"))).toLatin1());
}

}  // namespace
}  // namespace orva::test
