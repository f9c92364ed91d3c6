#include "bytes.h"
#include "link/link_address.h"
#include "link/login.h"
#include "link_harness.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

using test::AnswerEnvelope;
using test::Bytes;
using test::ScriptedLink;
using test::ScriptedTransport;

const QByteArray kGreeting = "Welcome to ORVA TCP/IP V2.15";
const char kTty[] = "/nonexistent/ktx-test/tty%1";
const QString kNoTcp = QStringLiteral("Communication: No TCP/IP connection to the KTX");
const QString kRefusal = QStringLiteral("Communication: KTX refuses the login");
const QString kNoSerial = QStringLiteral(
    "Communication: No KTX found on the serial ports (from /nonexistent/ktx-test/tty2 to "
    "/nonexistent/ktx-test/tty3) Check the cable and the power of the KTX");
const QString kQuestion =
    "Data Echo Error. KTX is still rebooting? Cancel programming modules and retry";

// What went out over TCP, by name: the login packet, the version query, cancel-programming.
QString TcpSent(const ScriptedTransport& tcp) {
  QStringList sent;
  for (const QByteArray& packet : tcp.sent()) {
    const QByteArray frame = packet.mid(kEnvelopeLength);
    if (packet.size() == kLoginPacketLength) {
      sent << "login";
    } else if (frame == Bytes({'*', 0x07, 0, 0, 5, '#'})) {
      sent << "version";
    } else {
      sent << (frame == Bytes({'*', 0xD1, 0, 0, 8, '#'}) ? "cancel" : frame.toHex());
    }
  }
  return sent.join(' ');
}

void Ports(ScriptedLink& link, int first, int last) {
  link.SetSettings({{QStringLiteral("begcom"), first}, {QStringLiteral("endcom"), last}});
}
void Greet(ScriptedLink& link) { link.tcp.QueueReply(kGreeting); }
void Controller(ScriptedLink& link) { link.tcp.SetResponder(test::ControllerResponder(true)); }
void SerialController(ScriptedLink& link) {
  link.serial.SetResponder(test::ControllerResponder(false));
  Ports(link, 1, 1);
}
void ShortGreeting(ScriptedLink& link) { link.tcp.QueueReply(kGreeting.left(27)); }
void NoWelcome(ScriptedLink& link) { link.tcp.QueueReply("Welcome to ORVA TCP-IP V2.15"); }
void RefuseAndHangUp(ScriptedLink& link) {
  link.tcp.QueueReply(Bytes({'*', 14, '#'}));
  link.tcp.DropAfterNextReply();
}
void Silence(ScriptedLink& link) { link.tcp.QueueSilence(); }
void RefuseInDutch(ScriptedLink& link) {
  link.language = QStringLiteral("N");
  link.tcp.RefuseTarget(QStringLiteral("127.0.0.1"));
}
// The version query is answered with a wrong echo, then by the controller.
void WrongEcho(ScriptedLink& link) {
  const QByteArray wrong = Bytes({'*', 0x07, 0, 1, 5, 0, 0, 0, 0, 0, 0, 0, 0, '#'});
  Greet(link);
  link.tcp.QueueReply(AnswerEnvelope(wrong) + wrong);
  Controller(link);
}
void WrongEchoThenCancel(ScriptedLink& link) {
  WrongEcho(link);
  link.prompter.answers = {true};
}
// After the login the version query gets status 4, the code of a refused login; the serial port
// 2 answers.
void VersionStatus4(ScriptedLink& link) {
  Greet(link);
  link.tcp.SetResponder([](const QByteArray& sent) -> ScriptedTransport::Reply {
    const QByteArray answer = sent.mid(12, 5) + Bytes({4, '#'});
    return {{0, AnswerEnvelope(answer) + answer}};
  });
  SerialController(link);
  Ports(link, 2, 2);
}
void ThirdSerialPort(ScriptedLink& link) {
  link.installation.SetConfigField(QStringLiteral("rxethversie"), QStringLiteral("0215"));
  link.serial.RefuseTarget(QString(kTty).arg(1));
  link.serial.QueueSilence();
  SerialController(link);
  Ports(link, 1, 4);
}
void NoSerial(ScriptedLink& link) { Ports(link, 2, 3); }
void SerialAfterRefusedConnection(ScriptedLink& link) {
  link.tcp.RefuseTarget(QStringLiteral("127.0.0.1"));
  SerialController(link);
}
// A serial controller that would answer, but the settings name no ports.
void SerialWithoutPorts(ScriptedLink& link) {
  link.tcp.RefuseTarget(QStringLiteral("127.0.0.1"));
  link.serial.SetResponder(test::ControllerResponder(false));
}
void Reconnect(ScriptedLink& link) {
  link.ConnectTcp();
  link.tcp.RefuseTarget(QStringLiteral("127.0.0.1"));
}

