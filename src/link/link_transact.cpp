#include "link/link.h"
#include "link/link_address.h"
#include "link/link_error_text.h"
#include "link/login.h"
#include "link/port_error.h"
#include "link/result_codes.h"
#include "store/language_texts.h"

namespace orva {
namespace {

constexpr double kSerialSettleSeconds = 0.5;

bool KeepsLink(int code) {
  switch (code) {
    case 0:
    case 115:
    case 127:
    case 128:
    case 201:
    case 220:
    case 248:
    case 251:
    case 255:
      return true;
    default:
      return false;
  }
}

bool MeansPortGone(int code) {
  return code == kPortNotOpen || code == kPortAlreadyOpen || code == kNoConnection ||
         code == kReceiveTimeout;
}

}  // namespace

QByteArray Link::LinkTransact(Command command, Direction direction, quint8 parameter1,
                              quint8 parameter2, int& count, const QByteArray& data, int attempts,
                              quint8 /*function_id*/) {
  unreachable_ = connected_ == 0 && EnsureConnected(kFactoryPassword, kFactoryPassword) == 0;
  const QByteArray result =
      SendAndReceive(command, direction, parameter1, parameter2, count, data, attempts);
  const int code = result.isEmpty() ? 0 : static_cast<quint8>(result.at(0));
  if (MeansPortGone(code) || code == kEchoError) CloseAll();
  return result;
}

QString Link::LinkErrorText(int code, const std::optional<Module>& module) {
  const LanguageTexts& texts = context_.texts;
  const QString text = LinkErrorLine(code, last_command_, module,
                                     [&texts](TextKey key) { return texts.LookupText(key); });
  LinkErrorCleanup(code);
  return text;
}

void Link::LinkErrorCleanup(int code) {
  if (module_read_active_ || KeepsLink(code)) return;
  if (MeansPortGone(code)) {
    CloseAll();
    return;
  }
  // A connected socket counts as gone here: after any other code over TCP the next transaction
  // logs in again, while a serial link stays.
  if (!ports_.serial.IsOpen()) connected_ = 0;
}

void Link::CloseAll() {
  connected_ = 0;
  ports_.serial.Close();
  ports_.tcp.Close();
}

int Link::OpenSerialPort(int port_number) {
  const int code = ports_.serial.Open(
      {SerialDeviceName(port_number), context_.serial_speed + QStringLiteral(",N,8,1"), 0});
  if (code != 0) return code;
  ports_.clock.Sleep(kSerialSettleSeconds);
  ports_.serial.ReadAvailable(0);
  return 0;
}

int Link::CloseSerialPort() {
  // Closing a port that is not open is Qt's NotOpenError on close(), which has a code of its own.
  if (!ports_.serial.IsOpen()) {
    return PortErrorCode(QSerialPort::NotOpenError, SerialAction::kClose);
  }
  ports_.serial.Close();
  return 0;
}

}  // namespace orva
