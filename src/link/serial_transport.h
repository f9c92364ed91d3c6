#pragma once

#include "link/transport.h"

#include <QSerialPort>

#include <memory>
#include <optional>

namespace orva {

// Line settings "115200,N,8,1": only the speed varies; the rest is fixed by the controller.
std::optional<qint32> SerialSpeed(const QString& settings);

// A serial port to the controller. Belongs to the thread that opens it.
class SerialTransport : public Transport {
 public:
  SerialTransport();
  ~SerialTransport() override;

  int Open(const TransportTarget& target) override;
  void Close() override;
  bool IsOpen() const override;
  bool Send(const QByteArray& bytes) override;
  QByteArray ReadAvailable(double wait_seconds) override;

 private:
  std::unique_ptr<QSerialPort> port_;
};

}  // namespace orva
