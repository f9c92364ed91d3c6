#pragma once

#include "link/command.h"

#include <QByteArray>

#include <optional>

namespace orva {

inline constexpr char kFrameStart = '*';
inline constexpr char kFrameEnd = '#';
inline constexpr int kEnvelopeLength = 12;
inline constexpr int kMaxTcpFrameLength = 499;
inline constexpr quint8 kCommandFunctionId = 255;

// One command as the callers name it; a write sets the write flag of the command byte.
struct CommandRequest {
  int code = 0;
  bool write = false;
  quint8 parameter1 = 0;
  quint8 parameter2 = 0;
  // Number of data items before framing; becomes the adjusted count.
  int count = 0;
  QByteArray data;
};

constexpr int CommandByte(int code, bool write) { return (code & 0x7F) + (write ? 128 : 0); }
// Header bytes carried in the data: the first data byte of a SERVICE command and of a status
// write is part of the echo.
int ExtLength(int code, bool write);
// The count byte the frame carries. The controller counts items minus one, and module memory
// commands do not count the serial number at the head of their data.
int AdjustedCount(int code, int count, const QByteArray& data, int ext);
// The count the answer rules work with once the frame is built.
int CountAfterFraming(int code, int adjusted_count, const QByteArray& data);

// The frame "*", command byte, parameters, count byte, data, "#"; nullopt when the count byte
// cannot hold `count_byte`.
std::optional<QByteArray> BuildFrame(int command_byte, quint8 parameter1, quint8 parameter2,
                                     int count_byte, const QByteArray& data);
// The request bytes the controller repeats at the head of its answer.
QByteArray Echo(const QByteArray& frame, int ext);

// The 12 bytes in front of every TCP packet. The length field holds the frame length minus one
// for function ids of 240 and up, else zero.
QByteArray TcpEnvelope(quint8 function_id, int frame_length);

// Everything the transaction needs to send one command and to judge its answer.
struct FramedCommand {
  int code = 0;
  bool write = false;
  int ext = 0;
  // The count after framing, as the answer rules use it.
  int count = 0;
  QByteArray frame;
  QByteArray echo;
};

// nullopt when the adjusted count does not fit the count byte.
std::optional<FramedCommand> FrameCommand(const CommandRequest& request);

}  // namespace orva
