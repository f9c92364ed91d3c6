#pragma once

#include <QString>
#include <chrono>
#include <memory>

class QTcpSocket;

namespace orva {

// Where records go, as the user typed it; taken afresh at every post, never validated up front.
struct InfluxServer {
  QString host;
  QString port;
  QString database;
};

// What a post means for the scan tick that made it.
enum class PostOutcome {
  kSent,            // 2xx: the server took the record
  kRecordRejected,  // 4xx: this record only (a bad line, a missing database); go on with the next
  kServerFailed,    // no answer, a time-out, 5xx or a garbled reply: the tick ends
};

struct PostResult {
  PostOutcome outcome = PostOutcome::kServerFailed;
  QString status_text;  // for the status line
  bool red = true;      // shown in red (every outcome but kSent)
  int http_status = 0;  // 0 when no reply arrived
  QString detail;       // the server's message, or why no reply arrived
};

struct InfluxWriterOptions {
  // Connecting (name lookup included) may take this long before the server counts as unreachable.
  std::chrono::milliseconds connect_timeout{3000};
  // Sending the record and receiving the whole reply may take this long.
  std::chrono::milliseconds request_timeout{5000};
  // One connection reused between posts. Off: a fresh connection per post ("Connection: close").
  bool keep_alive = true;
};

// "HTTP://" + host + ":" + port + "/write?db=" + database + "&precision=s", concatenated as is:
// the address as the user reads it. Host and port are taken from it; the request itself carries
// the database name percent-encoded.
QString WriteUrl(const InfluxServer& server);

// Posts line-protocol records to an InfluxDB 1.x write endpoint over plain HTTP/1.1, one record
// per request, keeping one connection open between posts.
//
// Every wait blocks on the socket with a deadline, so the writer needs no event loop and works
// in any thread; it must be created, used and destroyed in one thread. A connection that the
// server closed while idle is noticed and replaced; a reused connection that the server closes
// or breaks before any reply byte arrives is retried once on a fresh one. A time-out is never
// retried: the server may hold the record already, and the wait would double.
class InfluxWriter {
 public:
  explicit InfluxWriter(InfluxWriterOptions options = {});
  ~InfluxWriter();
  InfluxWriter(const InfluxWriter&) = delete;
  InfluxWriter& operator=(const InfluxWriter&) = delete;

  // Sends one record as the body (no line feed added) and tells what came of it.
  PostResult PostRecord(const InfluxServer& server, const QString& record);

  // Drops the kept connection; the next post opens a new one.
  void Disconnect();

 private:
  struct Target;
  struct Exchange;

  Exchange Send(const Target& target, const QByteArray& request, bool* reused);
  bool EnsureConnected(const Target& target, QString* error, bool* reused);

  InfluxWriterOptions options_;
  std::unique_ptr<QTcpSocket> socket_;
  QString socket_host_;
  quint16 socket_port_ = 0;
};

}  // namespace orva
