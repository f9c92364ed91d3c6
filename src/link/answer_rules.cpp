#include "link/answer_rules.h"

#include "link/frame.h"

namespace orva {

int ExpectedLength(int code, bool write, int count, int ext) {
  if (write) {
    if (IsModuleMemory(code)) return ext + 27;
    if (code == 56) return ext + 9;
    return ext + 7;
  }
  if (code == 14) return 7;
  if (code == 12 || code == 64 || code == 68) return (count + 1) * 2 + 8;
  if (code == 0) return count + 10;
  if (IsModuleMemory(code)) return count + 28;
  return count + 9;
}

std::optional<int> RecalculatedLength(int code, bool write, const QByteArray& answer) {
  if (write) {
    if (code != 56) return std::nullopt;
    const std::optional<quint8> length = ByteAt(answer, 8);
    if (!length) return std::nullopt;
    return *length + 10;
  }
  const std::optional<quint8> length = ByteAt(answer, 7);
  if (!length) return std::nullopt;
  switch (code) {
    case 56:
    case 7:
    case 61:
      return *length + 9;
    case 52:
    case 54:
    case 62:
      return (*length + 1) * 2 + 8;
    case 17:
      return (*length + 1) * 4 + 8;
    default:
      return std::nullopt;
  }
}

double AnswerTimeout(int code) {
  switch (code) {
    case 70:
    case 71:
      return 6.0;
    case 14:
    case 40:
    case 41:
    case 42:
    case 64:
    case 72:
      return 4.0;
    default:
      return 3.0;
  }
}

int ErrorTerminatorOffset(int code) { return IsModuleMemory(code & 0x7F) ? 10 : 6; }

int StatusPosition(int ext) { return 6 + ext; }

int ReadTerminatorPosition(int code, int count, int ext, int expected) {
  switch (code) {
    case 12:
    case 62:
    case 68:
      return (count + 1) * 2 + ext + 8;
    case 14:
      return 8;
    case 40:
    case 41:
    case 42:
      return count + 28;
    case 17:
      return ext + expected;
    case 52:
    case 54:
      return ext + expected + 1;
    case 7:
      return ext + expected + 9;
    case 47:
      return 7;
    default:
      return ext + count + 9;
  }
}

QByteArray ReadPayload(int code, const QByteArray& answer, int count, int ext, int expected) {
  switch (code) {
    case 12:
    case 62:
    case 68:
      return BytesFrom(answer, ext + 8, (count + 1) * 2);
    case 14:
      return BytesFrom(answer, 7, 1);
    case 40:
    case 41:
    case 42:
      return BytesFrom(answer, 8, count + 20);
    case 17:
      return BytesFrom(answer, ext + 8, expected - 8);
    case 52:
    case 54:
      return BytesFrom(answer, ext + 8, expected - 7);
    case 7:
      return BytesFrom(answer, ext + 8, expected + 1);
    case 61:
      return BytesFrom(answer, ext + 8, answer.size() == expected ? expected + 1 : count + 1);
    default:
      return BytesFrom(answer, ext + 8, count + 1);
  }
}

std::optional<quint8> ByteAt(const QByteArray& bytes, int position) {
  if (position < 1 || position > bytes.size()) return std::nullopt;
  return static_cast<quint8>(bytes.at(position - 1));
}

QByteArray BytesFrom(const QByteArray& bytes, int position, int length) {
  if (position < 1 || position > bytes.size() || length < 1) return {};
  return bytes.mid(position - 1, length);
}

QByteArray BytesFrom(const QByteArray& bytes, int position) {
  if (position < 1 || position > bytes.size()) return {};
  return bytes.mid(position - 1);
}

}  // namespace orva
