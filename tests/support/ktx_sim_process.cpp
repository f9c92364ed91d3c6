#include "ktx_sim_process.h"

#include <QDeadlineTimer>

namespace orva::test {
namespace {

constexpr int kGraceMs = 3000;

bool WantsSerial(const QStringList& arguments) {
  for (const QString& argument : arguments) {
    if (argument == QLatin1String("--serial") ||
        argument.startsWith(QLatin1String("--serial-link"))) {
      return true;
    }
  }
  return false;
}

}  // namespace

KtxSimProcess::~KtxSimProcess() { Stop(); }

QString KtxSimProcess::BinaryPath() { return QStringLiteral(ORVA_BIN_DIR "/ktx-sim"); }

bool KtxSimProcess::Start(const QStringList& arguments, int timeout_ms) {
  Stop();
  arguments_ = arguments;
  QStringList effective = arguments;
  if (!effective.contains(QLatin1String("--port")) &&
      !effective.contains(QLatin1String("--no-tcp"))) {
    effective << QStringLiteral("--port") << QStringLiteral("0");
  }
  const bool want_tcp = !arguments.contains(QLatin1String("--no-tcp"));
  const bool want_serial = WantsSerial(arguments);

  process_ = std::make_unique<QProcess>();
  // Its complaints (a bad model, a busy port) land in the test's output.
  process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_->start(BinaryPath(), effective);
  if (!process_->waitForStarted(timeout_ms)) {
    error_ = QStringLiteral("cannot start ") + BinaryPath() + QStringLiteral(": ") +
             process_->errorString();
    return false;
  }
  stdout_buffer_.clear();
  port_ = 0;
  const QDeadlineTimer deadline(timeout_ms);
  bool tcp_ready = !want_tcp;
  bool serial_ready = !want_serial;
  while (!tcp_ready || !serial_ready) {
    QString line;
    if (!ReadLine(static_cast<int>(deadline.remainingTime()), &line)) {
      error_ = QStringLiteral("ktx-sim did not report ready (%1)").arg(arguments.join(' '));
      Stop();
      return false;
    }
    if (line.startsWith(QLatin1String("listening tcp "))) {
      port_ = static_cast<quint16>(line.section(QLatin1Char(':'), -1).toUInt());
      tcp_ready = port_ != 0;
    } else if (line.startsWith(QLatin1String("listening serial "))) {
      serial_ready = true;
    }
  }
  return true;
}

bool KtxSimProcess::Restart(int timeout_ms) {
  const QStringList original = arguments_;
  const bool started = Start(
      port_ == 0 ? original : original + QStringList{"--port", QString::number(port_)}, timeout_ms);
  arguments_ = original;
  return started;
}

void KtxSimProcess::Stop() {
  if (!process_) return;
  if (process_->state() != QProcess::NotRunning) {
    process_->terminate();
    if (!process_->waitForFinished(kGraceMs)) {
      process_->kill();
      process_->waitForFinished(kGraceMs);
    }
  }
  process_.reset();
}

void KtxSimProcess::Kill() {
  if (!process_) return;
  process_->kill();
  process_->waitForFinished(kGraceMs);
  process_.reset();
}

bool KtxSimProcess::IsRunning() const { return process_ && process_->state() == QProcess::Running; }

bool KtxSimProcess::SetFault(const QString& name, const QString& value, int timeout_ms) {
  if (!IsRunning()) {
    error_ = QStringLiteral("ktx-sim is not running");
    return false;
  }
  const QString command = value.isEmpty() ? QStringLiteral("fault ") + name
                                          : QStringLiteral("fault %1 %2").arg(name, value);
  process_->write(command.toLatin1() + '\n');
  process_->waitForBytesWritten(timeout_ms);
  const QDeadlineTimer deadline(timeout_ms);
  QString line;
  while (ReadLine(static_cast<int>(deadline.remainingTime()), &line)) {
    if (line == command) return true;
    if (line.startsWith(QLatin1String("error:"))) {
      error_ = line;
      return false;
    }
  }
  error_ = QStringLiteral("no acknowledgement for ") + command;
  return false;
}

int KtxSimProcess::Logins(int timeout_ms) { return static_cast<int>(Ask("logins", timeout_ms)); }

qint64 KtxSimProcess::ModuleReads(int timeout_ms) { return Ask("reads", timeout_ms); }

qint64 KtxSimProcess::StatusRequests(int timeout_ms) { return Ask("statuses", timeout_ms); }

qint64 KtxSimProcess::Ask(const QString& counter, int timeout_ms) {
  if (!IsRunning()) return -1;
  process_->write((counter + QLatin1Char('\n')).toLatin1());
  process_->waitForBytesWritten(timeout_ms);
  const QDeadlineTimer deadline(timeout_ms);
  const QString prefix = counter + QLatin1Char(' ');
  QString line;
  while (ReadLine(static_cast<int>(deadline.remainingTime()), &line)) {
    if (line.startsWith(prefix)) return line.mid(prefix.size()).toLongLong();
  }
  return -1;
}

bool KtxSimProcess::ReadLine(int timeout_ms, QString* line) {
  const QDeadlineTimer deadline(qMax(0, timeout_ms));
  while (true) {
    stdout_buffer_.append(process_->readAllStandardOutput());
    const int end = stdout_buffer_.indexOf('\n');
    if (end >= 0) {
      *line = QString::fromLocal8Bit(stdout_buffer_.left(end)).trimmed();
      stdout_buffer_.remove(0, end + 1);
      return true;
    }
    if (deadline.hasExpired() || process_->state() == QProcess::NotRunning) return false;
    process_->waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
  }
}

}  // namespace orva::test
