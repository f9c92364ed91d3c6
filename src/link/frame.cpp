#include "link/frame.h"

namespace orva {
namespace {

bool IsModuleMemory(int code) { return code == 40 || code == 41 || code == 42; }

}  // namespace

int CommandByte(int code, bool write) { return (code & 0x7F) + (write ? 128 : 0); }

int ExtLength(int code, bool write) { return (code == 0 || (code == 56 && write)) ? 1 : 0; }

int AdjustedCount(int code, int count, const QByteArray& data, int ext) {
  switch (code) {
    case 0:
    case 52:
    case 54:
    case 66:
    case 67:
    case 98:
    case 99:
      return count;
    case 16:
    case 70:
    case 71:
      return 0;
    default:
      break;
  }
  if (count != 0) return count - 1;
  if (data.size() <= ext) return 0;
  return data.size() - 1 - (IsModuleMemory(code) ? 3 : 0);
}

int CountAfterFraming(int code, int adjusted_count, const QByteArray& data) {
  if (code != 0) return adjusted_count;
  return data.isEmpty() ? 0 : static_cast<quint8>(data.at(0));
}

std::optional<QByteArray> BuildFrame(int command_byte, quint8 parameter1, quint8 parameter2,
                                     int count_byte, const QByteArray& data) {
  if (count_byte < 0 || count_byte > 255) return std::nullopt;
  QByteArray frame;
  frame.reserve(6 + data.size());
  frame.append(kFrameStart);
  frame.append(static_cast<char>(command_byte));
  frame.append(static_cast<char>(parameter1));
  frame.append(static_cast<char>(parameter2));
  frame.append(static_cast<char>(count_byte));
  frame.append(data);
  frame.append(kFrameEnd);
  return frame;
}

QByteArray Echo(const QByteArray& frame, int ext) { return frame.left(5 + ext); }

QByteArray TcpEnvelope(quint8 function_id, int frame_length) {
  QByteArray envelope("ORVA\x00\x04\x00\x01\x01", 9);
  envelope.append(static_cast<char>(function_id));
  const int length = function_id >= 240 ? frame_length - 1 : 0;
  envelope.append(static_cast<char>((length >> 8) & 0xFF));
  envelope.append(static_cast<char>(length & 0xFF));
  return envelope;
}

std::optional<FramedCommand> FrameCommand(const Command& command) {
  FramedCommand framed;
  framed.code = command.code;
  framed.write = command.write;
  framed.ext = ExtLength(command.code, command.write);
  const int adjusted = AdjustedCount(command.code, command.count, command.data, framed.ext);
  std::optional<QByteArray> frame =
      BuildFrame(CommandByte(command.code, command.write), command.parameter1, command.parameter2,
                 adjusted, command.data);
  if (!frame) return std::nullopt;
  framed.frame = *std::move(frame);
  framed.echo = Echo(framed.frame, framed.ext);
  framed.count = CountAfterFraming(command.code, adjusted, command.data);
  return framed;
}

}  // namespace orva