struct Case {
  const char* name;
  const char* channels;  // SerOfEth: "S" first for serial, "E" second for TCP
  void (*script)(ScriptedLink&);
  int code;                        // of ConnectLink
  int state;                       // connected() afterwards
  const char* tcp_sent;            // see TcpSent
  const char* opened;              // TCP targets, then serial ports by number
  QString shown = {};              // the message shown, if any
  int asked = 0;                   // echo error questions
  double seconds = -1;             // when given
  const char* versions = nullptr;  // rxethversie, rxctlversie, ctltype
  const char* address = "127.0.0.1";
};

TEST(ConnectLink, ChannelsLoginAndVersion) {
  const Case cases[] = {
      {"TCP, two settling pauses", " E ", Controller, 99, 99, "login version", "127.0.0.1", "", 0,
       0.4, "0215 032032 12"},
      {"27 bytes of greeting", " E ", ShortGreeting, 251, 0, "login", "127.0.0.1", kNoTcp},
      // A refused login is no reason to try the serial ports.
      {"greeting without the welcome text", "SE ", NoWelcome, 4, 0, "login", "127.0.0.1", kRefusal},
      {"refusal, then hang-up", " E ", RefuseAndHangUp, 4, 0, "login", "127.0.0.1", kRefusal},
      {"silent login", " E ", Silence, 252, 0, "login", "127.0.0.1", kNoTcp, 0, 0.2 + 1.5},
      {"refused connection, in Dutch", " E ", RefuseInDutch, 99, 0, "", "127.0.0.1",
       "Communicatie: Geen TCP/IP verbinding met de KTX"},
      {"echo error, cancel and retry", " E ", WrongEchoThenCancel, 99, 99,
       "login version cancel version", "127.0.0.1", "", 1},
      {"echo error, given up", " E ", WrongEcho, 0, 0, "login version", "127.0.0.1", "", 1},
      // After a login a failed version query says nothing about it: the serial ports are next.
      {"version status 4", "SE ", VersionStatus4, 0, 2, "login version", "127.0.0.1 2"},
      {"serial ports in order", "S  ", ThirdSerialPort, 0, 3, "", "1 2 3", "", 0, 0.5 + 3.0 + 0.5,
       "0000 032032 12"},
      {"no serial port answers", "S  ", NoSerial, 0, 0, "", "2 3", kNoSerial},
      {"serial after a refused connection", "SE ", SerialAfterRefusedConnection, 99, 1, "",
       "127.0.0.1 1", kNoTcp},
      {"no controller address", "SE ", SerialController, 0, 1, "", "1", "", 0, -1, nullptr, ""},
      // No port is written to unless the settings name it: it may hold anything.
      {"serial allowed, no ports named", "SE ", SerialWithoutPorts, 99, 0, "", "127.0.0.1", kNoTcp},
      {"failed reconnect drops the old link", " E ", Reconnect, 99, 0, "", "127.0.0.1 127.0.0.1",
       kNoTcp},
  };
  qputenv(kSerialTemplateVariable, kTty);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedLink link(QLatin1String(c.address));
    c.script(link);
    link.SetSettings({{QStringLiteral("SerOfEth"), QLatin1String(c.channels)}});
    const double start = link.clock.Now();
    EXPECT_EQ(link.link->ConnectLink(kFactoryPassword, kFactoryPassword), c.code);
    EXPECT_EQ(link.link->connected(), c.state);
    if (c.state != 0) {
      EXPECT_EQ(link.link->use_ethernet(), c.state == Link::kViaTcp);
    }
    // A failed greeting leaves the socket to the next attempt, which closes it first.
    if (c.code == 0 || c.code == Link::kViaTcp) {
      EXPECT_EQ(link.tcp.IsOpen(), c.state == Link::kViaTcp);
    }
    EXPECT_EQ(TcpSent(link.tcp).toStdString(), c.tcp_sent);
    if (c.channels[1] == 'E') {
      EXPECT_EQ(link.captions.value(0), test::kWindowTitle + " (Opening " + c.address + ")");
    }
    const QString opened = (link.tcp.opened() + link.serial.opened()).join(' ');
    EXPECT_EQ(QString(opened).remove(QStringLiteral("/nonexistent/ktx-test/tty")).toStdString(),
              c.opened);
    QStringList shown;
    for (const auto& [title, text] : link.prompter.messages) shown << title + ": " + text;
    EXPECT_EQ(shown.join('\n').toStdString(), c.shown.toStdString());
    EXPECT_EQ(link.prompter.questions, QStringList(c.asked, kQuestion));
    if (c.seconds >= 0) {
      EXPECT_NEAR(link.clock.Now() - start, c.seconds, 1e-9);
    }
    if (c.versions) {
      const Record config = link.installation.Config();
      EXPECT_EQ(QStringList({*config.Text(u"rxethversie"), *config.Text(u"rxctlversie"),
                             *config.Text(u"ctltype")})
                    .join(' '),
                QLatin1String(c.versions));
    }
  }
  qunsetenv(kSerialTemplateVariable);
}

