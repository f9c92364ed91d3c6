#include "link/tcp_transport.h"

#include "link/device_io.h"
#include "link/link_address.h"
#include "link/port_error.h"
#include "link/result_codes.h"

namespace orva {

TcpTransport::TcpTransport() = default;
TcpTransport::~TcpTransport() = default;

int TcpTransport::Open(const TransportTarget& target) {
  Close();
  const std::optional<ControllerAddress> address = ParseControllerAddress(target.address);
  if (!address || address->host.isEmpty()) return kNoConnection;
  socket_ = std::make_unique<QTcpSocket>();
  socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  // Unbuffered: a frame goes to the kernel at once and an answer is read from it, without
  // toggling the socket's notifiers (and waking this thread's event loop) per transaction.
  socket_->connectToHost(address->host, address->port,
                         QIODevice::ReadWrite | QIODevice::Unbuffered);
  if (!socket_->waitForConnected(WaitMilliseconds(target.timeout_seconds))) {
    const int code = PortErrorCode(socket_->error());
    Close();
    return code == 0 ? kNoConnection : code;
  }
  return 0;
}

void TcpTransport::Close() {
  if (!socket_) return;
  socket_->abort();
  socket_.reset();
}

bool TcpTransport::IsOpen() const {
  return socket_ && socket_->state() == QAbstractSocket::ConnectedState;
}

bool TcpTransport::Send(const QByteArray& bytes) { return IsOpen() && WriteAll(*socket_, bytes); }

QByteArray TcpTransport::ReadAvailable(double wait_seconds) {
  if (!IsOpen()) return {};
  // The socket keeps no buffer: what is available is what the kernel holds. A read that may not
  // wait still looks once, so that a controller that hung up is seen before the next frame.
  qint64 available = socket_->bytesAvailable();
  if (available == 0) {
    if (!socket_->waitForReadyRead(WaitMilliseconds(wait_seconds))) return {};
    available = socket_->bytesAvailable();
    if (available == 0) {  // readable with nothing to read: the end of the stream
      Close();
      return {};
    }
  }
  return socket_->read(available);
}

}  // namespace orva
