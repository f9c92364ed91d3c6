#include "link/port_error.h"
#include "link/result_codes.h"

namespace orva {

int PortErrorCode(QAbstractSocket::SocketError error) {
  return error == QAbstractSocket::OperationError ? kWrongSocketState : kUndefinedError;
}

int PortErrorCode(QSerialPort::SerialPortError error, SerialAction action) {
  switch (error) {
    case QSerialPort::NoError:
      return 0;
    case QSerialPort::OpenError:
      return kPortAlreadyOpen;
    case QSerialPort::NotOpenError:
      return action == SerialAction::kClose ? kCannotClose : kPortNotOpen;
    default:
      return kUndefinedError;
  }
}

}  // namespace orva
