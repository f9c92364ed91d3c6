// The scan thread against the controller simulator over TCP and a real influxd: how unticking,
// a server that goes away, a wrong database and a refused login are handled.
#include <gtest/gtest.h>

#include <QJsonObject>
#include <QTest>
#include <atomic>

#include "influxd_process.h"
#include "ktx_sim_process.h"
#include "link_harness.h"
#include "scan/comm_log_retention.h"
#include "scan/scan_worker.h"
#include "scan_scene.h"
#include "store/sqlite_db.h"
#include "temp_dir.h"

namespace orva {
namespace {

const ScanRow kMultiSensor = test::ModuleRow("160012", "0016");
const ScanRow kWeather = test::ModuleRow("0A1234", "0001");
const ScanRow kMotion = test::ModuleRow("C40101", "MD motion detector");
const QString kSent = QStringLiteral("InfluxDB data sent");
const std::string kMultiFields = "humidity=45 light=300 motion=1 temperature=22 voc=450";
const std::string kWeatherFields =
    "daylight=300 light_east=12 light_south=40 light_west=0 rain=0 temperature=21.5 twilight=0 "
    "wind=3.2";

class ScanWorkerTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    influxd_ = new test::InfluxdProcess;
    QString error;
    if (!influxd_->Start(&error)) FAIL() << error.toStdString();
  }
  static void TearDownTestSuite() {
    delete influxd_;
    influxd_ = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(influxd_->running());
    database_ = QStringLiteral("scan_%1").arg(++database_count_);
    ASSERT_TRUE(influxd_->CreateDatabase(database_));
    model_path_ = test::WriteScanScene(folder_);
  }

  void StartSim(const QStringList& extra = {}) {
    ASSERT_TRUE(sim_.Start(QStringList{"--model", model_path_, "--freeze-time"} + extra))
        << sim_.error().toStdString();
  }

  // The worker; what it tells the window reaches the test's thread queued. Statuses are shown in
  // red exactly when no data was sent.
  ScanWorker& Worker() {
    if (worker_) return *worker_;
    ScanWorkerSetup setup;
    setup.paths = MakeAppPaths(folder_.program_dir());
    setup.language_letter = "E";
    setup.controller_address = sim_.address();
    worker_ = std::make_unique<ScanWorker>(setup, prompter_);
    QObject::connect(worker_.get(), &ScanWorker::Status, &receiver_,
                     [this](const QString& text, bool red) {
                       statuses_ << text;
                       EXPECT_EQ(red, text != kSent) << text.toStdString();
                     });
    QObject::connect(worker_.get(), &ScanWorker::RowActive, &receiver_,
                     [this](int row) { rows_ << row; });
    QObject::connect(worker_.get(), &ScanWorker::TickFinished, &receiver_, [this] { ++ticks_; });
    QObject::connect(worker_.get(), &ScanWorker::CannotScan, &receiver_,
                     [this] { ++cannot_scan_; });
    return *worker_;
  }

  // Direct delivery: these tests follow each post as the tick makes it.
  InfluxServer Server(const QString& database = {}) const {
    InfluxServer server{influxd_->host(), influxd_->port_text(),
                        database.isEmpty() ? database_ : database};
    server.access.delivery.mode = DeliveryMode::kDirect;
    server.access.create_database = false;  // a wrong database stays wrong
    return server;
  }

  bool WaitFor(std::function<bool()> done) { return QTest::qWaitFor(done, 10000); }
  bool WaitForTicks(int ticks) {
    return WaitFor([&] { return ticks_ >= ticks; });
  }

  // Every field of a measurement with its latest value, by key; points of one second may merge.
  std::string Fields(const QString& measurement) {
    QMap<QString, QString> fields;
    const QString query = QStringLiteral("SELECT * FROM \"%1\"").arg(measurement);
    for (const QJsonObject& point : influxd_->Points(query, database_)) {
      for (auto it = point.begin(); it != point.end(); ++it) {
        if (it.key() != "time" && !it.value().isNull())
          fields[it.key()] = QString::number(it.value().toDouble(), 'g', 10);
      }
    }
    QStringList text;
    for (auto it = fields.begin(); it != fields.end(); ++it) text << it.key() + '=' + it.value();
    return text.join(' ').toStdString();
  }

  static test::InfluxdProcess* influxd_;
  static int database_count_;
  test::ProgramFolder folder_;
  test::KtxSimProcess sim_;
  QString model_path_;
  QString database_;
  test::ScriptedPrompter prompter_;
  QObject receiver_;
  QStringList statuses_;
  QList<int> rows_;
  int ticks_ = 0;
  int cannot_scan_ = 0;
  std::unique_ptr<ScanWorker> worker_;
};

