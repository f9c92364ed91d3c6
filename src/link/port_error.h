#pragma once

#include <QAbstractSocket>
#include <QSerialPort>

namespace orva {

// Result codes of the socket's and the serial port's own failures. They stay inside the link.
int PortErrorCode(QAbstractSocket::SocketError error);
int PortErrorCode(QSerialPort::SerialPortError error);

}  // namespace orva
