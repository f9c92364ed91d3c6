#pragma once

#include <QByteArray>

#include <initializer_list>

namespace orva::test {

// Bytes written as numbers, since frames carry 0x00 and bytes above 0x7F.
inline QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray bytes;
  for (const int value : values) bytes.append(static_cast<char>(value));
  return bytes;
}

}  // namespace orva::test
