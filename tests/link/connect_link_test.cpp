#include "bytes.h"
#include "link/link_address.h"
#include "link/login.h"
#include "link_harness.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

using test::Bytes;

using test::ScriptedLink;
using test::ScriptedTransport;

const QString kNoTcp = QStringLiteral("No TCP/IP connection to the KTX");

// Serial ports as files of a test folder, so that nothing touches the machine's own ports.
class SerialTemplate {
 public:
  SerialTemplate() { qputenv(kSerialTemplateVariable, "/nonexistent/ktx-test/tty%1"); }
  ~SerialTemplate() { qunsetenv(kSerialTemplateVariable); }
  static QString Device(int n) { return QStringLiteral("/nonexistent/ktx-test/tty%1").arg(n); }
};

class ConnectLinkTest : public testing::Test {
 protected:
  void UseChannels(const char* ser_of_eth, int first = 1, int last = 4) {
    link_.SetSettings({{QStringLiteral("SerOfEth"), QLatin1String(ser_of_eth)},
                       {QStringLiteral("begcom"), first},
                       {QStringLiteral("endcom"), last}});
  }
  int Connect() { return link_.link->ConnectLink(kFactoryPassword, kFactoryPassword); }
  Record Config() { return link_.installation.Config(); }

  SerialTemplate serial_template_;
  ScriptedLink link_;
};

TEST_F(ConnectLinkTest, TcpLoginGreetingAndVersions) {
  UseChannels(" E ");
  link_.tcp.SetResponder(test::ControllerResponder(true));
  const double start = link_.clock.Now();
  EXPECT_EQ(Connect(), 99);
  EXPECT_EQ(link_.link->connected(), 99);
  EXPECT_TRUE(link_.link->use_ethernet());
  EXPECT_EQ(link_.tcp.opened(), QStringList({"127.0.0.1"}));
  ASSERT_EQ(link_.tcp.sent().size(), 2u);
  EXPECT_EQ(link_.tcp.sent()[0], LoginPacket(QString(), QByteArray()));
  EXPECT_EQ(link_.tcp.sent()[1].mid(12), Bytes({'*', 0x07, 0, 0, 5, '#'}));
  EXPECT_EQ(link_.captions, QStringList({test::kWindowTitle + " (Opening 127.0.0.1)",
                                         test::kWindowTitle + " (TCP/IP via 127.0.0.1)"}));
  EXPECT_TRUE(link_.prompter.messages.empty());
  EXPECT_EQ(Config().Text(u"IPAddress"), QString(""));
  EXPECT_EQ(Config().Text(u"rxethversie"), QStringLiteral("0215"));
  EXPECT_EQ(Config().Text(u"rxctlversie"), QStringLiteral("032032"));
  EXPECT_EQ(Config().Text(u"ctltype"), QStringLiteral("12"));
  EXPECT_NEAR(link_.clock.Now() - start, 0.4, 1e-9) << "two settling pauses of 0.2 s";
  EXPECT_TRUE(link_.serial.opened().isEmpty());
}

TEST_F(ConnectLinkTest, StoredPasswordAndUserGoIntoTheLoginPacket) {
  UseChannels(" E ");
  QByteArray stored = Bytes({1, 10});
  const QByteArray clear = "pw";
  for (int i = 1; i <= 16; ++i) {
    const int word = (i <= clear.size() ? clear.at(i - 1) : 0) + 10 + i;
    stored.append(Bytes({word >> 8, word & 0xFF}));
  }
  link_.SetSettings({{QStringLiteral("WW"), QString::fromLatin1(stored)}});
  link_.installation.SetConfigField(QStringLiteral("ethuser"), QStringLiteral(" installer "));
  link_.tcp.SetResponder(test::ControllerResponder(true));
  EXPECT_EQ(Connect(), 99);
  EXPECT_EQ(link_.tcp.sent()[0], LoginPacket(QStringLiteral("installer"), clear));

  link_.tcp.ForgetTraffic();
  EXPECT_EQ(link_.link->ConnectLink(kFactoryPassword, QStringLiteral("other")), 99);
  EXPECT_EQ(link_.tcp.sent()[0].mid(30, 16), QByteArray("other") + QByteArray(11, '\0'));
}

