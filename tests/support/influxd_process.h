#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>
#include <optional>

namespace orva::test {

// A loopback port that was free a moment ago: bound to 127.0.0.1:0, then released.
quint16 FreeLoopbackPort();

// Logins required, and HTTPS with the given certificate and key (PEM files) unless they are
// empty, for a server that is set up the way a careful administrator sets one up.
struct InfluxdSecurity {
  QString certificate_file;
  QString key_file;
  // The admin login, created at start and used by Query.
  QString user;
  QString password;
};

// A private InfluxDB 1.x server for one test or suite: its own configuration, data and ports
// on 127.0.0.1 in a temporary folder. It can be stopped and started again on the same port and
// data, as a server that goes away during scanning would. The destructor stops it by its
// process id. Its folder is made under parent_folder when given (the benchmarks put the
// server's data in memory that way), else in the system's temporary folder.
class InfluxdProcess {
 public:
  explicit InfluxdProcess(const QString& parent_folder = QString(),
                          std::optional<InfluxdSecurity> security = std::nullopt);
  ~InfluxdProcess();
  InfluxdProcess(const InfluxdProcess&) = delete;
  InfluxdProcess& operator=(const InfluxdProcess&) = delete;

  // Starts /usr/bin/influxd and waits until GET /ping answers 204. On failure *error says why
  // (with the server's log).
  bool Start(QString* error = nullptr);
  void Stop();
  // Sends a signal to the server (SIGSTOP: a server that hangs, SIGCONT: that comes back).
  void Signal(int signal);
  bool running() const;
  // False when the folder could not be made.
  bool valid() const { return dir_.isValid(); }

  QString host() const { return QStringLiteral("127.0.0.1"); }
  QString port_text() const { return QString::number(http_port_); }

  bool CreateDatabase(const QString& name);
  // Runs an InfluxQL statement (POST /query) and returns the server's JSON; empty on failure.
  QJsonObject Query(const QString& statement, const QString& database = QString()) const;
  // The points of the first series of a query's first result, e.g. of "SELECT * FROM m",
  // each as an object from column name to value ("time" included).
  QList<QJsonObject> Points(const QString& statement, const QString& database = QString()) const;

 private:
  QUrl Url(const QString& path) const;
  bool https() const { return security_ && !security_->certificate_file.isEmpty(); }
  QString log() const;

  bool CreateAdmin();

  QTemporaryDir dir_;
  std::optional<InfluxdSecurity> security_;
  quint16 http_port_ = 0;
  quint16 rpc_port_ = 0;
  std::unique_ptr<QProcess> process_;
};

}  // namespace orva::test
