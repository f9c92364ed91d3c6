#include "frames.h"

namespace orva::sim {
namespace {

// A frame that has not ended after this many bytes is noise.
constexpr int kLongestFrame = 600;
constexpr int kHeaderSize = 5;

int ModuleMemoryFrameLength(quint8 count, bool write) {
  // Serial number (3 bytes), then for writes the count + 1 data bytes.
  return kHeaderSize + 3 + (write ? count + 1 : 0) + 1;
}

}  // namespace

int ExtensionBytes(int command, bool write) {
  return (command == 0 || (command == 56 && write)) ? 1 : 0;
}

bool IsModuleMemoryCommand(int command) { return command >= 40 && command <= 42; }

int FrameLength(const QByteArray& buffer) {
  if (buffer.isEmpty() || buffer[0] != kFrameStart) return -1;
  if (buffer.size() < kHeaderSize) return 0;
  const auto command_byte = static_cast<quint8>(buffer[1]);
  const int command = command_byte & 0x7F;
  const bool write = (command_byte & 0x80) != 0;
  if (IsModuleMemoryCommand(command)) {
    const int length = ModuleMemoryFrameLength(static_cast<quint8>(buffer[4]), write);
    if (buffer.size() < length) return 0;
    return buffer[length - 1] == kFrameEnd ? length : -1;
  }
  // Other commands carry no data the controller could measure beforehand: the first "#"
  // after the header ends them.
  const int end = buffer.indexOf(kFrameEnd, kHeaderSize + ExtensionBytes(command, write));
  if (end >= 0) return end + 1;
  return buffer.size() >= kLongestFrame ? -1 : 0;
}

bool ParseFrame(const QByteArray& frame, Request* request) {
  if (frame.size() < kHeaderSize + 1) return false;
  if (frame.front() != kFrameStart || frame.back() != kFrameEnd) return false;
  const auto command_byte = static_cast<quint8>(frame[1]);
  request->command = command_byte & 0x7F;
  request->write = (command_byte & 0x80) != 0;
  request->param1 = static_cast<quint8>(frame[2]);
  request->param2 = static_cast<quint8>(frame[3]);
  request->count = static_cast<quint8>(frame[4]);
  request->data = frame.mid(kHeaderSize, frame.size() - kHeaderSize - 1);
  const int ext = ExtensionBytes(request->command, request->write);
  if (request->data.size() < ext) return false;
  request->echo = frame.left(kHeaderSize + ext);
  return true;
}

QByteArray ErrorAnswer(const Request& request, quint8 status) {
  QByteArray answer = request.echo;
  answer.append(static_cast<char>(status));
  if (IsModuleMemoryCommand(request.command)) {
    // The module's serial number and the block asked for.
    QByteArray tail = request.data.left(3);
    tail.append(3 - tail.size(), '\0');
    tail.append(static_cast<char>(request.param1));
    answer.append(tail);
  }
  answer.append(kFrameEnd);
  return answer;
}

QByteArray WriteAccepted(const Request& request) { return ErrorAnswer(request, 0); }

QByteArray ReadAnswer(const Request& request, const QByteArray& data) {
  QByteArray answer = request.echo;
  answer.append('\0');
  answer.append(static_cast<char>(data.size() - 1));
  answer.append(data);
  answer.append(kFrameEnd);
  return answer;
}

QByteArray ModuleMemoryAnswer(const Request& request, const QByteArray& header,
                              const QByteArray& memory) {
  QByteArray answer = request.echo;
  answer.append('\0');
  answer.append(static_cast<char>(request.count));
  answer.append(header);
  answer.append(memory);
  answer.append(kFrameEnd);
  return answer;
}

QByteArray Envelope(quint8 function_id, int length) {
  QByteArray envelope("ORVA\x00\x04\x00\x01\x01", 9);
  envelope.append(static_cast<char>(function_id));
  envelope.append(static_cast<char>((length >> 8) & 0xFF));
  envelope.append(static_cast<char>(length & 0xFF));
  return envelope;
}

QByteArray HexDump(const QByteArray& bytes) { return bytes.toHex(' ').toUpper(); }

}  // namespace orva::sim
