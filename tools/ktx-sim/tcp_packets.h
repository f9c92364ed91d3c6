#pragma once

// Cutting the TCP byte stream into enveloped packets, and the login exchange.

#include <QByteArray>

namespace orva::sim {

struct TcpPacket {
  enum class Kind { kIncomplete, kPacket, kNoise };
  Kind kind = Kind::kIncomplete;
  int consumed = 0;  // bytes of the buffer this packet (or this noise) takes
  quint8 function_id = 0;
  quint8 header_error = 0;  // non-zero: the status the envelope itself earns
  QByteArray payload;       // the bytes after the envelope
};

// Looks at the start of `buffer`. The envelope's length field counts the bytes that follow
// for a login, and one less than that for command frames; function ids below 240 carry no
// length, so their frame is measured by its layout.
TcpPacket CutTcpPacket(const QByteArray& buffer);

// A user or password as the login packet carries it: cut or padded with 0x00 to 16 bytes.
QByteArray LoginField(const QByteArray& text);

// Status of a login packet's payload (35 bytes after the envelope): 0 accepted,
// 14 wrong user or password, 17 too short, 223 not laid out as a login.
quint8 CheckLogin(const QByteArray& payload, const QByteArray& user, const QByteArray& password);

// The interface's greeting: exactly 28 bytes, "Welcome to ORVA TCP/IP V" and the version, e.g.
// "2.15" gives "...TCP/IP V2.15" and "12.3" gives "...TCP/IP V1203".
QByteArray Greeting(const QString& interface_version);

// What a refused login gets before the interface hangs up.
QByteArray LoginRefusal(quint8 status);

}  // namespace orva::sim
