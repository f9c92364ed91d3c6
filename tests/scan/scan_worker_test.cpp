// The scan thread against the controller simulator over TCP and a real influxd: what arrives in
// the database, and how unticking, a server that goes away and a wrong database are handled.
#include <gtest/gtest.h>

#include <QJsonObject>
#include <QMutex>
#include <QTest>

#include "influxd_process.h"
#include "ktx_sim_process.h"
#include "link/prompter.h"
#include "scan/scan_worker.h"
#include "scan_scene.h"
#include "temp_dir.h"

namespace orva {
namespace {

const ScanRow kMultiSensor = test::ModuleRow("160012", "0016");
const ScanRow kWeather = test::ModuleRow("0A1234", "0001");
const ScanRow kMotion = test::ModuleRow("C40101", "MD motion detector");

class NoPrompter : public Prompter {
 public:
  void ShowMessage(const QString& title, const QString& text) override {
    QMutexLocker lock(&mutex_);
    messages_ << title + QStringLiteral(": ") + text;
  }
  bool AskYesNo(const QString& text) override {
    ShowMessage(QStringLiteral("question"), text);
    return false;
  }
  QStringList messages() const {
    QMutexLocker lock(&mutex_);
    return messages_;
  }

 private:
  mutable QMutex mutex_;
  QStringList messages_;
};

struct Status {
  QString text;
  bool red;
};

// What the worker told the window; signals reach it queued, in the test's thread.
struct Seen {
  std::vector<Status> statuses;
  QList<int> rows;
  QStringList captions;
  int ticks = 0;

  bool AnyStatus(const QString& text, bool red) const {
    for (const Status& status : statuses) {
      if (status.text.contains(text) && status.red == red) return true;
    }
    return false;
  }
};

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
    ASSERT_TRUE(sim_.Start(
        QStringList{QStringLiteral("--model"), model_path_, QStringLiteral("--freeze-time")} +
        extra))
        << sim_.error().toStdString();
  }

  // The worker, its signals recorded in `seen_`.
  ScanWorker& Worker() {
    if (!worker_) {
      ScanWorkerSetup setup;
      setup.paths = MakeAppPaths(folder_.program_dir());
      setup.language_letter = QStringLiteral("E");
      setup.controller_address = sim_.address();
      worker_ = std::make_unique<ScanWorker>(setup, prompter_);
      QObject::connect(worker_.get(), &ScanWorker::Status, &receiver_,
                       [this](const QString& text, bool red) {
                         seen_.statuses.push_back({text, red});
                       });
      QObject::connect(worker_.get(), &ScanWorker::RowActive, &receiver_,
                       [this](int row) { seen_.rows << row; });
      QObject::connect(worker_.get(), &ScanWorker::Caption, &receiver_,
                       [this](const QString& caption) { seen_.captions << caption; });
      QObject::connect(worker_.get(), &ScanWorker::TickFinished, &receiver_,
                       [this] { ++seen_.ticks; });
    }
    return *worker_;
  }

  InfluxServer Server(const QString& database = {}) const {
    return {influxd_->host(), influxd_->port_text(), database.isEmpty() ? database_ : database};
  }

  bool WaitForTicks(int ticks, int timeout_ms = 10000) {
    return QTest::qWaitFor([&] { return seen_.ticks >= ticks; }, timeout_ms);
  }

  // Every field of a measurement with its latest value; points of one second may be merged.
  QVariantMap Fields(const QString& measurement) {
    QVariantMap fields;
    const QString query = QStringLiteral("SELECT * FROM \"%1\"").arg(measurement);
    for (const QJsonObject& point : influxd_->Points(query, database_)) {
      for (auto it = point.begin(); it != point.end(); ++it) {
        if (it.key() != QLatin1String("time") && !it.value().isNull())
          fields[it.key()] = it.value().toDouble();
      }
    }
    return fields;
  }

  static test::InfluxdProcess* influxd_;
  static int database_count_;
  test::ProgramFolder folder_;
  test::KtxSimProcess sim_;
  QString model_path_;
  QString database_;
  NoPrompter prompter_;
  QObject receiver_;
  Seen seen_;
  std::unique_ptr<ScanWorker> worker_;
};

test::InfluxdProcess* ScanWorkerTest::influxd_ = nullptr;
int ScanWorkerTest::database_count_ = 0;

QVariantMap Values(std::initializer_list<std::pair<const char*, double>> values) {
  QVariantMap map;
  for (const auto& [key, value] : values) map[QString::fromUtf8(key)] = value;
  return map;
}

}  // namespace
}  // namespace orva

