#include "link/frame.h"

namespace orva {

int ExtLength(int code, bool write) {
  return (code == Code(Command::kService) || (code == Code(Command::kOutputStatus) && write)) ? 1
                                                                                              : 0;
}

int AdjustedCount(int code, int count, const QByteArray& data, int ext) {
  switch (code) {
    case Code(Command::kService):
    case 52:
    case 54:
    case 66:
    case 67:
    case 98:
    case 99:
      return count;
    case 16:
    case Code(Command::kCopyFromSd):
    case Code(Command::kCopyToSd):
      return 0;
    default:
      break;
  }
  if (count != 0) return count - 1;
  if (data.size() <= ext) return 0;
  return data.size() - 1 - (IsModuleMemory(code) ? 3 : 0);
}

int CountAfterFraming(int code, int adjusted_count, const QByteArray& data) {
  if (code != Code(Command::kService)) return adjusted_count;
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

std::optional<FramedCommand> FrameCommand(const CommandRequest& request) {
  FramedCommand framed;
  framed.code = request.code;
  framed.write = request.write;
  framed.ext = ExtLength(request.code, request.write);
  const int adjusted = AdjustedCount(request.code, request.count, request.data, framed.ext);
  std::optional<QByteArray> frame =
      BuildFrame(CommandByte(request.code, request.write), request.parameter1, request.parameter2,
                 adjusted, request.data);
  if (!frame) return std::nullopt;
  framed.frame = *std::move(frame);
  framed.echo = Echo(framed.frame, framed.ext);
  framed.count = CountAfterFraming(request.code, adjusted, request.data);
  return framed;
}

}  // namespace orva
