#pragma once

#include <QByteArray>

#include <optional>

namespace orva {

// Positions below are 1-based, counted from the "*" of the echo, as the controller documents its
// answers.

// E: the number of answer bytes after which the answer is judged, before its length is known.
int ExpectedLength(int code, bool write, int count, int ext);
// E once an accepted answer is in: some answers carry their own length byte. nullopt when E
// stays, or when `answer` (starting with the echo) is still too short to tell.
std::optional<int> RecalculatedLength(int code, bool write, const QByteArray& answer);

// Seconds from sending the frame until the answer is given up.
double AnswerTimeout(int code);

// Distance from the echo's "*" to the terminator of an error answer, without ext: module memory
// answers carry four more bytes.
int ErrorTerminatorOffset(int code);
int StatusPosition(int ext);

// Where a read answer longer than E must carry its "#".
int ReadTerminatorPosition(int code, int count, int ext, int expected);
// The data of a successful read; `answer` starts with the echo.
QByteArray ReadPayload(int code, const QByteArray& answer, int count, int ext, int expected);

// The byte at a 1-based position; nullopt beyond either end.
std::optional<quint8> ByteAt(const QByteArray& bytes, int position);
// `length` bytes from a 1-based position, fewer at the end; empty for a length below one.
QByteArray BytesFrom(const QByteArray& bytes, int position, int length);
// Everything from a 1-based position on.
QByteArray BytesFrom(const QByteArray& bytes, int position);

}  // namespace orva