TEST(ConnectLink, LoginPacketCaptionsAndAddressField) {
  ScriptedLink link;
  link.SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral(" E ")}});
  Controller(link);
  EXPECT_EQ(link.link->EnsureConnected(kFactoryPassword, kFactoryPassword), 99);
  EXPECT_EQ(link.tcp.sent()[0], LoginPacket(QString(), QByteArray()));
  EXPECT_EQ(link.tcp.sent()[1].left(12), TcpEnvelope(kCommandFunctionId, 6));
  EXPECT_EQ(link.captions.last(), test::kWindowTitle + " (TCP/IP via 127.0.0.1)");
  EXPECT_EQ(link.installation.Config().Text(u"IPAddress"), QString(""));

  // The stored password and the user of the installation go into the packet, unless a password
  // is given.
  QByteArray stored = Bytes({1, 10});
  for (int i = 1; i <= 16; ++i) stored.append(Bytes({0, (i <= 2 ? "pw"[i - 1] : 0) + 10 + i}));
  link.SetSettings({{QStringLiteral("WW"), QString::fromLatin1(stored)}});
  link.installation.SetConfigField(QStringLiteral("ethuser"), QStringLiteral(" installer "));
  link.tcp.ForgetTraffic();
  EXPECT_EQ(link.link->ConnectLink(kFactoryPassword, kFactoryPassword), 99);
  EXPECT_EQ(link.tcp.sent()[0], LoginPacket(QStringLiteral("installer"), "pw"));
  link.tcp.ForgetTraffic();
  EXPECT_EQ(link.link->ConnectLink(kFactoryPassword, QStringLiteral("other")), 99);
  EXPECT_EQ(link.tcp.sent()[0], LoginPacket(QStringLiteral("installer"), "other"));
}

}  // namespace
}  // namespace orva
