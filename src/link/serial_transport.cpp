#include "link/serial_transport.h"

#include "link/device_io.h"
#include "link/port_error.h"
#include "link/result_codes.h"

namespace orva {

std::optional<qint32> SerialSpeed(const QString& settings) {
  bool ok = false;
  const qint32 speed = settings.section(QLatin1Char(','), 0, 0).trimmed().toInt(&ok);
  if (!ok || speed <= 0) return std::nullopt;
  return speed;
}

SerialTransport::SerialTransport() = default;
SerialTransport::~SerialTransport() = default;

int SerialTransport::Open(const TransportTarget& target) {
  Close();
  const std::optional<qint32> speed = SerialSpeed(target.settings);
  if (!speed) return kUndefinedError;
  port_ = std::make_unique<QSerialPort>();
  port_->setPortName(target.address);
  if (!port_->open(QIODevice::ReadWrite)) {
    const int code = PortErrorCode(port_->error());
    port_.reset();
    return code == 0 ? kUndefinedError : code;
  }
  const bool configured = port_->setBaudRate(*speed) && port_->setDataBits(QSerialPort::Data8) &&
                          port_->setParity(QSerialPort::NoParity) &&
                          port_->setStopBits(QSerialPort::OneStop) &&
                          port_->setFlowControl(QSerialPort::NoFlowControl);
  if (!configured) {
    const int code = PortErrorCode(port_->error());
    Close();
    return code == 0 ? kUndefinedError : code;
  }
  // Pseudo-terminals have no modem lines; a port without RTS still talks.
  port_->setRequestToSend(true);
  port_->clearError();
  return 0;
}

void SerialTransport::Close() {
  if (!port_) return;
  port_->close();
  port_.reset();
}

bool SerialTransport::IsOpen() const { return port_ && port_->isOpen(); }

bool SerialTransport::Send(const QByteArray& bytes) { return IsOpen() && WriteAll(*port_, bytes); }

QByteArray SerialTransport::ReadAvailable(double wait_seconds) {
  if (!IsOpen()) return {};
  // As over TCP: the port's buffer fills only in a wait, so a read that may not wait looks once.
  const bool nothing_yet = port_->bytesAvailable() == 0;
  port_->waitForReadyRead(nothing_yet ? WaitMilliseconds(wait_seconds) : 0);
  const QByteArray bytes = port_->readAll();
  if (port_->error() == QSerialPort::ResourceError) Close();
  return bytes;
}

}  // namespace orva
