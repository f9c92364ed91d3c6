#include "link/login.h"
#include "bytes.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

using test::Bytes;

TEST(LoginPacket, FieldsArePaddedAndCut) {
  const QByteArray blank = LoginPacket(QStringLiteral("   "), QByteArray());
  EXPECT_EQ(blank, Bytes({'O', 'R', 'V', 'A', 0, 4, 0, 1, 1, 0xFA, 0x00, 0x23, '*', 0}) + "ORVA" +
                       QByteArray(12 + 16, '\0') + "#");
  const QString user = QStringLiteral(" abc") + QString(37, QLatin1Char('u'));
  const QByteArray packet = LoginPacket(user, QByteArray(20, 'p'));
  ASSERT_EQ(packet.size(), kLoginPacketLength);
  EXPECT_EQ(packet.mid(14, 16), QByteArray("abc") + QByteArray(13, 'u'));
  EXPECT_EQ(packet.mid(30, 17), QByteArray(16, 'p') + "#");
  EXPECT_EQ(LoginPacket(QString(), "secret").mid(30, 16), QByteArray("secret") + QByteArray(10, 0));
}

// A stored field: divisor a, offset b, then per character c the word (c + b + i) * a; `odd`
// adds one to every word.
QByteArray Stored(const QByteArray& clear, int a, int b, int multiplier, int odd = 0) {
  QByteArray stored = Bytes({a, b});
  for (int i = 1; i <= 16; ++i) {
    const int c = i <= clear.size() ? static_cast<quint8>(clear.at(i - 1)) : 0;
    const int word = (c + b + i) * multiplier + odd;
    stored.append(Bytes({word >> 8, word & 0xFF}));
  }
  return stored;
}

TEST(DecodePassword, StoredFields) {
  const QByteArray none(16, '\0');
  QByteArray high = Stored("abc", 3, 7, 3);
  high[2 * 5] = static_cast<char>(0x80);
  QByteArray too_big = Bytes({1, 1}) + Bytes({0x10, 0}).repeated(16);
  const struct {
    const char* name;
    QByteArray stored;
    QByteArray clear;
  } cases[] = {
      {"scrambled", Stored("geheim", 3, 7, 3), "geheim" + QByteArray(10, '\0')},
      {"sixteen characters", Stored("0123456789abcdef", 1, 40, 1), "0123456789abcdef"},
      {"zero divisor means one", Stored("x", 0, 1, 1), "x" + QByteArray(15, '\0')},
      {"zero offset means divisor two", Stored("ABCDEFGHIJKLMNOP", 5, 0, 2), "ABCDEFGHIJKLMNOP"},
      // (2w + 1) / 2 - i: 66.5 -> 66, 67.5 -> 68; then negative values -> 0.
      {"halves round to even", Stored("BC", 2, 1, 2, 1).left(6) + Bytes({0, 0}).repeated(14),
       Bytes({66, 68}) + QByteArray(14, '\0')},
      {"blank", "    ", {}},
      {"empty", {}, {}},
      {"short", Stored("abc", 3, 7, 3).left(33), none},
      {"one character", "x", none},
      {"high byte in a character", high, none},
      {"word too big", too_big, none},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodePassword(c.stored), c.clear) << c.name;
  }
  // Text fields carry one byte per character.
  EXPECT_EQ(DecodePassword(QString::fromLatin1(Stored("abc", 3, 7, 3))),
            QByteArray("abc") + QByteArray(13, '\0'));
  EXPECT_EQ(DecodePassword(QString()), QByteArray());
  EXPECT_EQ(DecodePassword(QString(34, QChar(0x263A))), none);
}

TEST(Greeting, InterfaceVersionFromTheWelcomeText) {
  EXPECT_EQ(GreetingInterfaceVersion("Welcome to ORVA TCP/IP V2.15"), QStringLiteral("0215"));
  EXPECT_EQ(GreetingInterfaceVersion("Welcome to ORVA TCP/IP V1203"), QStringLiteral("1203"));
  EXPECT_EQ(GreetingInterfaceVersion("\r\nWelcome to ORVA TCP/IP V 7.01"), QStringLiteral("07.0"));
  EXPECT_EQ(GreetingInterfaceVersion("Hello from ORVA TCP/IP V2.15xx"), std::nullopt);
  EXPECT_EQ(GreetingInterfaceVersion("Welcome to ORVA TCP/IP"), QStringLiteral("00"));
}

TEST(VersionResult, TypeAndSixDigitVersion) {
  const ControllerVersion full =
      ParseVersionResult(Bytes({0, 0x12, 0x34, 0x56, 12, 0, 3, 20, 32, 0x23}));
  EXPECT_EQ(QString::number(full.type) + " " + full.version, "12 032032");
  const ControllerVersion nine = ParseVersionResult(Bytes({0, 0x12, 0x34, 0x56, 7, 0, 3, 20, '#'}));
  EXPECT_EQ(QString::number(nine.type) + " " + nine.version, "7 032000");
  const ControllerVersion missing = ParseVersionResult(Bytes({0, 1}));
  EXPECT_EQ(QString::number(missing.type) + " " + missing.version, "0 000000");
}

}  // namespace
}  // namespace orva
