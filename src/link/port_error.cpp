#include "link/port_error.h"

namespace orva {
namespace {

constexpr int kPortNotOpen = 55;
constexpr int kPortAlreadyOpen = 56;
constexpr int kWrongSocketState = 58;
constexpr int kUndefinedError = 100;

}  // namespace

int PortErrorCode(QAbstractSocket::SocketError error) {
  return error == QAbstractSocket::OperationError ? kWrongSocketState : kUndefinedError;
}

int PortErrorCode(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::NoError:
      return 0;
    case QSerialPort::OpenError:
      return kPortAlreadyOpen;
    case QSerialPort::NotOpenError:
      return kPortNotOpen;
    default:
      return kUndefinedError;
  }
}

}  // namespace orva