test::InfluxdProcess* ScanWorkerTest::influxd_ = nullptr;
int ScanWorkerTest::database_count_ = 0;

class ScanWorkerStopTest : public ScanWorkerTest, public testing::WithParamInterface<bool> {};

// Unticking (Stop) or closing the window (Shutdown) while the link waits for a slow controller:
// the row finishes, the outputs read so far are posted, and nothing is scanned after it.
TEST_P(ScanWorkerStopTest, DuringALongAnswerTheRowFinishesAndNothingIsScannedAfterIt) {
  const bool shutdown = GetParam();
  StartSim({QStringLiteral("--latency"), QStringLiteral("300")});
  bool stopped = false;
  QObject::connect(&Worker(), &ScanWorker::RowActive, &receiver_, [&](int row) {
    if (row != 2 || stopped) return;
    stopped = true;
    shutdown ? Worker().Shutdown() : Worker().Stop();
  });
  ASSERT_TRUE(Worker().Start(10, {test::OutputRow(2), kMultiSensor, kWeather, kMotion}, Server()));
  if (shutdown) {
    ASSERT_TRUE(WaitFor([&] { return stopped; }));
    EXPECT_FALSE(Worker().Start(10, {kWeather}, Server())) << "a shut-down worker stays down";
  } else {
    ASSERT_TRUE(WaitForTicks(1));
  }
  EXPECT_FALSE(Worker().scanning());
  QTest::qWait(200);
  if (!shutdown) {
    EXPECT_EQ(ticks_, 1) << "no further tick once unticked";
  }
  EXPECT_EQ(rows_, QList<int>({1, 2}));
  EXPECT_EQ(Fields("160012"), kMultiFields);
  EXPECT_EQ(Fields("123456"), "Hall,_east=64");
  EXPECT_EQ(Fields("0A1234") + Fields("C40101"), "");
  if (shutdown) return;
  // Unticked between two ticks: the tick already due is called off as well.
  ASSERT_TRUE(Worker().Start(300, {kWeather}, Server()));
  ASSERT_TRUE(WaitForTicks(2));
  Worker().Stop();
  QTest::qWait(600);
  EXPECT_EQ(ticks_, 2);
}
INSTANTIATE_TEST_SUITE_P(UntickOrShutdown, ScanWorkerStopTest, testing::Bool());

// The user's path with the server: away, then back with a wrong database, then mended. Away,
// each tick ends at the post of its first row; a wrong database rejects each record and the tick
// goes on with the next row; rows and server swapped in after a tick reach the next one.
TEST_F(ScanWorkerTest, ServerAwayThenWrongDatabaseThenMendedScanningGoesOn) {
  StartSim();
  influxd_->Stop();
  ScanWorker& worker = Worker();
  // Swapped in by the scan thread right after the first tick the wrong database rejected.
  std::atomic<bool> rejected = false, swapped = false;
  QObject::connect(
      &worker, &ScanWorker::Status, &worker,
      [&](const QString& text) { rejected = rejected || text.contains("database not found"); },
      Qt::DirectConnection);
  QObject::connect(
      &worker, &ScanWorker::TickFinished, &worker,
      [&] {
        if (!rejected || swapped) return;
        swapped = true;
        worker.UpdateRows({test::OutputRow(2), kMultiSensor});
        worker.UpdateServer(Server());
      },
      Qt::DirectConnection);
  ASSERT_TRUE(worker.Start(20, {kMultiSensor, kWeather}, Server("no_such_db")));
  ASSERT_TRUE(WaitForTicks(2));
  EXPECT_EQ(rows_.mid(0, 2), QList<int>({1, 1}));
  EXPECT_FALSE(statuses_.filter("InfluxDB server error").isEmpty());
  EXPECT_FALSE(statuses_.contains(kSent));
  EXPECT_TRUE(worker.scanning());

  QString error;
  ASSERT_TRUE(influxd_->Start(&error)) << error.toStdString();
  ASSERT_TRUE(WaitFor([&] { return statuses_.contains(kSent); }));
  ASSERT_TRUE(WaitForTicks(ticks_ + 1));
  worker.Shutdown();
  const qsizetype sent = statuses_.indexOf(kSent);
  ASSERT_GE(sent, 2);
  for (const QString& status : statuses_.mid(sent - 2, 2)) {
    EXPECT_TRUE(status.startsWith("InfluxDB server error 404")) << status.toStdString();
    EXPECT_TRUE(status.contains("database not found")) << status.toStdString();
  }
  EXPECT_EQ(Fields("160012"), kMultiFields);
  EXPECT_EQ(Fields("123456"), "Hall,_east=64");
  EXPECT_EQ(Fields("0A1234"), "");
}

