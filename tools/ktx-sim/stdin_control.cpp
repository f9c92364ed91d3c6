#include "stdin_control.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>

namespace orva::sim {
namespace {

int signal_fds[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(signal_fds[0], &byte, 1);
}

}  // namespace

StdinControl::StdinControl(Faults* faults, const Responder* responder, std::function<int()> logins,
                           QObject* parent)
    : QObject(parent),
      faults_(faults),
      responder_(responder),
      logins_(std::move(logins)),
      notifier_(new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this)) {
  connect(notifier_, &QSocketNotifier::activated, this, &StdinControl::OnReadable);
}

void StdinControl::OnReadable() {
  char chunk[1024];
  const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
  if (got <= 0) {
    // End of input (or /dev/null): the simulator goes on without control lines.
    notifier_->setEnabled(false);
    return;
  }
  buffer_.append(chunk, static_cast<int>(got));
  int end;
  while ((end = buffer_.indexOf('\n')) >= 0) {
    const QString line = QString::fromLatin1(buffer_.left(end)).trimmed();
    buffer_.remove(0, end + 1);
    if (line.isEmpty()) continue;
    if (line == QLatin1String("quit")) {
      QCoreApplication::quit();
      return;
    }
    if (line == QLatin1String("logins")) {
      PrintLine(QStringLiteral("logins %1").arg(logins_()));
      continue;
    }
    if (line == QLatin1String("reads")) {
      PrintLine(QStringLiteral("reads %1").arg(responder_->module_reads()));
      continue;
    }
    if (line == QLatin1String("statuses")) {
      PrintLine(QStringLiteral("statuses %1").arg(responder_->status_requests()));
      continue;
    }
    PrintLine(HandleControlLine(line, faults_));
  }
}

void PrintLine(const QString& line) {
  std::fputs(line.toLocal8Bit().constData(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void QuitOnSignals() {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signal_fds) != 0) return;
  auto* notifier = new QSocketNotifier(signal_fds[1], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A test that stopped reading our stdout must not kill us mid-answer.
  std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace orva::sim
