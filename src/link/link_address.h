#pragma once

#include <QString>

#include <optional>

namespace orva {

inline constexpr quint16 kControllerPort = 8446;

// The controller's address from the -c switch: "host", "host:port", "[v6-address]" or
// "[v6-address]:port". A bare IPv6 address (more than one colon) carries no port.
struct ControllerAddress {
  QString host;
  quint16 port = kControllerPort;
};
// nullopt when a port is given but is not a number from 1 to 65535, or a bracket is not closed.
std::optional<ControllerAddress> ParseControllerAddress(const QString& text);

// The device of serial port number n. ORVA_SERIAL_PORT_TEMPLATE, when set, names it with %1
// standing for n (e.g. "/tmp/ktx/ttyKTX%1"); otherwise port n is COMn on Windows and
// /dev/ttyS<n-1> elsewhere, the way Linux numbers the same ports.
QString SerialDeviceName(int port_number);
QString SerialDeviceName(int port_number, const QString& name_template);

inline constexpr char kSerialTemplateVariable[] = "ORVA_SERIAL_PORT_TEMPLATE";

}  // namespace orva
