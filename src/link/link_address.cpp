#include "link/link_address.h"

namespace orva {
namespace {

std::optional<quint16> PortNumber(const QString& text) {
  bool ok = false;
  const uint port = text.toUInt(&ok);
  if (!ok || port == 0 || port > 65535) return std::nullopt;
  return static_cast<quint16>(port);
}

}  // namespace

std::optional<ControllerAddress> ParseControllerAddress(const QString& text) {
  const QString trimmed = text.trimmed();
  ControllerAddress address;
  if (trimmed.startsWith(QLatin1Char('['))) {
    const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    if (close < 0) return std::nullopt;
    address.host = trimmed.mid(1, close - 1);
    const QString rest = trimmed.mid(close + 1);
    if (rest.isEmpty()) return address;
    if (!rest.startsWith(QLatin1Char(':'))) return std::nullopt;
    const std::optional<quint16> port = PortNumber(rest.mid(1));
    if (!port) return std::nullopt;
    address.port = *port;
    return address;
  }
  if (trimmed.count(QLatin1Char(':')) != 1) {
    address.host = trimmed;
    return address;
  }
  const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
  const std::optional<quint16> port = PortNumber(trimmed.mid(colon + 1));
  if (!port) return std::nullopt;
  address.host = trimmed.left(colon);
  address.port = *port;
  return address;
}

QString SerialDeviceName(int port_number, const QString& name_template) {
  if (!name_template.isEmpty()) return name_template.arg(port_number);
#ifdef Q_OS_WIN
  return QStringLiteral("COM%1").arg(port_number);
#else
  return QStringLiteral("/dev/ttyS%1").arg(port_number - 1);
#endif
}

QString SerialDeviceName(int port_number) {
  return SerialDeviceName(port_number, qEnvironmentVariable(kSerialTemplateVariable));
}

}  // namespace orva
