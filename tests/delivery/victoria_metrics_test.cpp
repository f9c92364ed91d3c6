// The writer against VictoriaMetrics, which takes InfluxDB's line protocol on both the 1.x and
// the 2.x write endpoint. Logins are tried against influxd (influx_secure_test).
#include <gtest/gtest.h>

#include "delivery/influx_writer.h"
#include "victoria_metrics_process.h"

namespace orva {
namespace {

InfluxServer ServerOf(const test::VictoriaMetricsProcess& vm, InfluxApi api) {
  ServerAccess access;
  access.api = api;
  access.org = "org";
  return {vm.host(), vm.port_text(), "orva", access, {}};
}

TEST(VictoriaMetricsTest, RecordsArriveOnEitherApi) {
  test::VictoriaMetricsProcess server;
  ASSERT_TRUE(server.WaitReady());
  const std::pair<InfluxApi, QString> cases[] = {{InfluxApi::kV1, "vm1,n=1 v=11"},
                                                 {InfluxApi::kV2, "vm2,n=1 v=12"}};
  for (const auto& [api, record] : cases) {
    const PostResult result = InfluxWriter().PostRecord(ServerOf(server, api), record);
    EXPECT_EQ(result.status_text, "InfluxDB data sent");
    const QByteArray exported = server.Export(record.left(3));
    EXPECT_TRUE(exported.contains("\"__name__\":\"" + record.left(3).toUtf8() + "_v\""))
        << exported.data();
    EXPECT_TRUE(exported.contains("\"values\":[" + record.right(2).toUtf8() + "]"))
        << exported.data();
  }
}

}  // namespace
}  // namespace orva
