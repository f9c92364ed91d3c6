#pragma once

#include <QByteArray>

namespace orva {

// Result codes that the link itself gives or acts on; the controller's own statuses travel in
// the same byte. LinkErrorText holds the text of every code.
inline constexpr int kRefused = 4;
inline constexpr int kRefusedOther = 6;
inline constexpr int kPortNotOpen = 55;
inline constexpr int kPortAlreadyOpen = 56;
inline constexpr int kNoConnection = 57;
inline constexpr int kWrongSocketState = 58;
inline constexpr int kCannotClose = 84;
inline constexpr int kUndefinedError = 100;
inline constexpr int kInvalidDataLength = 104;
inline constexpr int kTcpPacketTooLong = 249;
inline constexpr int kWrongEnd = 250;
inline constexpr int kEchoError = 251;
inline constexpr int kReceiveTimeout = 252;
inline constexpr int kCommunicationError = 254;

// A transaction result that holds the code alone.
inline QByteArray ResultByte(int code) { return QByteArray(1, static_cast<char>(code)); }

}  // namespace orva
