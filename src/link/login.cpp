#include "link/login.h"

#include "json/leading_number.h"
#include "link/frame.h"

#include <cmath>

namespace orva {
namespace {

constexpr int kFieldLength = 16;
constexpr int kStoredPasswordLength = 2 + 2 * kFieldLength;

QByteArray Field(QByteArray bytes) {
  bytes.truncate(kFieldLength);
  return bytes.leftJustified(kFieldLength, '\0');
}

// A number written with at least two digits.
QString TwoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

}  // namespace

QByteArray DecodePassword(const QByteArray& stored) {
  if (stored.count(' ') == stored.size()) return {};
  const QByteArray none(kFieldLength, '\0');
  if (stored.size() < kStoredPasswordLength) return none;
  const auto byte = [&stored](int position) {
    return static_cast<quint8>(stored.at(position - 1));
  };
  int divisor = byte(1);
  const int offset = byte(2);
  if (divisor == 0) divisor = 1;
  if (offset == 0) divisor = 2;
  QByteArray clear;
  for (int i = 1; i <= kFieldLength; ++i) {
    const int high = byte(2 * i + 1);
    if (high >= 128) return none;
    const int word = high * 256 + byte(2 * i + 2);
    const double c = static_cast<double>(word) / divisor - offset - i;
    const double rounded = c < 0 ? 0 : std::nearbyint(c);
    if (rounded > 255) return none;
    clear.append(static_cast<char>(static_cast<int>(rounded)));
  }
  return clear;
}

QByteArray DecodePassword(const QString& stored) {
  QByteArray bytes;
  bytes.reserve(stored.size());
  for (const QChar c : stored) {
    if (c.unicode() > 0xFF) return QByteArray(kFieldLength, '\0');
    bytes.append(static_cast<char>(c.unicode()));
  }
  return DecodePassword(bytes);
}

QByteArray LoginPacket(const QString& user, const QByteArray& password) {
  const QString trimmed_user = user.trimmed();
  const QByteArray user_bytes =
      trimmed_user.isEmpty() ? QByteArrayLiteral("ORVA") : trimmed_user.toLatin1();
  QByteArray packet = TcpEnvelope(0xFA, 0);
  packet[10] = 0x00;
  packet[11] = 0x23;
  packet.append(kFrameStart);
  packet.append('\0');
  packet.append(Field(user_bytes));
  packet.append(Field(password));
  packet.append(kFrameEnd);
  return packet;
}

std::optional<QString> GreetingInterfaceVersion(const QByteArray& reply) {
  const int index = static_cast<int>(reply.indexOf(kGreetingText));
  if (index < 0) return std::nullopt;
  const int position = index + 1;
  const QByteArray major = reply.mid(position + 24 - 1, 2);
  const QByteArray minor = reply.mid(position + 26 - 1, 2);
  return TwoDigits(static_cast<int>(LeadingNumber(QString::fromLatin1(major)))) +
         QString::fromLatin1(minor);
}

ControllerVersion ParseVersionResult(const QByteArray& result) {
  const auto byte = [&result](int position) {
    return position <= result.size() ? static_cast<quint8>(result.at(position - 1)) : 0;
  };
  ControllerVersion version;
  version.type = byte(5);
  const QString third = result.size() == 9 ? QStringLiteral("00") : TwoDigits(byte(9));
  version.version = TwoDigits(byte(7)) + TwoDigits(byte(8)) + third;
  return version;
}

}  // namespace orva
