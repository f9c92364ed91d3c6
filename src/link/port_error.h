#pragma once

#include <QAbstractSocket>
#include <QSerialPort>

namespace orva {

// What the serial port was asked to do. Qt reports a close of a port that is not open with the
// same error as a setting changed on a closed port; the controller link tells the two apart.
enum class SerialAction { kUse, kClose };

// Result codes of the socket's and the serial port's own failures. They stay inside the link.
int PortErrorCode(QAbstractSocket::SocketError error);
int PortErrorCode(QSerialPort::SerialPortError error, SerialAction action = SerialAction::kUse);

}  // namespace orva
