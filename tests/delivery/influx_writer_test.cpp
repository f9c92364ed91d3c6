// The writer against a real InfluxDB 1.x server on a loopback port.
#include "delivery/influx_writer.h"

#include <gtest/gtest.h>

#include <QThread>

#include "influxd_process.h"
#include "scan/line_protocol.h"

namespace orva {
namespace {

const QString kDatabase = QStringLiteral("orva_test");

class InfluxWriterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    influxd_ = new test::InfluxdProcess;
    QString error;
    if (!influxd_->Start(&error)) {
      start_error_ = error;
      return;
    }
    if (!influxd_->CreateDatabase(kDatabase))
      start_error_ = QStringLiteral("CREATE DATABASE failed");
  }
  static void TearDownTestSuite() {
    delete influxd_;
    influxd_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(start_error_.isEmpty()) << start_error_.toStdString(); }

  static InfluxServer Server(const QString& database = kDatabase) {
    return {influxd_->host(), influxd_->port_text(), database, {}, {}};
  }
  static QList<QJsonObject> PointsOf(const QString& measurement) {
    return influxd_->Points(QStringLiteral("SELECT * FROM \"%1\"").arg(measurement), kDatabase);
  }

  static test::InfluxdProcess* influxd_;
  static QString start_error_;
};

test::InfluxdProcess* InfluxWriterTest::influxd_ = nullptr;
QString InfluxWriterTest::start_error_;

// Records carry no time stamp; the server stamps them to the millisecond, so posts of one series
// within a second stay apart as long as they are a few milliseconds apart.
TEST_F(InfluxWriterTest, PostsOfOneSeriesWithinASecondAllRemain) {
  InfluxWriter writer;
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(writer.PostRecord(Server(), QStringLiteral("same v=%1").arg(i)).outcome,
              PostOutcome::kSent);
    QThread::msleep(5);
  }
  const QList<QJsonObject> points = PointsOf("same");
  ASSERT_EQ(points.size(), 5);
  EXPECT_EQ(points.back().value("v").toDouble(), 4);
}

TEST_F(InfluxWriterTest, PostedRecordArrives) {
  InfluxWriter writer;
  const PostResult result =
      writer.PostRecord(Server(), "arrives temperature=22,humidity=45.5,light=300");
  EXPECT_EQ(result.outcome, PostOutcome::kSent);
  EXPECT_EQ(result.status_text, "InfluxDB data sent");
  EXPECT_FALSE(result.red);
  EXPECT_EQ(result.http_status, 204);
  const QList<QJsonObject> points = PointsOf("arrives");
  ASSERT_EQ(points.size(), 1);
  EXPECT_EQ(points[0].value("temperature").toDouble(), 22);
  EXPECT_EQ(points[0].value("humidity").toDouble(), 45.5);
  EXPECT_EQ(points[0].value("light").toDouble(), 300);
}

TEST_F(InfluxWriterTest, OddNamesArriveAsWritten) {
  // Output names keep commas, equals signs and letters beyond ASCII; measurements may hold a
  // blank or a comma.
  const FieldList fields = {{"Kitchen,North_Settemp", "21"},
                            {"a=b", "1"},
                            {QString::fromUtf8("Küche_Süd"), "2"},
                            {"x\"y", "3"}};
  InfluxWriter writer;
  const QString measurements[] = {"odd 1,2", "odd=3"};
  for (const QString& measurement : measurements) {
    const PostResult result = writer.PostRecord(Server(), RecordText(measurement, fields));
    ASSERT_EQ(result.outcome, PostOutcome::kSent) << result.status_text.toStdString();
    const QList<QJsonObject> points = PointsOf(measurement);
    ASSERT_EQ(points.size(), 1) << measurement.toStdString();
    for (const Field& field : fields) {
      EXPECT_EQ(points[0].value(field.key).toDouble(), field.value.toDouble())
          << measurement.toStdString() << " / " << field.key.toStdString();
    }
  }
}

TEST_F(InfluxWriterTest, DatabaseNamesWithUrlCharactersAreWrittenToThatDatabase) {
  const QString database = QString::fromUtf8("a&b+c #d%41é?");
  ASSERT_TRUE(influxd_->CreateDatabase(database));
  InfluxWriter writer;
  const PostResult result = writer.PostRecord(Server(database), "named v=7");
  ASSERT_EQ(result.outcome, PostOutcome::kSent) << result.status_text.toStdString();
  const QList<QJsonObject> points = influxd_->Points("SELECT * FROM named", database);
  ASSERT_EQ(points.size(), 1);
  EXPECT_EQ(points[0].value("v").toDouble(), 7);
}

