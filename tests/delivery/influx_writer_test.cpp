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

// What a post makes arrive: records without a time stamp stay apart a few milliseconds apart,
// odd names and long (compressed) records arrive as written, in a database whose name needs
// escaping in the address.
TEST_F(InfluxWriterTest, RecordsArriveAsWritten) {
  InfluxWriter writer;
  for (int i = 0; i < 3; ++i) {
    const PostResult result = writer.PostRecord(Server(), QStringLiteral("same v=%1").arg(i));
    ASSERT_EQ(result.outcome, PostOutcome::kSent);
    EXPECT_EQ(result.status_text, "InfluxDB data sent");
    EXPECT_FALSE(result.red);
    EXPECT_EQ(result.http_status, 204);
    QThread::msleep(5);
  }
  EXPECT_EQ(PointsOf("same").size(), 3);

  FieldList fields = {
      {"Kitchen,North_Settemp", "21"}, {"a=b", "1"}, {QString::fromUtf8("Küche_Süd"), "2"}};
  for (int i = 0; i < 100; ++i)
    fields.append({QStringLiteral("field_%1").arg(i), QString::number(i)});
  const QString database = QString::fromUtf8("a&b+c #d%41é?");
  ASSERT_TRUE(influxd_->CreateDatabase(database));
  for (const char* measurement : {"odd 1,2", "odd=3"}) {
    const PostResult result = writer.PostRecord(Server(database), RecordText(measurement, fields));
    ASSERT_EQ(result.outcome, PostOutcome::kSent) << result.status_text.toStdString();
    const QList<QJsonObject> points =
        influxd_->Points(QStringLiteral("SELECT * FROM \"%1\"").arg(measurement), database);
    ASSERT_EQ(points.size(), 1) << measurement;
    for (const Field& field : fields) {
      EXPECT_EQ(points[0].value(field.key).toDouble(), field.value.toDouble())
          << field.key.toStdString();
    }
  }
}

// A missing database is created at the first post, unless the settings say not to: then it
// rejects that record alone, with the server's message, and the connection stays usable.
TEST_F(InfluxWriterTest, AMissingDatabaseIsCreatedOrRejectsTheRecord) {
  const struct {
    bool create;
    PostOutcome outcome;
    const char* status_text;
  } cases[] = {
      {false, PostOutcome::kRecordRejected,
       "InfluxDB server error 404: database not found: \"made_db\""},
      {true, PostOutcome::kSent, "InfluxDB: created database made_db"},
  };
  InfluxWriter writer;
  for (const auto& c : cases) {
    InfluxServer server = Server("made_db");
    server.access.create_database = c.create;
    const PostResult result = writer.PostRecord(server, "made v=1");
    EXPECT_EQ(result.outcome, c.outcome) << c.create;
    EXPECT_EQ(result.status_text, c.status_text);
    EXPECT_EQ(result.database_created, c.create);
  }
  EXPECT_EQ(influxd_->Points("SELECT * FROM made", "made_db").size(), 1);
  EXPECT_EQ(writer.PostRecord(Server(), "after_missing v=2").outcome, PostOutcome::kSent);
  EXPECT_EQ(PointsOf("after_missing").size(), 1);
}

}  // namespace
}  // namespace orva
