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
  socket_->connectToHost(address->host, address->port);
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
  if (!socket_) return {};
  // Without an event loop, bytes reach the socket's buffer only through a wait: a read that may
  // not wait still looks once, or a late answer would lie in front of the next one.
  if (IsOpen()) {
    const bool nothing_yet = socket_->bytesAvailable() == 0;
    socket_->waitForReadyRead(nothing_yet ? WaitMilliseconds(wait_seconds) : 0);
  }
  return socket_->readAll();
}

}  // namespace orva