TEST_F(InfluxWriterTest, MissingDatabaseRejectsThatRecordWithTheServersMessage) {
  InfluxWriter writer;
  const PostResult result = writer.PostRecord(Server("no_such_db"), "missing v=1");
  EXPECT_EQ(result.outcome, PostOutcome::kRecordRejected);
  EXPECT_EQ(result.http_status, 404);
  EXPECT_TRUE(result.red);
  EXPECT_EQ(result.status_text, "InfluxDB server error 404: database not found: \"no_such_db\"");
}

TEST_F(InfluxWriterTest, RejectedLineLeavesTheConnectionUsable) {
  InfluxWriter writer;
  const PostResult rejected = writer.PostRecord(Server(), "broken v=");
  EXPECT_EQ(rejected.outcome, PostOutcome::kRecordRejected);
  EXPECT_EQ(rejected.http_status, 400);
  EXPECT_TRUE(rejected.status_text.startsWith("InfluxDB server error 400: unable to parse"))
      << rejected.status_text.toStdString();
  EXPECT_EQ(writer.PostRecord(Server(), "after_broken v=2").outcome, PostOutcome::kSent);
  EXPECT_EQ(PointsOf("after_broken").size(), 1);
}

// A long record goes gzip-compressed; the server must still read it as written.
TEST_F(InfluxWriterTest, LongRecordArrivesWhole) {
  FieldList fields;
  for (int i = 0; i < 100; ++i)
    fields.append({QStringLiteral("field_%1").arg(i), QString::number(i)});
  const QString record = RecordText("long", fields);
  ASSERT_GT(record.toUtf8().size(), 1024);
  InfluxWriter writer;
  ASSERT_EQ(writer.PostRecord(Server(), record).outcome, PostOutcome::kSent);
  const QList<QJsonObject> points = PointsOf("long");
  ASSERT_EQ(points.size(), 1);
  EXPECT_EQ(points[0].value("field_99").toDouble(), 99);
}

TEST_F(InfluxWriterTest, WorksInAWorkerThreadWithoutEventLoop) {
  std::vector<PostOutcome> outcomes;
  QThread* worker = QThread::create([&] {
    InfluxWriter writer;  // created, used and destroyed in the worker thread
    for (int i = 0; i < 3; ++i) {
      outcomes.push_back(
          writer.PostRecord(Server(), QStringLiteral("threaded,n=%1 v=%1").arg(i)).outcome);
    }
  });
  worker->start();
  ASSERT_TRUE(worker->wait(30000));
  delete worker;
  EXPECT_EQ(outcomes, std::vector<PostOutcome>(3, PostOutcome::kSent));
  EXPECT_EQ(PointsOf("threaded").size(), 3);
}

TEST(InfluxWriterRestartTest, ServerGoneFailsAndServerBackSendsAgain) {
  test::InfluxdProcess influxd;
  QString error;
  ASSERT_TRUE(influxd.Start(&error)) << error.toStdString();
  ASSERT_TRUE(influxd.CreateDatabase(kDatabase));
  const InfluxServer server{influxd.host(), influxd.port_text(), kDatabase, {}, {}};
  InfluxWriter writer;
  EXPECT_EQ(writer.PostRecord(server, "restart,n=1 v=1").outcome, PostOutcome::kSent);

  influxd.Stop();
  const PostResult gone = writer.PostRecord(server, "restart,n=2 v=2");
  EXPECT_EQ(gone.outcome, PostOutcome::kServerFailed);
  EXPECT_EQ(gone.status_text, "InfluxDB server error: Connection refused");
  EXPECT_TRUE(gone.red);

  ASSERT_TRUE(influxd.Start(&error)) << error.toStdString();
  EXPECT_EQ(writer.PostRecord(server, "restart,n=3 v=3").outcome, PostOutcome::kSent);
  const QList<QJsonObject> points = influxd.Points("SELECT * FROM restart", kDatabase);
  ASSERT_EQ(points.size(), 2);
  EXPECT_EQ(points[0].value("n").toString(), "1");
  EXPECT_EQ(points[1].value("n").toString(), "3");
}

}  // namespace
}  // namespace orva
