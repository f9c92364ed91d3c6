#include "influxd_process.h"
#include "signal_child.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTcpServer>
#include <QThread>
#include <QTimer>

namespace orva::test {
namespace {

constexpr char kInfluxd[] = "/usr/bin/influxd";
constexpr int kStartTimeoutMs = 30000;
constexpr int kRequestTimeoutMs = 10000;

struct HttpReply {
  int status = 0;
  QByteArray body;
};

// One request with its own manager and event loop, independent of the writer under test. The
// test's own self-signed certificate is accepted without a check.
HttpReply Request(const QByteArray& verb, const QUrl& url, const QByteArray& body = {}) {
  QNetworkAccessManager manager;
  manager.setProxy(QNetworkProxy::NoProxy);
  QNetworkRequest request(url.adjusted(QUrl::RemoveUserInfo));
  request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
  if (!url.userName().isEmpty()) {
    request.setRawHeader("Authorization",
                         "Basic " + (url.userName() + ':' + url.password()).toUtf8().toBase64());
  }
  QNetworkReply* reply = manager.sendCustomRequest(request, verb, body);
  reply->ignoreSslErrors();
  QEventLoop loop;
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  QTimer::singleShot(kRequestTimeoutMs, &loop, &QEventLoop::quit);
  if (!reply->isFinished()) loop.exec();
  HttpReply result;
  if (reply->isFinished()) {
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
  }
  reply->abort();
  reply->deleteLater();
  return result;
}

QTemporaryDir ServerFolder(const QString& parent_folder) {
  if (parent_folder.isEmpty()) return QTemporaryDir();
  return QTemporaryDir(parent_folder + QStringLiteral("/influxd-XXXXXX"));
}

}  // namespace

quint16 FreeLoopbackPort() {
  QTcpServer server;
  if (!server.listen(QHostAddress::LocalHost, 0)) return 0;
  const quint16 port = server.serverPort();
  server.close();
  return port;
}

InfluxdProcess::InfluxdProcess(const QString& parent_folder,
                               std::optional<InfluxdSecurity> security)
    : dir_(ServerFolder(parent_folder)),
      security_(std::move(security)),
      http_port_(FreeLoopbackPort()),
      rpc_port_(FreeLoopbackPort()) {
  const QString root = dir_.path();
  QString secure = security_ ? QStringLiteral("  auth-enabled = true\n") : QString();
  if (https()) {
    secure += QStringLiteral(
                  "  https-enabled = true\n"
                  "  https-certificate = \"%1\"\n  https-private-key = \"%2\"\n")
                  .arg(security_->certificate_file, security_->key_file);
  }
  const QString config = QStringLiteral(
                             "reporting-disabled = true\n"
                             "bind-address = \"127.0.0.1:%1\"\n"
                             "[meta]\n  dir = \"%3/meta\"\n  logging-enabled = false\n"
                             "[data]\n  dir = \"%3/data\"\n  wal-dir = \"%3/wal\"\n"
                             "  query-log-enabled = false\n  wal-fsync-delay = \"0s\"\n"
                             "[monitor]\n  store-enabled = false\n"
                             "[subscriber]\n  enabled = false\n"
                             "[continuous_queries]\n  enabled = false\n"
                             "[http]\n  bind-address = \"127.0.0.1:%2\"\n  log-enabled = false\n"
                             "  pprof-enabled = false\n%4"
                             "[logging]\n  level = \"warn\"\n  suppress-logo = true\n")
                             .arg(rpc_port_)
                             .arg(http_port_)
                             .arg(root, secure);
  QFile file(root + QStringLiteral("/influxd.conf"));
  if (file.open(QIODevice::WriteOnly)) file.write(config.toUtf8());
}

InfluxdProcess::~InfluxdProcess() { Stop(); }

bool InfluxdProcess::running() const { return process_ && process_->state() == QProcess::Running; }

QString InfluxdProcess::log() const {
  QFile file(dir_.path() + QStringLiteral("/influxd.log"));
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QUrl InfluxdProcess::Url(const QString& path) const {
  QUrl url(QStringLiteral("%1://%2:%3%4")
               .arg(https() ? QStringLiteral("https") : QStringLiteral("http"), host(), port_text(),
                    path));
  if (security_) {
    url.setUserName(security_->user);
    url.setPassword(security_->password);
  }
  return url;
}

// With logins required, influxd takes a first admin without a login, and nothing else.
bool InfluxdProcess::CreateAdmin() {
  if (!security_) return true;
  const QJsonObject reply = Query(QStringLiteral("CREATE USER \"%1\" WITH PASSWORD '%2' WITH ALL "
                                                 "PRIVILEGES")
                                      .arg(security_->user, security_->password));
  return !reply.isEmpty() && !reply.value(QLatin1String("results")).toArray().isEmpty();
}

bool InfluxdProcess::Start(QString* error) {
  if (running()) return true;
  process_ = std::make_unique<QProcess>();
  process_->setProcessChannelMode(QProcess::MergedChannels);
  process_->setStandardOutputFile(dir_.path() + QStringLiteral("/influxd.log"), QIODevice::Append);
  process_->start(QString::fromLatin1(kInfluxd),
                  {QStringLiteral("-config"), dir_.path() + QStringLiteral("/influxd.conf")});
  const QDeadlineTimer deadline(kStartTimeoutMs);
  if (process_->waitForStarted(kStartTimeoutMs)) {
    while (!deadline.hasExpired() && running()) {
      if (Request("GET", Url(QStringLiteral("/ping"))).status == 204 && CreateAdmin()) return true;
      QThread::msleep(50);
    }
  }
  if (error) {
    *error = QStringLiteral("influxd on port %1 did not answer /ping: %2")
                 .arg(http_port_)
                 .arg(log().right(2000));
  }
  Stop();
  return false;
}

void InfluxdProcess::Signal(int signal) {
  if (process_) SignalChild(*process_, signal);
}

void InfluxdProcess::Stop() {
  if (!process_) return;
  if (process_->state() != QProcess::NotRunning) {
    process_->terminate();  // SIGTERM to our own child's process id
    if (!process_->waitForFinished(10000)) {
      process_->kill();
      process_->waitForFinished(5000);
    }
  }
  process_.reset();
}

QJsonObject InfluxdProcess::Query(const QString& statement, const QString& database) const {
  // Each value percent-encoded whole: QUrlQuery would take a "%41" in a name as already encoded.
  QByteArray form = "q=" + QUrl::toPercentEncoding(statement);
  if (!database.isEmpty()) form += "&db=" + QUrl::toPercentEncoding(database);
  const HttpReply reply = Request("POST", Url(QStringLiteral("/query")), form);
  return QJsonDocument::fromJson(reply.body).object();
}

bool InfluxdProcess::CreateDatabase(const QString& name) {
  const QJsonObject reply = Query(QStringLiteral("CREATE DATABASE \"%1\"").arg(name));
  const QJsonArray results = reply.value(QLatin1String("results")).toArray();
  return !results.isEmpty() && !results.first().toObject().contains(QLatin1String("error"));
}

namespace {

QJsonObject FirstSeries(const QJsonObject& reply) {
  const QJsonObject result = reply.value(QLatin1String("results")).toArray().first().toObject();
  return result.value(QLatin1String("series")).toArray().first().toObject();
}

}  // namespace

QList<QJsonObject> InfluxdProcess::Points(const QString& statement, const QString& database) const {
  const QJsonObject series = FirstSeries(Query(statement, database));
  const QJsonArray columns = series.value(QLatin1String("columns")).toArray();
  QList<QJsonObject> points;
  for (const QJsonValue& row : series.value(QLatin1String("values")).toArray()) {
    QJsonObject point;
    const QJsonArray values = row.toArray();
    for (qsizetype i = 0; i < columns.size() && i < values.size(); ++i) {
      point.insert(columns[i].toString(), values[i]);
    }
    points << point;
  }
  return points;
}

}  // namespace orva::test
