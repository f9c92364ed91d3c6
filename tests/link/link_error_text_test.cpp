#include "link/link_error_text.h"
#include "link/login.h"
#include "link_harness.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

using test::ScriptedLink;

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray bytes;
  for (const int value : values) bytes.append(static_cast<char>(value));
  return bytes;
}

QString LookupForTest(int key) { return QStringLiteral("<text %1>").arg(key); }

QString Line(int code, int last_command = 56, const std::optional<Record>& module = {}) {
  return LinkErrorLine(code, last_command, module, LookupForTest);
}

TEST(LinkErrorLine, EveryFixedMessage) {
  const std::pair<int, const char*> table[] = {
      {2, "Address is not a RS232 address"},
      {3, "TX error"},
      {11, "Wrong TCP function id"},
      {12, "Wrong TCP protocolversion"},
      {13, "Wrong TCP request id"},
      {14, "Wrong Password"},
      {15, "Password could not be saved"},
      {16, "Password not sent yet"},
      {17, "TCP/IP packet too short"},
      {44, "Firmware upgrade required. Minimum is V3.11"},
      {55, "Port not open"},
      {56, "Port already open"},
      {57, "Cannot connect to Ethernet interface"},
      {63, "PDA-command error"},
      {84, "Cannot close"},
      {98, "Timed out"},
      {99, "Procedure interrupted"},
      {100, "Undefined communication error"},
      {101, "Only \"R\" or \"W\" possible"},
      {102, "Wrong number"},
      {103, "Wrong offset"},
      {104, "Invalid DATA length"},
      {105, "Data out of range"},
      {106, "Invalid serial number"},
      {107, "The module did not respond within .5s"},
      {111, "Invalid mode"},
      {112, "Invalid address"},
      {113, "Invalid preset number"},
      {114, "Invalid switch block number"},
      {115, "Invalid index. Memory Full?"},
      {116, "Only \"I\" or \"O\" possible"},
      {127, "Bus receive error"},
      {128, "Bus check error"},
      {129, "Bus data corrupt"},
      {130, "Module Power error"},
      {150, "Wrong token"},
      {151, "KTX not connected to Cloud"},
      {152, "KTX_Cloud connection unknown result"},
      {201, "Verify error"},
      {202, "Address verify error"},
      {220, "Wrong Module Type"},
      {221, "Wrong file number"},
      {222, "File length > 253"},
      {223, "Wrong packet length"},
      {224, "Slave device failure"},
      {225, "Wrong address(es)"},
      {248, "CRC Error"},
      {249, "TCP TX packet too long"},
      {250, "Echo OK. But wrong End Character or Data too long"},
      {251, "Echo Error"},
      {252, "Receive time-out"},
      {253, "Transmit time-out"},
      {254, "Communication error"},
  };
  for (const auto& [code, message] : table) {
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
  Record module;
  module.Add(QStringLiteral("serienr"), QVariant(QStringLiteral(" 160012 ")));
  module.Add(QStringLiteral("plaats"), QVariant(QStringLiteral("Living room  ")));
  EXPECT_EQ(Line(255, 40, module), QStringLiteral("Module 160012: Living room not found (Err255)"));
  EXPECT_EQ(Line(255, 41, std::nullopt), QStringLiteral("Module not found (Err255)"));
  Record without_place;
  without_place.Add(QStringLiteral("serienr"), QVariant(QStringLiteral("160012")));
  without_place.Add(QStringLiteral("plaats"), std::nullopt);
  EXPECT_EQ(Line(255, 42, without_place), QStringLiteral("Module 160012:  not found (Err255)"));
  EXPECT_EQ(Line(255, 234), QStringLiteral("Error 255 (Err255)"));
  for (const int command : {9, 12, 68, 72}) {
    EXPECT_EQ(Line(255, command),
              QStringLiteral("Error on command %1: <text 749> error ! (Err255)").arg(command));
  }
  EXPECT_EQ(Line(255, 56), QStringLiteral("Error on command 56: (RX) Status (Err255)"));
  EXPECT_EQ(Line(255, 5), QStringLiteral("Error on command 5: (RX) ??? (Err255)"));
  EXPECT_EQ(Line(255, 7), QStringLiteral("Error on command 7: (RX) KTX Versie (Err255)"));
}

class LinkErrorTextTest : public testing::Test {
 protected:
  ScriptedLink link_;
};

TEST_F(LinkErrorTextTest, SuccessLeavesTheLinkAlone) {
  link_.ConnectSerial();
  EXPECT_EQ(link_.link->LinkErrorText(0), QStringLiteral("Communication (Err0)"));
  EXPECT_EQ(link_.link->connected(), 1);
  EXPECT_TRUE(link_.serial.IsOpen());
}

TEST_F(LinkErrorTextTest, ReceiveTimeoutClosesPortAndSocket) {
  link_.ConnectTcp();
  const int closes = link_.tcp.close_count();
  EXPECT_EQ(link_.link->LinkErrorText(252), QStringLiteral("Receive time-out (Err252)"));
  EXPECT_EQ(link_.link->connected(), 0);
  EXPECT_FALSE(link_.tcp.IsOpen());
  EXPECT_GT(link_.tcp.close_count(), closes);
}

TEST_F(LinkErrorTextTest, PortNotOpenText) {
  EXPECT_EQ(link_.link->LinkErrorText(55), QStringLiteral("Port not open (Err55)"));
}

TEST_F(LinkErrorTextTest, ControllerStatusOverTcpMeansLoggingInAgain) {
  link_.ConnectTcp();
  EXPECT_EQ(link_.link->LinkErrorText(106), QStringLiteral("Invalid serial number (Err106)"));
  EXPECT_EQ(link_.link->connected(), 0);
  EXPECT_TRUE(link_.tcp.IsOpen()) << "the socket itself is left open";

  link_.tcp.SetResponder(test::ControllerResponder(true));
  int count = 1;
  const QByteArray result = link_.link->LinkTransact(56, QStringLiteral("R"), 12, 0, count, {});
  ASSERT_GE(link_.tcp.sent().size(), 3u);
  EXPECT_EQ(link_.tcp.sent()[0].size(), kLoginPacketLength) << "logged in again";
  EXPECT_EQ(link_.link->connected(), 99);
  EXPECT_EQ(result, Bytes({63}));
}

TEST_F(LinkErrorTextTest, ControllerStatusKeepsASerialLink) {
  link_.ConnectSerial();
  link_.link->LinkErrorText(106);
  EXPECT_EQ(link_.link->connected(), 1);
}

TEST_F(LinkErrorTextTest, CodesThatKeepTheLink) {
  link_.ConnectTcp();
  for (const int code : {0, 115, 127, 128, 201, 220, 248, 251, 255}) {
    link_.link->LinkErrorText(code);
    EXPECT_EQ(link_.link->connected(), 99) << code;
  }
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
  const std::optional<Record> module = link_.installation.ModuleBySerial(QStringLiteral("999999"));
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

TEST_F(LinkTransactTest, ConnectsFirstWhenNoLinkIsOpen) {
  link_.SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral(" E ")}});
  link_.tcp.SetResponder(test::ControllerResponder(true));
  EXPECT_EQ(ReadStatus(), Bytes({63}));
  EXPECT_EQ(link_.link->connected(), 99);
  EXPECT_EQ(link_.link->last_command(), 56);
  EXPECT_EQ(link_.tcp.sent().size(), 3u);
}

TEST_F(LinkTransactTest, FailedReconnectEndsWithPortNotOpen) {
  link_.SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral(" E ")}});
  link_.tcp.RefuseTarget(QStringLiteral("127.0.0.1"));
  EXPECT_EQ(ReadStatus(), Bytes({55}));
  EXPECT_EQ(link_.prompter.messages.size(), 1u);
  EXPECT_EQ(ReadStatus(), Bytes({55}));
  EXPECT_EQ(link_.prompter.messages.size(), 2u) << "every transaction tries again";
}

TEST_F(LinkTransactTest, TimeoutDropsTheLinkAndTheNextTransactionLogsInAgain) {
  link_.ConnectTcp();
  link_.tcp.QueueSilence();
  EXPECT_EQ(ReadStatus(), Bytes({252}));
  EXPECT_EQ(link_.link->connected(), 0);
  link_.tcp.SetResponder(test::ControllerResponder(true));
  EXPECT_EQ(ReadStatus(), Bytes({63}));
  EXPECT_EQ(link_.link->connected(), 99);
  EXPECT_EQ(link_.tcp.opened().size(), 2);
}

}  // namespace
}  // namespace orva
