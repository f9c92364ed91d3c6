#include "victoria_metrics_process.h"

#include "influxd_process.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QUrl>

namespace orva::test {

VictoriaMetricsProcess::VictoriaMetricsProcess() : port_(FreeLoopbackPort()) {
  const QStringList arguments = {QStringLiteral("-httpListenAddr=127.0.0.1:%1").arg(port_),
                                 "-storageDataPath=" + dir_.path(), "-loggerLevel=ERROR"};
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_.setStandardOutputFile(QProcess::nullDevice());
  process_.start(QStringLiteral("/usr/bin/victoria-metrics"), arguments);
  process_.waitForStarted();
}

VictoriaMetricsProcess::~VictoriaMetricsProcess() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(10000)) process_.kill();
  process_.waitForFinished(5000);
}

bool VictoriaMetricsProcess::WaitReady() {
  const QDeadlineTimer deadline(30000);
  while (!deadline.hasExpired() && process_.state() != QProcess::NotRunning) {
    if (Get(QStringLiteral("/health")) == "OK") return true;
    QThread::msleep(50);
  }
  return false;
}

QByteArray VictoriaMetricsProcess::Export(const QString& prefix) {
  const QDeadlineTimer deadline(10000);
  QByteArray exported;
  while (exported.isEmpty() && !deadline.hasExpired()) {
    Get(QStringLiteral("/internal/force_flush"));
    exported = Get("/api/v1/export?match[]=" +
                   QUrl::toPercentEncoding(QStringLiteral("{__name__=~\"%1.*\"}").arg(prefix)));
    if (exported.isEmpty()) QThread::msleep(100);
  }
  return exported;
}

qint64 VictoriaMetricsProcess::SampleCount(const QString& name, int days) {
  Get(QStringLiteral("/internal/force_flush"));
  const QByteArray reply = Get(
      "/api/v1/query?query=" +
      QUrl::toPercentEncoding(QStringLiteral("sum(count_over_time(%1[%2d]))").arg(name).arg(days)));
  const QJsonArray result = QJsonDocument::fromJson(reply)
                                .object()
                                .value(QLatin1String("data"))
                                .toObject()
                                .value(QLatin1String("result"))
                                .toArray();
  if (result.isEmpty()) return reply.contains("\"success\"") ? 0 : -1;
  return result.first()
      .toObject()
      .value(QLatin1String("value"))
      .toArray()
      .at(1)
      .toString()
      .toLongLong();
}

QByteArray VictoriaMetricsProcess::Get(const QString& path) {
  QProcess curl;
  curl.start(QStringLiteral("curl"),
             {"-s", "-g", "--noproxy", "*", "-m", "60",
              QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path)});
  curl.waitForFinished(65000);
  return curl.readAllStandardOutput().trimmed();
}

}  // namespace orva::test
