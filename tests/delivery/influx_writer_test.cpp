// The writer against real servers on loopback ports: InfluxDB 1.x, and VictoriaMetrics, which
// takes InfluxDB's line protocol on both the 1.x and the 2.x write endpoint. Logins are tried
// against influxd (influx_secure_test).
#include "delivery/influx_writer.h"

#include <gtest/gtest.h>

#include <QThread>

#include "influxd_process.h"
#include "scan/line_protocol.h"
#include "victoria_metrics_process.h"

namespace orva {
namespace {

// Records without a time stamp stay apart a few milliseconds apart, odd names and long
// (compressed) records arrive as written, in a database whose name needs escaping in the address.
// A missing database is created at the first post, unless the settings say not to: then it
// rejects that record alone, with the server's message, and the connection stays usable.
TEST(InfluxWriterTest, RecordsArriveAsWrittenAndAMissingDatabaseIsMadeOrRejectsThem) {
  test::InfluxdProcess influxd;
  QString error;
  ASSERT_TRUE(influxd.Start(&error)) << error.toStdString();
  const auto server = [&](const QString& database) {
    return InfluxServer{influxd.host(), influxd.port_text(), database, {}, {}};
  };
  const QString database = QString::fromUtf8("a&b+c #d%41é?");
  ASSERT_TRUE(influxd.CreateDatabase(database));
  InfluxWriter writer;
  for (int i = 0; i < 3; ++i) {
    const PostResult result =
        writer.PostRecord(server(database), QStringLiteral("same v=%1").arg(i));
    ASSERT_EQ(result.outcome, PostOutcome::kSent) << result.status_text.toStdString();
    EXPECT_EQ(result.http_status, 204);
    QThread::msleep(5);
  }
  EXPECT_EQ(influxd.Points("SELECT * FROM same", database).size(), 3);

  FieldList fields = {
      {"Kitchen,North_Settemp", "21"}, {"a=b", "1"}, {QString::fromUtf8("Küche_Süd"), "2"}};
  for (int i = 0; i < 100; ++i)
    fields.append({QStringLiteral("field_%1").arg(i), QString::number(i)});
  for (const char* measurement : {"odd 1,2", "odd=3"}) {
    const PostResult result = writer.PostRecord(server(database), RecordText(measurement, fields));
    ASSERT_EQ(result.outcome, PostOutcome::kSent) << result.status_text.toStdString();
    const QList<QJsonObject> points =
        influxd.Points(QStringLiteral("SELECT * FROM \"%1\"").arg(measurement), database);
    ASSERT_EQ(points.size(), 1) << measurement;
    for (const Field& field : fields) {
      EXPECT_EQ(points[0].value(field.key).toDouble(), field.value.toDouble())
          << field.key.toStdString();
    }
  }

  const struct {
    bool create;
    PostOutcome outcome;
    const char* status_text;
  } cases[] = {
      {false, PostOutcome::kRecordRejected,
       "InfluxDB server error 404: database not found: \"made_db\""},
      {true, PostOutcome::kSent, "InfluxDB: created database made_db"},
  };
  for (const auto& c : cases) {
    InfluxServer made = server("made_db");
    made.access.create_database = c.create;
    const PostResult result = writer.PostRecord(made, "made v=1");
    EXPECT_EQ(result.outcome, c.outcome) << c.create;
    EXPECT_EQ(result.status_text, c.status_text);
    EXPECT_EQ(result.database_created, c.create);
  }
  EXPECT_EQ(influxd.Points("SELECT * FROM made", "made_db").size(), 1);
  EXPECT_EQ(writer.PostRecord(server(database), "after_missing v=2").outcome, PostOutcome::kSent);
  EXPECT_EQ(influxd.Points("SELECT * FROM after_missing", database).size(), 1);
}

TEST(VictoriaMetricsTest, RecordsArriveOnEitherApi) {
  test::VictoriaMetricsProcess vm;
  ASSERT_TRUE(vm.WaitReady());
  for (const auto& [api, record] : {std::pair{InfluxApi::kV1, QStringLiteral("vm1,n=1 v=11")},
                                    std::pair{InfluxApi::kV2, QStringLiteral("vm2,n=1 v=12")}}) {
    ServerAccess access;
    access.api = api;
    access.org = "org";
    const InfluxServer server = {vm.host(), vm.port_text(), "orva", access, {}};
    EXPECT_EQ(InfluxWriter().PostRecord(server, record).status_text, "InfluxDB data sent");
    const QByteArray exported = vm.Export(record.left(3));
    EXPECT_TRUE(exported.contains("\"__name__\":\"" + record.left(3).toUtf8() + "_v\""))
        << exported.data();
    EXPECT_TRUE(exported.contains("\"values\":[" + record.right(2).toUtf8() + "]"))
        << exported.data();
  }
}

}  // namespace
}  // namespace orva
