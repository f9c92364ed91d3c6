#pragma once

#include "link/transport.h"

#include <QTcpSocket>

#include <memory>

namespace orva {

// The controller's Ethernet interface. Belongs to the thread that opens it.
class TcpTransport : public Transport {
 public:
  TcpTransport();
  ~TcpTransport() override;

  // `target.address` is the controller address as the -c switch gives it.
  int Open(const TransportTarget& target) override;
  void Close() override;
  bool IsOpen() const override;
  bool Send(const QByteArray& bytes) override;
  QByteArray ReadAvailable(double wait_seconds) override;

 private:
  std::unique_ptr<QTcpSocket> socket_;
};

}  // namespace orva
