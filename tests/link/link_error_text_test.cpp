#include "link/link_error_text.h"
#include "bytes.h"
#include "link/login.h"
#include "link_harness.h"

#include <gtest/gtest.h>

#include <set>

namespace orva {
namespace {

using test::Bytes;
using test::ScriptedLink;

QString LookupForTest(int key) { return QStringLiteral("<text %1>").arg(key); }

QString Line(int code, int last_command = 56, const std::optional<Module>& module = {}) {
  return LinkErrorLine(code, last_command, module, LookupForTest);
}

// Every code of the message table. The texts are the controller's own; a sample of them is
// compared word for word, the rest must be reachable, distinct and carry their code.
constexpr int kTableCodes[] = {2,   3,   11,  12,  13,  14,  15,  16,  17,  44,  55,  56,  57,  63,
                               84,  98,  99,  100, 101, 102, 103, 104, 105, 106, 107, 111, 112, 113,
                               114, 115, 116, 127, 128, 129, 130, 150, 151, 152, 201, 202, 220, 221,
                               222, 223, 224, 225, 248, 249, 250, 251, 252, 253, 254};

TEST(LinkErrorLine, EveryTableEntryIsReachable) {
  std::set<QString> messages;
  for (const int code : kTableCodes) {
    const QString line = Line(code);
    const QString suffix = QStringLiteral(" (Err%1)").arg(code);
    ASSERT_TRUE(line.endsWith(suffix)) << line.toStdString();
    EXPECT_FALSE(line.startsWith(QStringLiteral("Unknown error"))) << code;
    messages.insert(line.chopped(suffix.size()));
  }
  EXPECT_EQ(messages.size(), std::size(kTableCodes));
  const std::pair<int, const char*> sample[] = {
      {2, "Address is not a RS232 address"},
      {44, "Firmware upgrade required. Minimum is V3.11"},
      {101, "Only \"R\" or \"W\" possible"},
      {107, "The module did not respond within .5s"},
      {115, "Invalid index. Memory Full?"},
      {152, "KTX_Cloud connection unknown result"},
      {222, "File length > 253"},
      {249, "TCP TX packet too long"},
      {250, "Echo OK. But wrong End Character or Data too long"},
      {254, "Communication error"},
  };
  for (const auto& [code, message] : sample) {
    EXPECT_EQ(Line(code), QString::fromUtf8(message) + QStringLiteral(" (Err%1)").arg(code));
  }
}

TEST(LinkErrorLine, SuccessAndUnknownCodes) {
  EXPECT_EQ(Line(0), QStringLiteral("<text 860> (Err0)"));
  for (const int code : {1, 58, 64, 200, 247, 256, -1}) {
    EXPECT_EQ(Line(code), QStringLiteral("Unknown error (Err%1)").arg(code));
  }
}

TEST(LinkErrorLine, Code255ByLastCommand) {
  Module module;
  module.serial = QStringLiteral(" 160012 ");
  module.place = QStringLiteral("Living room  ");
  EXPECT_EQ(Line(255, 40, module), QStringLiteral("Module 160012: Living room not found (Err255)"));
  EXPECT_EQ(Line(255, 41, std::nullopt), QStringLiteral("Module not found (Err255)"));
  module.place.clear();
  EXPECT_EQ(Line(255, 42, module), QStringLiteral("Module 160012:  not found (Err255)"));
  EXPECT_EQ(Line(255, 234), QStringLiteral("Error 255 (Err255)"));
  for (const int command : {9, 12, 68, 72}) {
    EXPECT_EQ(Line(255, command),
              QStringLiteral("Error on command %1: <text 749> error ! (Err255)").arg(command));
  }
  EXPECT_EQ(Line(255, 56), QStringLiteral("Error on command 56: (RX) Status (Err255)"));
  EXPECT_EQ(Line(255, 5), QStringLiteral("Error on command 5: (RX) ??? (Err255)"));
  EXPECT_EQ(Line(255, 7), QStringLiteral("Error on command 7: (RX) KTX Versie (Err255)"));
}

// What each kind of code does to an open TCP link: a time-out closes the socket, a controller
// status keeps it but asks for a new login, the rest keep the link.
TEST(LinkErrorText, EffectOnATcpLink) {
  const struct {
    int code;
    int connected;
    bool open;
  } cases[] = {{252, 0, false}, {106, 0, true},  {0, 99, true},   {115, 99, true},
               {127, 99, true}, {128, 99, true}, {201, 99, true}, {220, 99, true},
               {248, 99, true}, {251, 99, true}, {255, 99, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    ScriptedLink link;
    link.ConnectTcp();
    const int closes = link.tcp.close_count();
    link.link->LinkErrorText(c.code);
    EXPECT_EQ(link.link->connected(), c.connected);
    EXPECT_EQ(link.tcp.IsOpen(), c.open);
    EXPECT_EQ(link.tcp.close_count() > closes, !c.open);
  }
}

class LinkErrorTextTest : public testing::Test {
 protected:
  ScriptedLink link_;
};

TEST_F(LinkErrorTextTest, TextsAndASerialLinkThatOutlivesAControllerStatus) {
  link_.ConnectSerial();
  EXPECT_EQ(link_.link->LinkErrorText(0), QStringLiteral("Communication (Err0)"));
  EXPECT_EQ(link_.link->LinkErrorText(106), QStringLiteral("Invalid serial number (Err106)"));
  EXPECT_EQ(link_.link->connected(), 1);
  EXPECT_TRUE(link_.serial.IsOpen());
  EXPECT_EQ(link_.link->LinkErrorText(252), QStringLiteral("Receive time-out (Err252)"));
  EXPECT_EQ(link_.link->LinkErrorText(55), QStringLiteral("Port not open (Err55)"));
}

TEST_F(LinkErrorTextTest, ControllerStatusOverTcpLogsInAgainOnTheNextTransaction) {
  link_.ConnectTcp();
  link_.link->LinkErrorText(106);
  link_.tcp.SetResponder(test::ControllerResponder(true));
  int count = 1;
  const QByteArray result = link_.link->LinkTransact(56, QStringLiteral("R"), 12, 0, count, {});
  ASSERT_GE(link_.tcp.sent().size(), 3u);
  EXPECT_EQ(link_.tcp.sent()[0].size(), kLoginPacketLength) << "logged in again";
  EXPECT_EQ(link_.link->connected(), 99);
  EXPECT_EQ(result, Bytes({63}));
}

TEST_F(LinkErrorTextTest, ModuleReadActiveKeepsTheLink) {
  link_.ConnectTcp();
  link_.link->set_module_read_active(true);
  link_.link->LinkErrorCleanup(55);
  link_.link->LinkErrorText(106);
  EXPECT_EQ(link_.link->connected(), 99);
  EXPECT_TRUE(link_.tcp.IsOpen());
  link_.link->set_module_read_active(false);
  link_.link->LinkErrorCleanup(55);
  EXPECT_EQ(link_.link->connected(), 0);
  EXPECT_FALSE(link_.tcp.IsOpen());
}

TEST_F(LinkErrorTextTest, Code255AfterAMissingModuleRead) {
  link_.ConnectSerial();
  const QByteArray serial = Bytes({0x99, 0x99, 0x99});
  const QByteArray echo = Bytes({'*', 0x28, 0x00, 0x00, 0x0F});
  link_.serial.QueueReply(echo + Bytes({0xFF, 0x99, 0x99, 0x99, 0x00, '#'}));
  int count = 16;
  const QByteArray result = link_.link->LinkTransact(40, QStringLiteral("R"), 0, 0, count, serial);
  ASSERT_EQ(result, Bytes({255}));
  const std::optional<Module> module = link_.installation.ModuleBySerial(QStringLiteral("999999"));
  EXPECT_EQ(link_.link->LinkErrorText(255, module), QStringLiteral("Module not found (Err255)"));
  EXPECT_EQ(link_.link->LinkErrorText(255, link_.installation.ModuleBySerial("654321")),
            QStringLiteral("Module 654321: Attic not found (Err255)"));
  EXPECT_EQ(link_.link->connected(), 1);
}

class LinkTransactTest : public testing::Test {
 protected:
  QByteArray ReadStatus() {
    int count = 1;
    return link_.link->LinkTransact(56, QStringLiteral("R"), 12, 0, count, {});
  }
  ScriptedLink link_;
};

TEST_F(LinkTransactTest, EchoErrorDropsTheLinkThoughCleanupWouldNot) {
  link_.ConnectTcp();
  link_.link->LinkErrorCleanup(251);
  EXPECT_EQ(link_.link->connected(), 99);
  link_.tcp.QueueReply(QByteArray("ab"));
  EXPECT_EQ(ReadStatus(), Bytes({251}));
  EXPECT_EQ(link_.link->connected(), 0);
  EXPECT_FALSE(link_.tcp.IsOpen());
}

TEST_F(LinkTransactTest, ControllerStatusKeepsTheLink) {
  link_.ConnectTcp();
  const QByteArray echo = Bytes({'*', 0x38, 0x0C, 0x00, 0x00});
  link_.tcp.QueueReply(test::AnswerEnvelope(echo + Bytes({112, '#'})) + echo + Bytes({112, '#'}));
  EXPECT_EQ(ReadStatus(), Bytes({112}));
  EXPECT_EQ(link_.link->connected(), 99);
  EXPECT_TRUE(link_.tcp.IsOpen());
}

TEST_F(LinkTransactTest, FailedReconnectEndsWithPortNotOpen) {
  link_.SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral(" E ")}});
  link_.tcp.RefuseTarget(QStringLiteral("127.0.0.1"));
  EXPECT_EQ(ReadStatus(), Bytes({55}));
  EXPECT_EQ(link_.prompter.messages.size(), 1u);
  EXPECT_EQ(ReadStatus(), Bytes({55}));
  EXPECT_EQ(link_.prompter.messages.size(), 2u) << "every transaction tries again";
}

TEST_F(LinkTransactTest, ConnectsFirstAndLogsInAgainAfterATimeout) {
  link_.SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral(" E ")}});
  link_.tcp.SetResponder(test::ControllerResponder(true));
  EXPECT_EQ(ReadStatus(), Bytes({63}));
  EXPECT_EQ(link_.link->connected(), 99);
  EXPECT_EQ(link_.link->last_command(), 56);
  EXPECT_EQ(link_.tcp.sent().size(), 3u);

  link_.tcp.QueueSilence();
  EXPECT_EQ(ReadStatus(), Bytes({252}));
  EXPECT_EQ(link_.link->connected(), 0);
  EXPECT_EQ(ReadStatus(), Bytes({63}));
  EXPECT_EQ(link_.link->connected(), 99);
  EXPECT_EQ(link_.tcp.opened().size(), 2);
}

}  // namespace
}  // namespace orva
