// The writer against VictoriaMetrics, which takes InfluxDB's line protocol on both the 1.x and
// the 2.x write endpoint and checks a login of its own.
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

const QString kUser = QStringLiteral("vm");
const QString kPassword = QStringLiteral("vm pass");

// A private /usr/bin/victoria-metrics on a free loopback port, with or without a login.
class VictoriaMetrics {
 public:
  explicit VictoriaMetrics(bool login) : login_(login) {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    port_ = probe.serverPort();
    probe.close();
    QStringList arguments = {QStringLiteral("-httpListenAddr=127.0.0.1:%1").arg(port_),
                             "-storageDataPath=" + dir_.path(), "-loggerLevel=ERROR"};
    if (login) arguments << "-httpAuth.username=" + kUser << "-httpAuth.password=" + kPassword;
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

  InfluxServer Server(InfluxApi api, const QString& user, const QString& secret) const {
    ServerAccess access;
    access.api = api;
    access.user = user;
    access.org = "org";
    return {"127.0.0.1", QString::number(port_), "orva", access, secret};
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
    QStringList arguments = {"-s", "-g", "--noproxy", "*", "-m", "10"};
    if (login_) arguments << "-u" << kUser + ':' + kPassword;
    curl.start("curl", arguments << QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path));
    curl.waitForFinished(15000);
    return curl.readAllStandardOutput().trimmed();
  }

  QTemporaryDir dir_;
  bool login_;
  quint16 port_ = 0;
  QProcess process_;
};

TEST(VictoriaMetricsTest, RecordsArriveOnEitherApi) {
  const struct {
    bool login;
    InfluxApi api;
    QString user;
    QString secret;
    QString record;
    const char* status_text;
    QByteArray exported;  // a part of the exported series; empty: not looked for
  } cases[] = {
      {true, InfluxApi::kV1, kUser, kPassword, "vm1,n=1 v=11", "InfluxDB data sent",
       "\"__name__\":\"vm1_v\""},
      {true, InfluxApi::kV1, kUser, "wrong", "vm2,n=1 v=12", "InfluxDB refused the login (401): …",
       ""},
      {false, InfluxApi::kV2, "", "", "vm3,n=1 v=13", "InfluxDB data sent",
       "\"__name__\":\"vm3_v\""},
  };
  for (const auto& c : cases) {
    VictoriaMetrics server(c.login);
    ASSERT_TRUE(server.WaitReady());
    const PostResult result =
        InfluxWriter().PostRecord(server.Server(c.api, c.user, c.secret), c.record);
    const QString expected = QString::fromUtf8(c.status_text);
    EXPECT_TRUE(result.status_text.startsWith(expected.endsWith(QChar(0x2026)) ? expected.chopped(1)
                                                                               : expected))
        << result.status_text.toStdString();
    if (c.exported.isEmpty()) continue;
    const QByteArray exported = server.Export(c.record.left(3));
    EXPECT_TRUE(exported.contains(c.exported)) << exported.data();
    EXPECT_TRUE(exported.contains("\"values\":[" + c.record.right(2).toUtf8() + "]"))
        << exported.data();
  }
}

}  // namespace
}  // namespace orva
