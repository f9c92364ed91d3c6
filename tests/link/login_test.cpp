#include "link/login.h"
#include "bytes.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

using test::Bytes;

// The stored field for a clear password: divisor a, offset b, each character c written as the
// word (c + b + i) * a.
QByteArray Scramble(const QByteArray& clear, int a, int b) {
  QByteArray stored = Bytes({a, b});
  for (int i = 1; i <= 16; ++i) {
    const int c = i <= clear.size() ? static_cast<quint8>(clear.at(i - 1)) : 0;
    const int word = (c + b + i) * (a == 0 ? 1 : a);
    stored.append(static_cast<char>(word >> 8));
    stored.append(static_cast<char>(word & 0xFF));
  }
  return stored;
}

TEST(LoginPacket, BlankUserAndPassword) {
  const QByteArray packet = LoginPacket(QStringLiteral("   "), QByteArray());
  ASSERT_EQ(packet.size(), kLoginPacketLength);
  EXPECT_EQ(packet.left(12), Bytes({'O', 'R', 'V', 'A', 0, 4, 0, 1, 1, 0xFA, 0x00, 0x23}));
  EXPECT_EQ(packet.mid(12, 2), Bytes({'*', 0}));
  EXPECT_EQ(packet.mid(14, 16), QByteArray("ORVA") + QByteArray(12, '\0'));
  EXPECT_EQ(packet.mid(30, 16), QByteArray(16, '\0'));
  EXPECT_EQ(packet.at(46), '#');
}

TEST(LoginPacket, LongUserIsCutAndShortFieldsArePadded) {
  const QString user = QStringLiteral(" ") + QString(40, QLatin1Char('u')).replace(0, 3, "abc");
  const QByteArray packet = LoginPacket(user, QByteArray("secret"));
  ASSERT_EQ(packet.size(), kLoginPacketLength);
  EXPECT_EQ(packet.mid(14, 16), QByteArray("abc") + QByteArray(13, 'u'));
  EXPECT_EQ(packet.mid(30, 16), QByteArray("secret") + QByteArray(10, '\0'));
  EXPECT_EQ(packet.at(46), '#');
  EXPECT_EQ(LoginPacket(QStringLiteral("installer"), QByteArray(20, 'p')).mid(30, 16),
            QByteArray(16, 'p'));
}

TEST(DecodePassword, RoundTripsScrambledFields) {
  EXPECT_EQ(DecodePassword(Scramble("geheim", 3, 7)), QByteArray("geheim") + QByteArray(10, '\0'));
  EXPECT_EQ(DecodePassword(Scramble("0123456789abcdef", 1, 40)), QByteArray("0123456789abcdef"));
  // A zero divisor means one; text fields carry one byte per character.
  EXPECT_EQ(DecodePassword(Scramble("x", 0, 1)), QByteArray("x") + QByteArray(15, '\0'));
  EXPECT_EQ(DecodePassword(QString::fromLatin1(Scramble("abc", 3, 7))),
            DecodePassword(Scramble("abc", 3, 7)));
}

TEST(DecodePassword, ZeroOffsetMeansDivisorTwo) {
  // b = 0 overrides any stored divisor, so words written with divisor 5 decode halved.
  QByteArray stored = Bytes({5, 0});
  for (int i = 1; i <= 16; ++i) stored.append(Bytes({0, 2 * ('A' + 2 * i - 1)}));
  EXPECT_EQ(DecodePassword(stored), QByteArray("ABCDEFGHIJKLMNOP"));
  EXPECT_EQ(DecodePassword(Scramble("pw", 2, 0)), QByteArray("pw") + QByteArray(14, '\0'));
}

TEST(DecodePassword, RoundsHalvesToEvenAndNegativesToZero) {
  QByteArray stored = Bytes({2, 1});
  // w / 2 - 1 - i: 66.5 -> 66, 67.5 -> 68, then a negative value -> 0.
  stored.append(Bytes({0, 2 * (66 + 1 + 1) + 1}));
  stored.append(Bytes({0, 2 * (67 + 1 + 2) + 1}));
  for (int i = 3; i <= 16; ++i) stored.append(Bytes({0, 0}));
  const QByteArray clear = DecodePassword(stored);
  ASSERT_EQ(clear.size(), 16);
  EXPECT_EQ(static_cast<quint8>(clear.at(0)), 66);
  EXPECT_EQ(static_cast<quint8>(clear.at(1)), 68);
  EXPECT_EQ(clear.mid(2), QByteArray(14, '\0'));
}

TEST(DecodePassword, BlankFieldGivesNoPassword) {
  EXPECT_EQ(DecodePassword(QByteArray()), QByteArray());
  EXPECT_EQ(DecodePassword(QByteArray("    ")), QByteArray());
  EXPECT_EQ(DecodePassword(QString()), QByteArray());
}

TEST(DecodePassword, UndecodableFieldsGiveSixteenZeros) {
  const QByteArray none(16, '\0');
  EXPECT_EQ(DecodePassword(Scramble("abc", 3, 7).left(33)), none);
  EXPECT_EQ(DecodePassword(QByteArray("x")), none);
  QByteArray high = Scramble("abc", 3, 7);
  high[2 * 5] = static_cast<char>(0x80);
  EXPECT_EQ(DecodePassword(high), none);
  QByteArray too_big = Bytes({1, 1});
  for (int i = 1; i <= 16; ++i) too_big.append(Bytes({0x10, 0}));
  EXPECT_EQ(DecodePassword(too_big), none);
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
  const struct {
    QByteArray result;
    int type;
    const char* version;
  } cases[] = {
      {Bytes({0, 0x12, 0x34, 0x56, 12, 0, 3, 20, 32, '#'}), 12, "032032"},
      {Bytes({0, 0x12, 0x34, 0x56, 7, 0, 3, 20, '#'}), 7, "032000"},  // nine bytes end in 00
      {Bytes({0, 1}), 0, "000000"},                                   // missing bytes read as zero
  };
  for (const auto& c : cases) {
    const ControllerVersion version = ParseVersionResult(c.result);
    EXPECT_EQ(version.type, c.type) << c.version;
    EXPECT_EQ(version.version, QLatin1String(c.version));
  }
}

}  // namespace
}  // namespace orva
