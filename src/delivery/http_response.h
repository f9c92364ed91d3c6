#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace orva {

// Reads one HTTP/1.x reply from the bytes of a connection as they arrive: status line,
// headers, and a body framed by Content-Length, chunked transfer coding or the end of the
// connection. Interim 1xx replies are skipped. Replies too large for a write endpoint are
// treated as garbled rather than buffered without end.
class HttpResponseParser {
 public:
  enum class State { kIncomplete, kComplete, kError };

  // Takes the next bytes; bytes after a complete reply are kept but not parsed.
  State Feed(QByteArrayView bytes);
  // The peer closed the connection: completes a body that runs to the end of the connection.
  State FinishOnClose();

  State state() const { return state_; }
  bool received_any() const { return received_any_; }
  int status() const { return status_; }
  const QByteArray& reason() const { return reason_; }
  const QByteArray& body() const { return body_; }
  // False when the server said it closes the connection, or it spoke HTTP/1.0.
  bool keep_alive() const { return keep_alive_; }

 private:
  enum class Phase {
    kHead,
    kSizedBody,
    kChunkSize,
    kChunkData,
    kChunkTrailer,
    kBodyToClose,
    kDone
  };

  State Parse();
  bool ParseHead(QByteArrayView head);
  bool TakeLine(QByteArray* line);
  State Fail();

  QByteArray buffer_;
  QByteArray body_;
  QByteArray reason_;
  Phase phase_ = Phase::kHead;
  State state_ = State::kIncomplete;
  qint64 remaining_ = 0;
  int status_ = 0;
  bool keep_alive_ = true;
  bool received_any_ = false;
};

}  // namespace orva