TEST_F(ConnectLinkTest, ControllerAddressWithPortIsShownAndUsed) {
  ScriptedLink link(QStringLiteral("[::1]:9001"));
  link.SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral(" E ")}});
  link.tcp.SetResponder(test::ControllerResponder(true));
  EXPECT_EQ(link.link->EnsureConnected(kFactoryPassword, kFactoryPassword), 99);
  EXPECT_EQ(link.tcp.opened(), QStringList({"[::1]:9001"}));
  EXPECT_EQ(link.captions.last(), test::kWindowTitle + " (TCP/IP via [::1]:9001)");
}

TEST_F(ConnectLinkTest, GreetingFailures) {
  struct Case {
    const char* name;
    ScriptedTransport::Reply greeting;
    bool hang_up;
    int code;
    QString message;
  } cases[] = {
      {"27 bytes with the welcome text", {{0, "Welcome to ORVA TCP/IP V2.1"}}, false, 251, kNoTcp},
      {"28 bytes without it",
       {{0, "Welcome to ORVA TCP-IP V2.15"}},
       false,
       4,
       QStringLiteral("KTX refuses the login")},
      {"refusal, then hang-up",
       {{0, Bytes({'*', 14, '#'})}},
       true,
       4,
       QStringLiteral("KTX refuses the login")},
      {"silence", {}, false, 252, kNoTcp},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedLink link;
    link.SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral(" E ")}});
    link.tcp.QueueReply(c.greeting);
    if (c.hang_up) link.tcp.DropAfterNextReply();
    EXPECT_EQ(link.link->ConnectLink(kFactoryPassword, kFactoryPassword), c.code);
    EXPECT_EQ(link.link->connected(), 0);
    ASSERT_EQ(link.prompter.messages.size(), 1u);
    EXPECT_EQ(link.prompter.messages[0].first, QStringLiteral("Communication"));
    EXPECT_EQ(link.prompter.messages[0].second, c.message);
    EXPECT_EQ(link.tcp.sent().size(), 1u) << "no version query after a failed login";
  }
}

TEST_F(ConnectLinkTest, SilentLoginWaitsOneAndAHalfSeconds) {
  UseChannels(" E ");
  const double start = link_.clock.Now();
  link_.tcp.QueueSilence();
  EXPECT_EQ(Connect(), 252);
  EXPECT_NEAR(link_.clock.Now() - start, 0.2 + 1.5, 1e-9);
}

TEST_F(ConnectLinkTest, FailureMessageInTheUsersLanguage) {
  UseChannels(" E ");
  link_.language = QStringLiteral("N");
  link_.tcp.RefuseTarget(QStringLiteral("127.0.0.1"));
  EXPECT_EQ(Connect(), 99);
  EXPECT_EQ(link_.link->connected(), 0);
  ASSERT_EQ(link_.prompter.messages.size(), 1u);
  EXPECT_EQ(link_.prompter.messages[0].first, QStringLiteral("Communicatie"));
  EXPECT_EQ(link_.prompter.messages[0].second, QStringLiteral("Geen TCP/IP verbinding met de KTX"));
}

TEST_F(ConnectLinkTest, EchoErrorQuestionAnsweredYesCancelsProgrammingAndRetries) {
  UseChannels(" E ");
  const QByteArray greeting = "Welcome to ORVA TCP/IP V2.15";
  const QByteArray wrong_echo = Bytes({'*', 0x07, 0, 1, 5, 0, 0, 0, 0, 0, 0, 0, 0, '#'});
  link_.tcp.QueueReply(greeting);
  link_.tcp.QueueReply(test::AnswerEnvelope(wrong_echo) + wrong_echo);
  link_.tcp.SetResponder(test::ControllerResponder(true));
  link_.prompter.answers = {true};
  EXPECT_EQ(Connect(), 99);
  EXPECT_EQ(link_.prompter.questions,
            QStringList({"Data Echo Error. KTX is still rebooting? Cancel programming modules "
                         "and retry"}));
  ASSERT_EQ(link_.tcp.sent().size(), 4u);
  EXPECT_EQ(link_.tcp.sent()[2].mid(12), Bytes({'*', 0xD1, 0, 0, 8, '#'}));
  EXPECT_EQ(link_.tcp.sent()[3].mid(12, 2), Bytes({'*', 0x07}));
}

