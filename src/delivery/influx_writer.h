#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "config/scan_configuration.h"

namespace orva {

// Where records go, as the user typed it; taken afresh at every post, never validated up front.
struct InfluxServer {
  QString host;
  QString port;
  QString database;  // the bucket for the 2.x write endpoint
  ServerAccess access = {};
  QString secret = {};  // the password or token itself; never shown anywhere

  friend bool operator==(const InfluxServer&, const InfluxServer&) = default;
};

// What a post means for the scan tick that made it.
enum class PostOutcome {
  kSent,            // 2xx: the server took the record
  kRecordRejected,  // 4xx: this record only (a bad line, a missing database); go on with the next
  kServerFailed,    // no answer, a time-out, 5xx, a refused login or a garbled reply: tick ends
};

// What stood in the way, for a user who checks the settings rather than reads the status line.
enum class PostProblem {
  kNone,
  kLoginRefused,         // 401 or 403
  kCertificateRejected,  // the TLS check failed
  kDatabaseNotFound,     // 404
  kNothingListening,     // the connection was refused
  kOther,
};

struct PostResult {
  PostOutcome outcome = PostOutcome::kServerFailed;
  QString status_text;  // for the status line
  bool red = true;      // shown in red (every outcome but kSent)
  int http_status = 0;  // 0 when no reply arrived
  QString detail;       // the server's message, or why no reply arrived
  PostProblem problem = PostProblem::kOther;
  // How long the server asked to be left alone (its Retry-After in seconds), when it did.
  std::optional<std::chrono::seconds> retry_after = std::nullopt;
  // The database was missing and the writer created it before this post.
  bool database_created = false;
};

struct InfluxWriterOptions {
  // Connecting (name lookup and TLS handshake included) may take this long before the server
  // counts as unreachable.
  std::chrono::milliseconds connect_timeout{3000};
  // The whole post, from the start of connecting to the end of the reply, may take this long.
  std::chrono::milliseconds request_timeout{5000};
  // One connection reused between posts. Off: a fresh connection per post ("Connection: close").
  bool keep_alive = true;
  // Asked while a post runs; true ends it at once as a failure (the program is stopping).
  std::function<bool()> cancelled = {};
};

// A request body as it goes out: the text, or for a text above 1 KiB that text gzip-compressed,
// packed once however often it is posted (a batch that waits for the server, a sender that
// packs the next batch while the previous one is posted).
struct WireBody {
  QByteArray bytes;
  bool gzip = false;  // bytes are the text gzip-compressed ("Content-Encoding: gzip")
};
WireBody PackBody(const QByteArray& text);

// The address of the write endpoint as the user reads it: the scheme, host and port as typed,
// the path of the server's write endpoint and the database as typed. The request itself carries
// every name in the query percent-encoded.
QString WriteUrl(const InfluxServer& server);

// Posts line-protocol records to an InfluxDB write endpoint, keeping one connection open between
// posts. A record without a time stamp is stamped by the server on arrival; the precision the
// server is told (milliseconds unless the settings say otherwise) keeps posts of one series
// within a second apart.
//
// Every post blocks until its reply or its deadline, so the writer needs no event loop and works
// in any thread; it must be created, used and destroyed in one thread. A kept connection that
// the server closed meanwhile is replaced before the post, or once after it when the server
// broke it before replying. A time-out is never retried: the server may hold the record already,
// and the wait would double. Bodies above 1 KiB go gzip-compressed.
class InfluxWriter {
 public:
  explicit InfluxWriter(InfluxWriterOptions options = {});
  ~InfluxWriter();
  InfluxWriter(const InfluxWriter&) = delete;
  InfluxWriter& operator=(const InfluxWriter&) = delete;

  // Sends one record as the body (no line feed added) and tells what came of it.
  PostResult PostRecord(const InfluxServer& server, const QString& record);
  // Sends records, one per line, in one request. An InfluxDB 1.x that answers that the database
  // does not exist is asked to create it (unless the settings say not to), with the same login,
  // and the records go again.
  PostResult PostBody(const InfluxServer& server, const QByteArray& body);
  PostResult PostBody(const InfluxServer& server, const WireBody& body);

  // Drops the kept connection; the next post opens a new one.
  void Disconnect();

 private:
  struct Handle;

  // Posts `body` to `path` (with its query, encoded) on the server.
  PostResult Post(const InfluxServer& server, const QByteArray& path, const WireBody& body);

  InfluxWriterOptions options_;
  std::unique_ptr<Handle> handle_;
};

}  // namespace orva
