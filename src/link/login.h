#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace orva {

inline constexpr int kLoginPacketLength = 47;
inline constexpr int kGreetingLength = 28;
inline const QByteArray kGreetingText = QByteArrayLiteral("Welcome to ORVA TCP/IP");
inline const QString kFactoryPassword = QStringLiteral("factory789");

// The clear password from the scrambled field of the settings record: empty when the field is
// blank, else 16 bytes. A field too short to hold 16 words, a word above 32767, or a character
// outside 0..255 cannot come from the configuration application: no password (16 x 0x00).
QByteArray DecodePassword(const QByteArray& stored);
// The same for the field as read from the database, where a text carries one byte per character.
QByteArray DecodePassword(const QString& stored);

// The 47-byte login packet. A blank user logs in as the built-in user "ORVA"; both fields are cut
// to or padded with 0x00 up to 16 bytes.
QByteArray LoginPacket(const QString& user, const QByteArray& password);

// The interface version of a greeting ("0312"); nullopt when the reply carries no greeting.
std::optional<QString> GreetingInterfaceVersion(const QByteArray& reply);

// What the version query tells about the controller; `result` is the transaction result, its
// result code first.
struct ControllerVersion {
  int type = 0;
  QString version;  // six digits
};
ControllerVersion ParseVersionResult(const QByteArray& result);

}  // namespace orva
