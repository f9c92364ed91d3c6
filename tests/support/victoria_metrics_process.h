#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace orva::test {

// A private /usr/bin/victoria-metrics (Debian's victoria-metrics, a time-series server that takes
// InfluxDB's line protocol on /write and /api/v2/write) on a free loopback port, its data in a
// temporary folder. The destructor stops it by its process id.
class VictoriaMetricsProcess {
 public:
  VictoriaMetricsProcess();
  ~VictoriaMetricsProcess();
  VictoriaMetricsProcess(const VictoriaMetricsProcess&) = delete;
  VictoriaMetricsProcess& operator=(const VictoriaMetricsProcess&) = delete;

  // Waits until GET /health answers OK; false when the server ended or did not answer in 30 s.
  bool WaitReady();
  bool running() const { return process_.state() != QProcess::NotRunning; }

  QString host() const { return QStringLiteral("127.0.0.1"); }
  quint16 port() const { return port_; }
  QString port_text() const { return QString::number(port_); }

  // Every sample of the metrics whose names start with `prefix`, one JSON line per series; the
  // server makes fresh samples searchable a moment after the flush.
  QByteArray Export(const QString& prefix);
  // The samples of the metric `name` stored with time stamps in the last `days` days; -1 when
  // the query failed.
  qint64 SampleCount(const QString& name, int days = 1);
  // GET `path` (with its query) on the server; the reply's body, empty when none came.
  QByteArray Get(const QString& path);

 private:
  QTemporaryDir dir_;
  quint16 port_ = 0;
  QProcess process_;
};

}  // namespace orva::test
