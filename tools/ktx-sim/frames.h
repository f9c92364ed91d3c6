#pragma once

// The controller's view of the wire: requests as they arrive and answers as they leave.
// Everything here is a pure function of bytes.

#include <QByteArray>

namespace orva::sim {

inline constexpr char kFrameStart = '*';
inline constexpr char kFrameEnd = '#';
inline constexpr int kEnvelopeSize = 12;
inline constexpr int kLoginPacketSize = 47;
inline constexpr quint8 kLoginFunctionId = 0xFA;
inline constexpr quint8 kCommandFunctionId = 0xFF;

// One command frame: "*", command byte, parameter 1, parameter 2, count byte, data, "#".
struct Request {
  int command = 0;  // without the write flag
  bool write = false;
  quint8 param1 = 0;
  quint8 param2 = 0;
  quint8 count = 0;  // as framed: the number of items minus one for most commands
  QByteArray data;   // between the count byte and "#", the extension byte included
  QByteArray echo;   // what every answer starts with
};

// 1 when the first data byte belongs to the header of the command, else 0.
int ExtensionBytes(int command, bool write);

// Command frames whose answers carry four more bytes before an error terminator.
bool IsModuleMemoryCommand(int command);

// Length of the frame that starts at `buffer[0]` ("*"): 0 while more bytes are needed, -1 when
// the bytes cannot be a frame (no "#" where the command's layout puts it).
int FrameLength(const QByteArray& buffer);

// Parses one whole frame ("*" ... "#"); false when it is not one.
bool ParseFrame(const QByteArray& frame, Request* request);

// Answer builders. `status` 0 means accepted.
QByteArray ErrorAnswer(const Request& request, quint8 status);
QByteArray WriteAccepted(const Request& request);
// Read answer: echo, status 0, length byte (data size minus one), data, "#".
QByteArray ReadAnswer(const Request& request, const QByteArray& data);
// Module memory answer: echo, status 0, count byte, 19 header bytes, the memory bytes, "#".
QByteArray ModuleMemoryAnswer(const Request& request, const QByteArray& header,
                              const QByteArray& memory);

// The 12 bytes in front of every TCP answer; `length` counts the bytes that follow.
QByteArray Envelope(quint8 function_id, int length);

// Hex dump for the verbose trace ("2A 07 00 00 05 23").
QByteArray HexDump(const QByteArray& bytes);

}  // namespace orva::sim