// A wrong password is refused alike for every row: one login per tick, and the tick says why
// once.
TEST_F(ScanWorkerTest, RefusedLoginEndsTheTickAfterOneAttempt) {
  StartSim({"--password", "secret"});
  ASSERT_TRUE(Worker().Start(20, test::SceneRows(), Server()));
  ASSERT_TRUE(WaitForTicks(2));
  Worker().Shutdown();
  QCoreApplication::sendPostedEvents();

  EXPECT_EQ(sim_.Logins(), ticks_);
  const QString ended = QStringLiteral("KTX refuses the login: the next tick logs in again");
  EXPECT_EQ(statuses_.join('\n').toStdString(),
            QStringList(ticks_, ended).join('\n').toStdString());
  EXPECT_EQ(prompter_.messages.size(), static_cast<size_t>(ticks_));
}

// Rows older than the days asked for go after a tick, in as many batches as it takes; newer rows
// stay, and so do all rows with 0 days.
TEST_F(ScanWorkerTest, CommLogKeepsTheDaysAskedFor) {
  StartSim();
  SqliteDb log = SqliteDb::OpenExisting(folder_.File("CommLog.orva"));
  const auto rows_stamped = [&log](const QString& comparison, const QDateTime& time) {
    return log
        .QueryFirst("SELECT count(*) AS n FROM CommLog WHERE TimeStamp " + comparison + " ?1",
                    {time.toString(Qt::ISODateWithMs)})
        ->Integer(u"n")
        .value_or(-1);
  };
  const QDateTime now = QDateTime::currentDateTime();
  const QDateTime old = now.addDays(-2), recent = now.addSecs(-12 * 3600);
  const qint64 old_rows = 2 * CommLogRetention::kBatchRows + 1;
  for (const double days : {0.0, 1.0}) {
    SCOPED_TRACE(days);
    log.Exec("DELETE FROM CommLog");
    log.Execute(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?1) "
        "INSERT INTO CommLog (TimeStamp, Soort, Data) SELECT ?2, 'TX', x'2A' FROM n",
        {old_rows, old.toString(Qt::ISODateWithMs)});
    log.Execute("INSERT INTO CommLog (TimeStamp, Soort, Data) VALUES (?1, 'rx', x'23')",
                {recent.toString(Qt::ISODateWithMs)});
    worker_.reset();
    QCoreApplication::sendPostedEvents();
    ticks_ = 0;
    Worker().UpdateCommLogDays(days);
    ASSERT_TRUE(Worker().Start(20, {kMultiSensor}, Server()));
    ASSERT_TRUE(WaitForTicks(2));
    if (days > 0) {
      ASSERT_TRUE(WaitFor([&] { return rows_stamped("<", recent) == 0; }));
    }
    Worker().Shutdown();
    EXPECT_EQ(rows_stamped("<", recent), days > 0 ? 0 : old_rows);
    EXPECT_EQ(rows_stamped("=", recent), 1);
    EXPECT_GE(rows_stamped(">", now), 4);
  }
}

// No scan time, or databases that cannot be opened: no scanning, and a red reason; the
// shortest scan time is taken.
TEST_F(ScanWorkerTest, ScanningThatCannotStartSaysWhy) {
  EXPECT_FALSE(Worker().Start(0, {kMultiSensor}, Server()));
  EXPECT_FALSE(Worker().scanning());
  ASSERT_EQ(statuses_.size(), 1);
  EXPECT_TRUE(statuses_[0].startsWith("Scan time of 0 ms")) << statuses_[0].toStdString();

  QFile::remove(folder_.working_copy());
  ASSERT_TRUE(Worker().Start(20, {kMultiSensor}, Server()));
  ASSERT_TRUE(WaitFor([&] { return statuses_.size() > 1; }));
  EXPECT_TRUE(statuses_[1].startsWith("Err: ")) << statuses_[1].toStdString();
  EXPECT_EQ(cannot_scan_, 1);
  EXPECT_FALSE(Worker().scanning());
  EXPECT_EQ(ticks_, 0);
  EXPECT_TRUE(Worker().Start(1, {kMultiSensor}, Server())) << "1 ms is a scan time";
}

}  // namespace
}  // namespace orva