TEST_F(ConnectLinkTest, EchoErrorQuestionAnsweredNoGivesUpSilently) {
  UseChannels(" E ");
  const QByteArray wrong_echo = Bytes({'*', 0x07, 0, 1, 5, 0, 0, 0, 0, 0, 0, 0, 0, '#'});
  link_.tcp.QueueReply(QByteArray("Welcome to ORVA TCP/IP V2.15"));
  link_.tcp.QueueReply(test::AnswerEnvelope(wrong_echo) + wrong_echo);
  link_.prompter.answers = {false};
  EXPECT_EQ(Connect(), 0);
  EXPECT_EQ(link_.link->connected(), 0);
  EXPECT_EQ(link_.prompter.questions.size(), 1);
  EXPECT_TRUE(link_.prompter.messages.empty());
  EXPECT_EQ(link_.tcp.sent().size(), 2u);
  EXPECT_FALSE(link_.tcp.IsOpen());
}

// Once the login has succeeded, a version query that fails says nothing about the login: whatever
// status the controller gives, the serial ports are tried next, without a message.
TEST_F(ConnectLinkTest, FailedVersionQueryOverTcpFallsBackToSerial) {
  for (const int status : {4, 6, 63}) {
    SCOPED_TRACE(status);
    ScriptedLink link;
    link.SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral("SE ")},
                      {QStringLiteral("begcom"), 2},
                      {QStringLiteral("endcom"), 2}});
    link.tcp.QueueReply(QByteArray("Welcome to ORVA TCP/IP V2.15"));
    link.tcp.SetResponder([status](const QByteArray& sent) -> ScriptedTransport::Reply {
      const QByteArray answer = sent.mid(12, 5) + Bytes({status, '#'});
      return {{0, test::AnswerEnvelope(answer) + answer}};
    });
    link.serial.SetResponder(test::ControllerResponder(false));
    EXPECT_EQ(link.link->EnsureConnected(kFactoryPassword, kFactoryPassword), 2);
    EXPECT_FALSE(link.link->use_ethernet());
    EXPECT_FALSE(link.tcp.IsOpen());
    EXPECT_TRUE(link.prompter.messages.empty());
  }
}

TEST_F(ConnectLinkTest, TwoNumberVersionEndsInZeroZero) {
  UseChannels(" E ");
  link_.installation.SetConfigField(QStringLiteral("rxctlversie"), QStringLiteral("032032"));
  link_.tcp.QueueReply(QByteArray("Welcome to ORVA TCP/IP V2.15"));
  link_.tcp.SetResponder([](const QByteArray& sent) -> ScriptedTransport::Reply {
    const QByteArray answer = test::VersionAnswer(sent.mid(12), 7, Bytes({4, 1}));
    return {{0, test::AnswerEnvelope(answer) + answer}};
  });
  EXPECT_EQ(Connect(), 99);
  EXPECT_EQ(Config().Text(u"rxctlversie"), QStringLiteral("040100"));
  EXPECT_EQ(Config().Text(u"ctltype"), QStringLiteral("07"));
}

TEST_F(ConnectLinkTest, SerialOnlyTriesThePortsInOrder) {
  UseChannels("S  ", 1, 4);
  link_.installation.SetConfigField(QStringLiteral("rxethversie"), QStringLiteral("0215"));
  link_.serial.RefuseTarget(SerialTemplate::Device(1));
  link_.serial.QueueSilence();
  link_.serial.SetResponder(test::ControllerResponder(false));
  const double start = link_.clock.Now();
  Connect();
  EXPECT_EQ(link_.link->connected(), 3);
  EXPECT_FALSE(link_.link->use_ethernet());
  EXPECT_TRUE(link_.tcp.opened().isEmpty());
  EXPECT_EQ(link_.serial.opened(),
            QStringList(
                {SerialTemplate::Device(1), SerialTemplate::Device(2), SerialTemplate::Device(3)}));
  EXPECT_EQ(Config().Text(u"rxethversie"), QStringLiteral("0000"));
  EXPECT_EQ(Config().Text(u"rxctlversie"), QStringLiteral("032032"));
  EXPECT_TRUE(link_.prompter.messages.empty());
  EXPECT_NEAR(link_.clock.Now() - start, 0.5 + 3.0 + 0.5, 1e-9) << "settle, silence, settle";
}