// Readable maps in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QVariantMap& map, std::ostream* os) {
  *os << "{";
  for (auto it = map.begin(); it != map.end(); ++it)
    *os << " " << it.key().toStdString() << "=" << it.value().toString().toStdString();
  *os << " }";
}
QT_END_NAMESPACE

namespace orva {
namespace {

TEST_F(ScanWorkerTest, EveryRowKindArrivesWithTheValuesTheControllerHolds) {
  StartSim();
  ASSERT_TRUE(Worker().Start(20, test::SceneRows(), Server()));
  ASSERT_TRUE(WaitForTicks(1));
  Worker().Shutdown();
  EXPECT_FALSE(Worker().scanning());

  EXPECT_EQ(
      Fields("160012"),
      Values({{"temperature", 22}, {"humidity", 45}, {"light", 300}, {"voc", 450}, {"motion", 1}}));
  EXPECT_EQ(Fields("0A1234"), Values({{"temperature", 21.5},
                                      {"daylight", 300},
                                      {"wind", 3.2},
                                      {"light_east", 12},
                                      {"light_west", 0},
                                      {"light_south", 40},
                                      {"twilight", 0},
                                      {"rain", 0}}));
  const QVariantMap meter = Fields("175310");
  EXPECT_EQ(meter.size(), 23);
  EXPECT_EQ(meter.value("Consumption_Total"), 16777220.0);
  EXPECT_EQ(meter.value("Voltage_L1"), 231.9);
  EXPECT_EQ(meter.value("Current_Gas"), 0.35);
  EXPECT_EQ(meter.value("Gas_Total"), 0.0);
  EXPECT_EQ(Fields("C40101"), Values({{"motion", 1}}));
  EXPECT_EQ(Fields("B1C2D3"), Values({{"SRAM100", 37}, {"SRAM47", 300}, {"SRAM104", 100000}}));
  EXPECT_EQ(Fields("123456"), Values({{"Water", 500},
                                      {"Hall,_east", 64},
                                      {"Living_room_Settemp", 21},
                                      {"Living_room_Roomtemp", 20.5},
                                      {"Living_room_Program", 1.5}}));

  EXPECT_EQ(seen_.rows.mid(0, 10), QList<int>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  ASSERT_GE(seen_.statuses.size(), 8u);
  for (const Status& status : seen_.statuses) {
    EXPECT_EQ(status.text, "InfluxDB data sent");
    EXPECT_FALSE(status.red);
  }
  ASSERT_FALSE(seen_.captions.isEmpty());
  EXPECT_TRUE(seen_.captions.last().endsWith(QStringLiteral("(TCP/IP via %1)").arg(sim_.address())))
      << seen_.captions.last().toStdString();
  EXPECT_TRUE(prompter_.messages().isEmpty()) << prompter_.messages().join('\n').toStdString();
}

class ScanWorkerStopTest : public ScanWorkerTest, public testing::WithParamInterface<bool> {};

// Unticking (Stop) or closing the window (Shutdown) while the link waits for a slow controller.
TEST_P(ScanWorkerStopTest, DuringALongAnswerTheRowFinishesAndNothingIsScannedAfterIt) {
  const bool shutdown = GetParam();
  StartSim({QStringLiteral("--latency"), QStringLiteral("300")});
  bool stopped = false;
  QObject::connect(&Worker(), &ScanWorker::RowActive, &receiver_, [&](int row) {
    if (row != 1 || stopped) return;
    stopped = true;
    shutdown ? Worker().Shutdown() : Worker().Stop();
  });
  ASSERT_TRUE(Worker().Start(10, {kMultiSensor, kWeather, kMotion}, Server()));
  if (shutdown) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return stopped; }, 10000));
    EXPECT_FALSE(Worker().Start(10, {kWeather}, Server())) << "a shut-down worker stays down";
  } else {
    ASSERT_TRUE(WaitForTicks(1));
  }
  EXPECT_FALSE(Worker().scanning());
  QTest::qWait(200);
  if (!shutdown) {
    EXPECT_EQ(seen_.ticks, 1) << "no further tick once unticked";
  }
  EXPECT_EQ(seen_.rows, QList<int>({1}));
  EXPECT_EQ(Fields("160012").value("temperature"), 22.0);
  EXPECT_TRUE(Fields("0A1234").isEmpty());
  EXPECT_TRUE(Fields("C40101").isEmpty());
}
INSTANTIATE_TEST_SUITE_P(UntickOrShutdown, ScanWorkerStopTest, testing::Bool());

