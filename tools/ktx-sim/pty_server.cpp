#include "pty_server.h"

#include <QFile>
#include <QSocketNotifier>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace orva::sim {
namespace {

// A frame still incomplete after this long is given up, so that a half frame left by a
// client that went away cannot swallow the next client's first frame.
constexpr qint64 kStaleFrameMs = 1000;

bool MakeRaw(int fd) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return false;
  cfmakeraw(&settings);
  cfsetispeed(&settings, B115200);
  cfsetospeed(&settings, B115200);
  return tcsetattr(fd, TCSANOW, &settings) == 0;
}

QString SystemError(const char* what) {
  return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                      QString::fromLocal8Bit(std::strerror(errno)));
}

}  // namespace

PtyServer::PtyServer(Responder* responder, QObject* parent)
    : QObject(parent),
      responder_(responder),
      queue_([this](const QByteArray& bytes) { Write(bytes); }, this) {}

PtyServer::~PtyServer() {
  if (!link_.isEmpty()) QFile::remove(link_);
  if (slave_fd_ >= 0) ::close(slave_fd_);
  if (master_fd_ >= 0) ::close(master_fd_);
}

bool PtyServer::Open(const QString& link, QString* error) {
  master_fd_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_fd_ < 0) {
    *error = SystemError("posix_openpt");
    return false;
  }
  if (grantpt(master_fd_) != 0 || unlockpt(master_fd_) != 0) {
    *error = SystemError("grantpt/unlockpt");
    return false;
  }
  const char* name = ptsname(master_fd_);
  if (name == nullptr) {
    *error = SystemError("ptsname");
    return false;
  }
  device_ = QString::fromLocal8Bit(name);
  slave_fd_ = ::open(name, O_RDWR | O_NOCTTY);
  if (slave_fd_ < 0 || !MakeRaw(slave_fd_)) {
    *error = SystemError("raw mode");
    return false;
  }
  fcntl(master_fd_, F_SETFL, fcntl(master_fd_, F_GETFL) | O_NONBLOCK);
  if (!link.isEmpty()) {
    QFile::remove(link);
    if (!QFile::link(device_, link)) {
      *error = QStringLiteral("cannot create the link ") + link;
      return false;
    }
    link_ = link;
  }
  notifier_ = new QSocketNotifier(master_fd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &PtyServer::OnReadable);
  return true;
}

void PtyServer::OnReadable() {
  char chunk[4096];
  const ssize_t got = ::read(master_fd_, chunk, sizeof chunk);
  if (got <= 0) return;
  if (!buffer_.isEmpty() && last_byte_.isValid() && last_byte_.elapsed() > kStaleFrameMs) {
    responder_->Trace("serial", "stale", buffer_);
    buffer_.clear();
  }
  last_byte_.start();
  const QByteArray incoming(chunk, static_cast<int>(got));
  responder_->Trace("serial", "rx", incoming);
  buffer_.append(incoming);
  ProcessBuffer();
}

void PtyServer::ProcessBuffer() {
  while (!buffer_.isEmpty()) {
    const int start = buffer_.indexOf(kFrameStart);
    if (start < 0) {
      buffer_.clear();
      return;
    }
    buffer_.remove(0, start);
    const int length = FrameLength(buffer_);
    if (length == 0) return;
    if (length < 0) {
      buffer_.remove(0, 1);
      continue;
    }
    Request request;
    const bool parsed = ParseFrame(buffer_.left(length), &request);
    buffer_.remove(0, length);
    if (!parsed) continue;
    const AnswerPlan plan = responder_->Respond(request);
    if (plan.silent) continue;
    responder_->Trace("serial", "tx", plan.bytes);
    queue_.Enqueue(plan.bytes, plan.latency_ms, plan.pieces, plan.gap_ms);
  }
}

void PtyServer::Write(const QByteArray& bytes) {
  qsizetype written = 0;
  // Nobody reading the slave for a while means nobody wants the answer.
  int waits_left = 100;
  while (written < bytes.size()) {
    const ssize_t n = ::write(master_fd_, bytes.constData() + written, bytes.size() - written);
    if (n > 0) {
      written += n;
    } else if (errno == EINTR) {
      continue;
    } else if (errno != EAGAIN || --waits_left == 0) {
      responder_->Trace("serial", "write-error", bytes.mid(written));
      return;
    } else {
      usleep(1000);
    }
  }
}

}  // namespace orva::sim
