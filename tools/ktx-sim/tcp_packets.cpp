#include "tcp_packets.h"

#include <QString>
#include <QStringList>

#include "frames.h"

namespace orva::sim {
namespace {

constexpr int kLoginPayloadSize = kLoginPacketSize - kEnvelopeSize;
constexpr int kFieldSize = 16;
// A length field beyond this is taken for noise rather than waited for.
constexpr int kLongestPayload = 1024;

const QByteArray kMagic("ORVA");

TcpPacket Noise(int consumed) {
  TcpPacket packet;
  packet.kind = TcpPacket::Kind::kNoise;
  packet.consumed = consumed;
  return packet;
}

quint8 HeaderError(const QByteArray& buffer, quint8 function_id) {
  if (buffer[4] != '\0' || buffer[5] != '\x04' || buffer[8] != '\x01') return 12;
  if (buffer[6] != '\0' || buffer[7] != '\x01') return 13;
  if (function_id != kLoginFunctionId && function_id != kCommandFunctionId) return 11;
  return 0;
}

// -1: noise, 0: incomplete, else the payload size.
int PayloadSize(const QByteArray& buffer, quint8 function_id) {
  const int length = (static_cast<quint8>(buffer[10]) << 8) | static_cast<quint8>(buffer[11]);
  if (function_id == kLoginFunctionId) return length;
  if (function_id >= 240) return length + 1;
  if (buffer.size() <= kEnvelopeSize) return 0;
  return FrameLength(buffer.mid(kEnvelopeSize));
}

}  // namespace

TcpPacket CutTcpPacket(const QByteArray& buffer) {
  const int magic = buffer.indexOf(kMagic);
  if (magic > 0) return Noise(magic);
  if (magic < 0) {
    // Keep a tail that may be the start of the next "ORVA".
    const int keep = qMin<int>(buffer.size(), kMagic.size() - 1);
    return buffer.size() > keep ? Noise(buffer.size() - keep) : TcpPacket{};
  }
  if (buffer.size() < kEnvelopeSize) return {};
  const auto function_id = static_cast<quint8>(buffer[9]);
  const int payload_size = PayloadSize(buffer, function_id);
  if (payload_size < 0 || payload_size > kLongestPayload) return Noise(kEnvelopeSize);
  if (payload_size == 0 && function_id < 240) return {};
  if (buffer.size() < kEnvelopeSize + payload_size) return {};
  TcpPacket packet;
  packet.kind = TcpPacket::Kind::kPacket;
  packet.consumed = kEnvelopeSize + payload_size;
  packet.function_id = function_id;
  packet.header_error = HeaderError(buffer, function_id);
  packet.payload = buffer.mid(kEnvelopeSize, payload_size);
  return packet;
}

QByteArray LoginField(const QByteArray& text) {
  QByteArray field = text.left(kFieldSize);
  field.append(kFieldSize - field.size(), '\0');
  return field;
}

quint8 CheckLogin(const QByteArray& payload, const QByteArray& user, const QByteArray& password) {
  if (payload.size() < kLoginPayloadSize) return 17;
  if (payload.size() != kLoginPayloadSize || payload[0] != kFrameStart || payload[1] != '\0' ||
      payload.back() != kFrameEnd) {
    return 223;
  }
  const bool user_ok = payload.mid(2, kFieldSize) == LoginField(user);
  const bool password_ok = payload.mid(2 + kFieldSize, kFieldSize) == LoginField(password);
  return user_ok && password_ok ? 0 : 14;
}

QByteArray Greeting(const QString& interface_version) {
  const QStringList parts = interface_version.split(QLatin1Char('.'));
  QString major = parts.value(0).trimmed();
  QString minor = parts.value(1).trimmed();
  // A one-digit major number is followed by its point, as the interface prints it.
  major = (major.size() < 2 ? major + QLatin1Char('.') : major).left(2).leftJustified(2);
  minor = minor.rightJustified(2, QLatin1Char('0')).left(2);
  return QByteArray("Welcome to ORVA TCP/IP V") + major.toLatin1() + minor.toLatin1();
}

QByteArray LoginRefusal(quint8 status) {
  QByteArray refusal = Envelope(kLoginFunctionId, 3);
  refusal.append(kFrameStart);
  refusal.append(static_cast<char>(status));
  refusal.append(kFrameEnd);
  return refusal;
}

}  // namespace orva::sim
