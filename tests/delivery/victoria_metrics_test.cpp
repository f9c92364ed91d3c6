// The writer against VictoriaMetrics, which takes InfluxDB's line protocol on both the 1.x and
// the 2.x write endpoint. Logins are tried against influxd (influx_secure_test).
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include "delivery/influx_writer.h"

namespace orva {
namespace {

// A private /usr/bin/victoria-metrics on a free loopback port.
class VictoriaMetrics {
 public:
  VictoriaMetrics() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    port_ = probe.serverPort();
    probe.close();
    QStringList arguments = {QStringLiteral("-httpListenAddr=127.0.0.1:%1").arg(port_),
                             "-storageDataPath=" + dir_.path(), "-loggerLevel=ERROR"};
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.start("/usr/bin/victoria-metrics", arguments);
  }
  ~VictoriaMetrics() {
    process_.terminate();
    if (!process_.waitForFinished(10000)) process_.kill();
    process_.waitForFinished(5000);
  }

  bool WaitReady() {
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && process_.state() != QProcess::NotRunning) {
      if (Get("/health") == "OK") return true;
      QThread::msleep(50);
    }
    return false;
  }

  InfluxServer Server(InfluxApi api) const {
    ServerAccess access;
    access.api = api;
    access.org = "org";
    return {"127.0.0.1", QString::number(port_), "orva", access, {}};
  }

  // Every sample of the metrics whose names start with `prefix`, one JSON line per series; the
  // server makes fresh samples searchable a moment after the flush.
  QByteArray Export(const QString& prefix) {
    const QDeadlineTimer deadline(10000);
    QByteArray exported;
    while (exported.isEmpty() && !deadline.hasExpired()) {
      Get("/internal/force_flush");
      exported = Get("/api/v1/export?match[]=" +
                     QUrl::toPercentEncoding(QStringLiteral("{__name__=~\"%1.*\"}").arg(prefix)));
      if (exported.isEmpty()) QThread::msleep(100);
    }
    return exported;
  }

 private:
  QByteArray Get(const QString& path) {
    QProcess curl;
    curl.start("curl", {"-s", "-g", "--noproxy", "*", "-m", "10",
                        QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path)});
    curl.waitForFinished(15000);
    return curl.readAllStandardOutput().trimmed();
  }

  QTemporaryDir dir_;
  quint16 port_ = 0;
  QProcess process_;
};

TEST(VictoriaMetricsTest, RecordsArriveOnEitherApi) {
  VictoriaMetrics server;
  ASSERT_TRUE(server.WaitReady());
  const std::pair<InfluxApi, QString> cases[] = {{InfluxApi::kV1, "vm1,n=1 v=11"},
                                                 {InfluxApi::kV2, "vm2,n=1 v=12"}};
  for (const auto& [api, record] : cases) {
    const PostResult result = InfluxWriter().PostRecord(server.Server(api), record);
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
