#include "link/link.h"
#include "link/link_address.h"
#include "link/login.h"
#include "link/prompter.h"
#include "link/result_codes.h"
#include "store/installation_db.h"
#include "store/language_texts.h"
#include "store/settings_db.h"

namespace orva {
namespace {

constexpr double kSettleSeconds = 0.2;
constexpr double kConnectSeconds = 1.5;
constexpr double kGreetingSeconds = 1.5;
const QString kEchoQuestion =
    QStringLiteral("Data Echo Error. KTX is still rebooting? Cancel programming modules and retry");

QChar CharAt(const QString& text, int index) {
  return index < text.size() ? text.at(index) : QChar();
}

}  // namespace

int Link::EnsureConnected(const QString& user_text, const QString& password_text) {
  ConnectLink(user_text, password_text);
  return connected_;
}

int Link::ConnectLink(const QString& /*user_text*/, const QString& password_text) {
  const LinkSettings settings = context_.settings.ForLink();
  const QString& channels = settings.channels;
  // Every attempt starts by closing what is open, so an old link must not count while it runs.
  connected_ = 0;
  int code = 0;
  if (CharAt(channels, 1) == QLatin1Char('E')) code = ConnectTcp(password_text);
  login_refused_ = code == kRefused || code == kRefusedOther;
  if (connected_ != kViaTcp && code != kRefused && code != kRefusedOther &&
      CharAt(channels, 0) == QLatin1Char('S') && settings.serial_ports &&
      !ConnectSerial(*settings.serial_ports)) {
    code = 0;
  }
  return code;
}

QString Link::LoginRefusal() const {
  return login_refused_ ? context_.texts.LookupText(TextKey::kLoginRefused) : QString();
}

void Link::SetCaption(const QString& suffix) {
  if (context_.caption) context_.caption(context_.window_title + suffix);
}

int Link::ConnectTcp(const QString& password_text) {
  context_.installation.CompleteIpAddress();
  const QString host = context_.controller_address.trimmed();
  SetCaption(QStringLiteral(" (Opening %1)").arg(host));
  if (host.isEmpty()) return 0;
  framing_ = Framing::Tcp(ports_.tcp);
  ports_.tcp.Close();
  ports_.clock.Sleep(kSettleSeconds);
  const QByteArray password = password_text == kFactoryPassword
                                  ? DecodePassword(context_.settings.ForLink().stored_password)
                                  : password_text.toLatin1();
  int code = kViaTcp;
  if (ports_.tcp.Open({host, QString(), kConnectSeconds}) == 0)
    code = LoginAndGreet(host, password);
  if (code != 0) {
    ShowTcpFailure(code);
    return code;
  }
  ports_.clock.Sleep(kSettleSeconds);
  const QByteArray version = QueryVersion();
  if (!version.isEmpty() && version.at(0) == 0) {
    StoreVersions(version);
    connected_ = kViaTcp;
    return kViaTcp;
  }
  // The login itself went through: whatever the controller answered, the serial ports may still
  // serve, and a status of 4 or 6 here must not pass for a refused login.
  ports_.tcp.Close();
  return 0;
}

int Link::LoginAndGreet(const QString& host, const QByteArray& password) {
  if (!ports_.tcp.Send(LoginPacket(context_.installation.EthernetUser(), password))) {
    return kReceiveTimeout;
  }
  QByteArray reply;
  const double deadline = ports_.clock.Now() + kGreetingSeconds;
  while (reply.size() < kGreetingLength && Remaining(deadline) > 0 && ports_.tcp.IsOpen()) {
    reply.append(ports_.tcp.ReadAvailable(Remaining(deadline)));
  }
  if (reply.isEmpty()) return kReceiveTimeout;
  if (!ports_.tcp.IsOpen()) return kRefused;
  reply.append(ports_.tcp.ReadAvailable(0));
  if (reply.size() < kGreetingLength) return kEchoError;
  const std::optional<QString> interface_version = GreetingInterfaceVersion(reply);
  if (!interface_version) return kRefused;
  context_.installation.StoreInterfaceVersion(*interface_version);
  SetCaption(QStringLiteral(" (TCP/IP via %1)").arg(host));
  return 0;
}

QByteArray Link::QueryVersion() {
  const auto query = [this] {
    int count = 6;
    return SendAndReceive(Command::kVersion, Direction::kRead, 0, 0, count, {});
  };
  QByteArray result = query();
  if (result.startsWith(char(kEchoError)) && context_.prompter.AskYesNo(kEchoQuestion)) {
    int count = 9;
    SendAndReceive(Command::kCancelProgramming, Direction::kWrite, 0, 0, count, {});
    result = query();
  }
  return result;
}

void Link::StoreVersions(const QByteArray& result) {
  const ControllerVersion version = ParseVersionResult(result);
  context_.installation.StoreControllerVersion(version.type, version.version);
}

void Link::ShowTcpFailure(int code) {
  const LanguageTexts& texts = context_.texts;
  QString text;
  if (code == kRefused || code == kRefusedOther) {
    text = texts.LookupText(TextKey::kLoginRefused);
  } else if (texts.LanguageLetter() == QLatin1String("E")) {
    text = QStringLiteral("No TCP/IP ") + texts.LookupText(TextKey::kConnectionToController);
  } else {
    text = texts.LookupText(TextKey::kNo) + QStringLiteral(" TCP/IP ") +
           texts.LookupText(TextKey::kConnectionToController);
  }
  context_.prompter.ShowMessage(texts.LookupText(TextKey::kCommunication), text);
}

bool Link::ConnectSerial(std::pair<int, int> ports) {
  context_.installation.StoreInterfaceVersion(QStringLiteral("0000"));
  framing_ = Framing::Serial(ports_.serial);
  const auto [first, last] = ports;
  for (int port = first; port <= last; ++port) {
    CloseSerialPort();
    if (OpenSerialPort(port) != 0) continue;
    const QByteArray version = QueryVersion();
    if (version.isEmpty() || version.at(0) != 0) {
      CloseSerialPort();
      continue;
    }
    StoreVersions(version);
    connected_ = port;
    return true;
  }
  // The ports are named as they were opened: "COM1" on Windows, "/dev/ttyS0" here.
  const LanguageTexts& texts = context_.texts;
  context_.prompter.ShowMessage(texts.LookupText(TextKey::kCommunication),
                                QStringLiteral("%1 (%2 %3 %4 %5) %6")
                                    .arg(texts.LookupText(TextKey::kNoControllerOnSerialPorts),
                                         texts.LookupText(TextKey::kFrom), SerialDeviceName(first),
                                         texts.LookupText(TextKey::kTo), SerialDeviceName(last),
                                         texts.LookupText(TextKey::kCheckCableAndPower)));
  return false;
}

}  // namespace orva
