#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace orva::test {

// The controller simulator (tools/ktx-sim) as a child process of a test: started on a free
// loopback port, ready once it has printed its "listening" lines, stopped by its process id
// when this object goes.
class KtxSimProcess {
 public:
  KtxSimProcess() = default;
  ~KtxSimProcess();
  KtxSimProcess(const KtxSimProcess&) = delete;
  KtxSimProcess& operator=(const KtxSimProcess&) = delete;

  static QString BinaryPath();

  // Starts ktx-sim with `arguments`; "--port 0" is added unless they name the port or say
  // --no-tcp. Waits for the listening line of TCP and, with --serial or --serial-link, of the
  // pseudo-terminal. False, with error(), when it exits first or the time runs out.
  bool Start(const QStringList& arguments = {}, int timeout_ms = 10000);
  // Stops it and starts it again with the same arguments on the same TCP port, as a
  // controller that was switched off and on. The pseudo-terminal gets a new device (the
  // --serial-link path stays the same).
  bool Restart(int timeout_ms = 10000);
  // SIGTERM, then SIGKILL after a grace period.
  void Stop();
  // SIGKILL: a controller that vanishes without closing anything.
  void Kill();
  bool IsRunning() const;

  quint16 port() const { return port_; }
  QString host() const { return QStringLiteral("127.0.0.1"); }
  // "127.0.0.1:<port>", the form the program's controller address takes.
  QString address() const { return host() + QLatin1Char(':') + QString::number(port_); }
  QString error() const { return error_; }

  // Switches a fault while running ("fault NAME VALUE" on its stdin) and waits for the
  // acknowledgement, so that the next request already meets it.
  bool SetFault(const QString& name, const QString& value = {}, int timeout_ms = 5000);
  // The login packets it has received so far, refused ones too; -1 when it does not answer.
  int Logins(int timeout_ms = 5000);
  // The module memory reads it answered so far; -1 when it does not say.
  qint64 ModuleReads(int timeout_ms = 5000);
  // The output status requests it received so far, answered or not; -1 when it does not say.
  qint64 StatusRequests(int timeout_ms = 5000);

 private:
  // Sends the name of one of the simulator's counters and reads its answer, "name N".
  qint64 Ask(const QString& counter, int timeout_ms);
  // Next whole stdout line; false when the process ended or the time ran out.
  bool ReadLine(int timeout_ms, QString* line);

  std::unique_ptr<QProcess> process_;
  QStringList arguments_;
  QByteArray stdout_buffer_;
  quint16 port_ = 0;
  QString error_;
};

}  // namespace orva::test
