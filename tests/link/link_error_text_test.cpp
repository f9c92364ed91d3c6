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

QString Line(int code, int last_command = 56, const std::optional<Module>& module = {}) {
  return LinkErrorLine(code, last_command, module, [](TextKey key) {
    return QStringLiteral("<text %1>").arg(static_cast<int>(key));
  });
}

// Every code the controller documents has a message of its own; other codes are unknown.
TEST(LinkErrorLine, MessagesByCode) {
  std::set<QString> messages;
  int known = 0;
  for (int code = -1; code <= 256; ++code) {
    const QString line = Line(code);
    ASSERT_TRUE(line.endsWith(QStringLiteral(" (Err%1)").arg(code))) << line.toStdString();
    if (line.startsWith("Unknown error (Err")) continue;
    messages.insert(line.section(" (Err", 0, 0));
    ++known;
  }
  EXPECT_EQ(known, 55) << "53 documented codes, 0 and 255";
  EXPECT_EQ(messages.size(), 55u) << "no two codes share a message";
  EXPECT_EQ(Line(0), QStringLiteral("<text 860> (Err0)"));
  EXPECT_EQ(Line(44), QStringLiteral("Firmware upgrade required. Minimum is V3.11 (Err44)"));
  EXPECT_EQ(Line(110), QStringLiteral("Unknown error (Err110)"));
  EXPECT_EQ(Line(111), QStringLiteral("Invalid mode (Err111)"));
}

// 255 names what failed: the module of a module read, else the last command.
TEST(LinkErrorLine, Code255ByLastCommand) {
  Module module;
  module.serial = QStringLiteral(" 160012 ");
  module.place = QStringLiteral("Living room  ");
  Module without_place = module;
  without_place.place.clear();
  const struct {
    int command;
    std::optional<Module> module;
    const char* message;
  } cases[] = {
      {40, module, "Module 160012: Living room not found"},
      {41, std::nullopt, "Module not found"},
      {42, without_place, "Module 160012:  not found"},
      {234, std::nullopt, "Error 255"},
      {12, std::nullopt, "Error on command 12: <text 749> error !"},
      {56, std::nullopt, "Error on command 56: (RX) Status"},
      {127, std::nullopt, "Error on command 127: (RX) "},
      {0xA8, std::nullopt, "Error on command 168: (TX) ModuleSram"},
      {71 + 128, std::nullopt, "Error on command 199: (TX) Copy Data from KTX to SD"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Line(255, c.command, c.module), QString::fromUtf8(c.message) + " (Err255)");
  }
}

// What each kind of code does to an open link: a time-out closes the socket, a controller status
// asks a TCP link for a new login, the rest keep the link. The scan marks module reads, so that a
// failed read keeps the link.
TEST(LinkErrorText, EffectOnTheLink) {
  const struct {
    int code;
    bool tcp;
    int connected;
    bool open;
    bool module_read = false;
  } cases[] = {{252, true, 0, false},  {106, true, 0, true},        {0, true, 99, true},
               {251, true, 99, true},  {255, true, 99, true},       {106, false, 1, true},
               {252, false, 0, false}, {55, false, 0, false},       {56, false, 0, false},
               {57, false, 0, false},  {106, true, 99, true, true}, {55, true, 99, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.code << (c.tcp ? " tcp" : " serial") << c.module_read);
    ScriptedLink link;
    c.tcp ? link.ConnectTcp() : link.ConnectSerial();
    link.link->set_module_read_active(c.module_read);
    test::ScriptedTransport& transport = c.tcp ? link.tcp : link.serial;
    const int closes = transport.close_count();
    EXPECT_EQ(link.link->LinkErrorText(c.code),
              Line(c.code, link.link->last_command()).replace("<text 860>", "Communication"));
    EXPECT_EQ(link.link->connected(), c.connected);
    EXPECT_EQ(transport.IsOpen(), c.open);
    EXPECT_EQ(transport.close_count() > closes, !c.open);
  }
}

QByteArray ReadStatus(ScriptedLink& link) {
  int count = 1;
  return link.link->LinkTransact(Command::kOutputStatus, Direction::kRead, 12, 0, count, {});
}

// A transaction connects first; an echo error or a time-out drop the link (though cleanup alone
// keeps it for an echo error, see EffectOnTheLink), a controller status keeps it, and the next
// transaction logs in.
TEST(LinkTransact, ConnectsAndDropsTheLinkByResult) {
  ScriptedLink link;
  link.SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral(" E ")}});
  link.tcp.SetResponder(test::ControllerResponder(true));
  EXPECT_EQ(ReadStatus(link), Bytes({63}));
  EXPECT_EQ(link.link->connected(), 99);
  EXPECT_EQ(link.tcp.sent().size(), 3u);
  const struct {
    QByteArray reply;
    QByteArray result;
    int connected;
  } cases[] = {{"ab", Bytes({251}), 0},
               {test::AnswerEnvelope(Bytes({'*', 0x38, 12, 0, 0, 112, '#'})) +
                    Bytes({'*', 0x38, 12, 0, 0, 112, '#'}),
                Bytes({112}), 99},
               {QByteArray(), Bytes({252}), 0}};
  int logins = 1;
  for (const auto& c : cases) {
    if (link.link->connected() == 0) {
      EXPECT_EQ(ReadStatus(link), Bytes({63}));
      ++logins;
    }
    link.tcp.ForgetTraffic();
    c.reply.isEmpty() ? link.tcp.QueueSilence() : link.tcp.QueueReply(c.reply);
    EXPECT_EQ(ReadStatus(link), c.result);
    EXPECT_EQ(link.link->connected(), c.connected);
    EXPECT_EQ(link.tcp.IsOpen(), c.connected != 0);
  }
  EXPECT_EQ(link.tcp.opened().size(), logins);
}

TEST(LinkTransact, FailedConnectEndsWithPortNotOpenEveryTime) {
  ScriptedLink link;
  link.SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral(" E ")}});
  link.tcp.RefuseTarget(QStringLiteral("127.0.0.1"));
  EXPECT_EQ(ReadStatus(link), Bytes({55}));
  EXPECT_EQ(ReadStatus(link), Bytes({55}));
  EXPECT_EQ(link.prompter.messages.size(), 2u);
}

}  // namespace
}  // namespace orva