TEST_F(ScanWorkerTest, OutputsReadArePostedAndEveryFailureIsShownInRed) {
  StartSim();
  // Output 4 is unknown to the controller; the Attic module does not answer.
  const QList<ScanRow> rows = {test::OutputRow(4), test::OutputRow(2),
                               test::MemoryRow("654321", "100", "Byte")};
  ASSERT_TRUE(Worker().Start(50, rows, Server()));
  ASSERT_TRUE(WaitForTicks(1));
  Worker().Shutdown();

  EXPECT_EQ(Fields("123456"), Values({{"Hall,_east", 64}}));
  EXPECT_TRUE(seen_.AnyStatus("Invalid address (Err112)", true));
  EXPECT_TRUE(seen_.AnyStatus("InfluxDB data sent", false));
  ASSERT_FALSE(seen_.statuses.empty());
  EXPECT_EQ(seen_.statuses.back().text, "Module 654321: Attic not found (Err255)");
  EXPECT_TRUE(seen_.statuses.back().red);
}

TEST_F(ScanWorkerTest, ServerThatGoesAwayEndsTheTickAndScanningGoesOn) {
  StartSim();
  influxd_->Stop();
  ASSERT_TRUE(Worker().Start(20, {kMultiSensor, kWeather}, Server()));
  ASSERT_TRUE(WaitForTicks(2));
  // Each tick ended at the failed post of its first row.
  EXPECT_EQ(seen_.rows.mid(0, 2), QList<int>({1, 1}));
  EXPECT_TRUE(seen_.AnyStatus("InfluxDB server error", true));
  EXPECT_FALSE(seen_.AnyStatus("InfluxDB data sent", false));
  EXPECT_TRUE(Worker().scanning());

  QString error;
  ASSERT_TRUE(influxd_->Start(&error)) << error.toStdString();
  ASSERT_TRUE(QTest::qWaitFor([&] { return seen_.AnyStatus("InfluxDB data sent", false); }, 10000));
  const int ticks = seen_.ticks;
  ASSERT_TRUE(WaitForTicks(ticks + 1));
  Worker().Shutdown();
  EXPECT_EQ(Fields("160012").value("temperature"), 22.0);
  EXPECT_EQ(Fields("0A1234").value("temperature"), 21.5);
}

TEST_F(ScanWorkerTest, WrongDatabaseGoesOnWithTheNextRowAndUpdatesReachTheNextTick) {
  StartSim();
  // Swapped in by the scan thread right after the first tick, before the timer can fire again.
  ScanWorker& worker = Worker();
  bool swapped = false;
  QObject::connect(
      &worker, &ScanWorker::TickFinished, &worker,
      [&] {
        if (swapped) return;
        swapped = true;
        worker.UpdateRows({kMotion});
        worker.UpdateServer(Server());
      },
      Qt::DirectConnection);
  ASSERT_TRUE(worker.Start(100, {kMultiSensor, kWeather}, Server(QStringLiteral("no_such_db"))));
  ASSERT_TRUE(WaitForTicks(2));
  worker.Shutdown();

  EXPECT_EQ(seen_.rows.mid(0, 3), QList<int>({1, 2, 1}));
  ASSERT_GE(seen_.statuses.size(), 3u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(seen_.statuses[i].red);
    EXPECT_TRUE(seen_.statuses[i].text.startsWith("InfluxDB server error 404"))
        << seen_.statuses[i].text.toStdString();
    EXPECT_TRUE(seen_.statuses[i].text.contains("database not found"))
        << seen_.statuses[i].text.toStdString();
  }
  EXPECT_EQ(seen_.statuses[2].text, "InfluxDB data sent");
  EXPECT_EQ(Fields("C40101"), Values({{"motion", 1}}));
  EXPECT_TRUE(Fields("160012").isEmpty());
}

TEST_F(ScanWorkerTest, NoScanTimeNoScanning) {
  EXPECT_FALSE(Worker().Start(0, {kMultiSensor}, Server()));
  EXPECT_FALSE(Worker().scanning());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !seen_.statuses.empty(); }, 2000));
  EXPECT_TRUE(seen_.statuses[0].red);
}

TEST_F(ScanWorkerTest, DatabasesThatCannotBeOpenedAreReportedWhenScanningStarts) {
  QFile::remove(folder_.working_copy());
  ASSERT_TRUE(Worker().Start(20, {kMultiSensor}, Server()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !seen_.statuses.empty(); }, 5000));
  EXPECT_TRUE(seen_.statuses[0].red);
  EXPECT_TRUE(seen_.statuses[0].text.startsWith("Err: ")) << seen_.statuses[0].text.toStdString();
  EXPECT_FALSE(Worker().scanning());
  EXPECT_EQ(seen_.ticks, 0);
}

}  // namespace
}  // namespace orva