TEST_F(ConnectLinkTest, ClosingASerialPortThatIsNotOpenIsReported) {
  EXPECT_EQ(link_.link->CloseSerialPort(), 84);
  link_.ConnectSerial();
  ASSERT_TRUE(link_.serial.IsOpen());
  EXPECT_EQ(link_.link->CloseSerialPort(), 0);
  EXPECT_FALSE(link_.serial.IsOpen());
  EXPECT_EQ(link_.link->CloseSerialPort(), 84);
}

TEST_F(ConnectLinkTest, NoSerialPortAnswers) {
  UseChannels("S  ", 2, 3);
  EXPECT_EQ(Connect(), 0);
  EXPECT_EQ(link_.link->connected(), 0);
  EXPECT_EQ(link_.serial.opened(),
            QStringList({SerialTemplate::Device(2), SerialTemplate::Device(3)}));
  ASSERT_EQ(link_.prompter.messages.size(), 1u);
  EXPECT_EQ(link_.prompter.messages[0].second,
            QStringLiteral("No KTX found on the serial ports (from %1 to %2) Check the cable "
                           "and the power of the KTX")
                .arg(SerialTemplate::Device(2), SerialTemplate::Device(3)));
}

TEST_F(ConnectLinkTest, SerialAfterTcpFailsButNotAfterARefusal) {
  UseChannels("SE ", 1, 1);
  link_.tcp.RefuseTarget(QStringLiteral("127.0.0.1"));
  link_.serial.SetResponder(test::ControllerResponder(false));
  EXPECT_EQ(link_.link->EnsureConnected(kFactoryPassword, kFactoryPassword), 1);
  EXPECT_EQ(link_.prompter.messages.size(), 1u) << "the TCP failure is still shown";

  ScriptedLink refused;
  refused.SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral("SE ")}});
  refused.tcp.QueueReply(QByteArray("Welcome to the wrong controller"));
  EXPECT_EQ(refused.link->EnsureConnected(kFactoryPassword, kFactoryPassword), 0);
  EXPECT_TRUE(refused.serial.opened().isEmpty());
}

TEST_F(ConnectLinkTest, EmptyControllerAddressGoesStraightToSerial) {
  ScriptedLink link(QString{});
  link.SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral("SE ")},
                    {QStringLiteral("begcom"), 1},
                    {QStringLiteral("endcom"), 1}});
  link.serial.SetResponder(test::ControllerResponder(false));
  EXPECT_EQ(link.link->EnsureConnected(kFactoryPassword, kFactoryPassword), 1);
  EXPECT_TRUE(link.tcp.opened().isEmpty());
  EXPECT_TRUE(link.prompter.messages.empty());
  EXPECT_EQ(link.captions, QStringList({test::kWindowTitle + " (Opening )"}));
}

TEST_F(ConnectLinkTest, FailedReconnectDoesNotKeepTheOldLink) {
  link_.ConnectTcp();
  ASSERT_EQ(link_.link->connected(), 99);
  link_.tcp.RefuseTarget(QStringLiteral("127.0.0.1"));
  EXPECT_EQ(link_.link->EnsureConnected(kFactoryPassword, kFactoryPassword), 0);
  EXPECT_FALSE(link_.tcp.IsOpen());
}

TEST_F(ConnectLinkTest, NeitherChannelConfigured) {
  UseChannels("   ");
  EXPECT_EQ(Connect(), 0);
  EXPECT_TRUE(link_.tcp.opened().isEmpty());
  EXPECT_TRUE(link_.serial.opened().isEmpty());
  EXPECT_TRUE(link_.prompter.messages.empty());
}

}  // namespace
}  // namespace orva
