#include "delivery/influx_writer.h"

#include <curl/curl.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <cstring>
#include <optional>

#include "config/delivery_keys.h"
#include "delivery/gzip.h"

namespace orva {
namespace {

const QString kDataSent = QStringLiteral("InfluxDB data sent");
const QString kServerError = QStringLiteral("InfluxDB server error");
constexpr qsizetype kMaxMessage = 300;
// A write endpoint answers with a short error text at most; more is not kept.
constexpr qsizetype kMaxReplyBody = 64 * 1024;
// Smaller bodies gain less from compression than the server spends undoing it.
constexpr qsizetype kGzipFrom = 1024;

// curl_global_init is not thread-safe; a function-local static runs it once, whichever thread
// makes the first writer.
void InitCurlOnce() {
  static const CURLcode kInit = curl_global_init(CURL_GLOBAL_DEFAULT);
  (void)kInit;
}

// What the server says went wrong: InfluxDB answers errors with {"error": "..."}, 2.x and 3.x
// with {"message": "..."}.
QString ServerMessage(const QByteArray& body, const QByteArray& reason) {
  const QJsonObject json = QJsonDocument::fromJson(body).object();
  for (const char* key : {"error", "message"}) {
    const QString text = json.value(QLatin1String(key)).toString();
    if (!text.isEmpty()) return text.left(kMaxMessage);
  }
  const QString text = QString::fromUtf8(body).simplified().left(kMaxMessage);
  return text.isEmpty() ? QString::fromLatin1(reason) : text;
}

// No reply to read: the status line says why, as it shows the server's message when there is one.
PostResult Failed(const QString& why) {
  const QString text = why.isEmpty() ? kServerError : kServerError + QLatin1String(": ") + why;
  return {PostOutcome::kServerFailed, text, true, 0, why};
}

PostResult FromReply(int status, const QByteArray& reason, const QByteArray& body) {
  if (status >= 200 && status < 300) {
    return {PostOutcome::kSent, kDataSent, false, status, {}, PostProblem::kNone};
  }
  const QString message = ServerMessage(body, reason);
  const QString colon = message.isEmpty() ? QString() : QLatin1String(": ") + message;
  if (status == 401 || status == 403) {
    // Every later record would be refused just the same, so the tick ends here.
    return {PostOutcome::kServerFailed,
            QStringLiteral("InfluxDB refused the login (%1)").arg(status) + colon,
            true,
            status,
            message,
            PostProblem::kLoginRefused};
  }
  const QString text = kServerError + QLatin1Char(' ') + QString::number(status) + colon;
  // A client error concerns this record; anything else will fail the next record just the same.
  const PostOutcome outcome =
      status >= 400 && status < 500 ? PostOutcome::kRecordRejected : PostOutcome::kServerFailed;
  return {outcome, text,    true,
          status,  message, status == 404 ? PostProblem::kDatabaseNotFound : PostProblem::kOther};
}

std::optional<QUrl> ParseWriteUrl(const InfluxServer& server, QString* error) {
  const QUrl url(WriteUrl(server), QUrl::TolerantMode);
  if (!url.isValid() || url.host().isEmpty()) {
    *error = QStringLiteral("malformed server address: %1").arg(url.errorString());
    return std::nullopt;
  }
  if (url.port() <= 0) {
    *error = QStringLiteral("no port number");
    return std::nullopt;
  }
  return url;
}

// The path and query of the write endpoint, with each name passed through `name`.
template <typename Name>
auto EndpointPath(const InfluxServer& server, Name name) {
  const auto precision = "&precision=" + name(PrecisionName(server.access.delivery.Precision()));
  switch (server.access.api) {
    case InfluxApi::kV2:
      return "/api/v2/write?org=" + name(server.access.org) + "&bucket=" + name(server.database) +
             precision;
    case InfluxApi::kV3:
      return "/api/v3/write_lp?db=" + name(server.database) + precision;
    case InfluxApi::kV1:
      break;
  }
  return "/write?db=" + name(server.database) + precision;
}

// What the header lines of a reply tell beyond its status code.
struct ReplyHead {
  QByteArray reason;
  std::optional<std::chrono::seconds> retry_after;
};

size_t KeepBody(char* data, size_t size, size_t count, void* target) {
  auto* body = static_cast<QByteArray*>(target);
  const qsizetype bytes = static_cast<qsizetype>(size * count);
  body->append(data, std::min(bytes, std::max<qsizetype>(0, kMaxReplyBody - body->size())));
  return size * count;
}

// The reason phrase of the last status line (an interim "100 Continue" is followed by the real
// one) and a Retry-After given in seconds (one given as a date is not used).
size_t KeepHead(char* data, size_t size, size_t count, void* target) {
  auto* head = static_cast<ReplyHead*>(target);
  const QByteArray line = QByteArray(data, static_cast<qsizetype>(size * count)).trimmed();
  if (line.startsWith("HTTP/")) {
    const QList<QByteArray> parts = line.split(' ');
    *head = {parts.mid(2).join(' '), std::nullopt};
  } else if (line.toLower().startsWith("retry-after:")) {
    bool ok = false;
    const qint64 seconds = line.mid(12).trimmed().toLongLong(&ok);
    if (ok && seconds >= 0) head->retry_after = std::chrono::seconds(seconds);
  }
  return size * count;
}

// libcurl asks this while a transfer runs; a non-zero return ends the transfer.
int CheckCancelled(void* options, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const InfluxWriterOptions*>(options)->cancelled() ? 1 : 0;
}

// libcurl calls this once the connection stands (TLS included), before the request goes out.
int NoteConnected(void* connected, char*, char*, int, int) {
  *static_cast<bool*>(connected) = true;
  return CURL_PREREQFUNC_OK;
}

}  // namespace

// One easy handle for the writer's life: libcurl keeps its connection between posts. Each post
// starts from a reset, which keeps the open connection and forgets every option of the previous
// post, so settings changed between posts cannot linger.
struct InfluxWriter::Handle {
  Handle() : curl(curl_easy_init()) {}
  ~Handle() {
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  void Prepare(const QByteArray& address, const InfluxWriterOptions& options) {
    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_PROXY, "");  // the server is addressed directly, never a proxy
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(options.connect_timeout.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(options.request_timeout.count()));
    if (!options.keep_alive) curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    error[0] = '\0';
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    reply_body.clear();
    head = {};
    connected = false;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &KeepBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply_body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &KeepHead);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &head);
    if (options.cancelled) {
      curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
      curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CheckCancelled);
      curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &options);
    }
    curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, &NoteConnected);
    curl_easy_setopt(curl, CURLOPT_PREREQDATA, &connected);
  }

  void SetTls(const ServerAccess& access) {
    const QByteArray ca_file = QFile::encodeName(access.ca_file);
    if (!ca_file.isEmpty()) curl_easy_setopt(curl, CURLOPT_CAINFO, ca_file.constData());
    if (!access.tls_verify) {
      curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
      curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    }
  }

  // 1.x logs in with HTTP Basic, 2.x and 3.x with a token header, added to `headers`.
  void SetLogin(const InfluxServer& server, QList<QByteArray>* header_lines) {
    const QByteArray secret = server.secret.toUtf8();
    const QByteArray user = server.access.user.toUtf8();
    if (server.access.api == InfluxApi::kV1 && !user.isEmpty()) {
      curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
      curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
      curl_easy_setopt(curl, CURLOPT_PASSWORD, secret.constData());
    } else if (server.access.api != InfluxApi::kV1 && !secret.isEmpty()) {
      *header_lines << "Authorization: Token " + secret;
    }
  }

  void SetBody(const WireBody& body, QList<QByteArray>* header_lines) {
    // Shared, not copied: libcurl reads the bytes where they are while the post runs.
    request_body = body.bytes;
    if (body.gzip) *header_lines << "Content-Encoding: gzip";
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request_body.constData());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request_body.size()));
  }

  void SetHeaders(const QList<QByteArray>& lines) {
    curl_slist_free_all(headers);
    headers = nullptr;
    for (const QByteArray& line : lines) headers = curl_slist_append(headers, line.constData());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  }

  CURL* curl;
  curl_slist* headers = nullptr;
  char error[CURL_ERROR_SIZE] = {};
  QByteArray request_body;
  QByteArray reply_body;
  ReplyHead head;
  bool connected = false;  // in this post
};

namespace {

QString OsErrorText(CURL* curl) {
  long os_errno = 0;
  curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &os_errno);
  return os_errno != 0 ? QString::fromLocal8Bit(std::strerror(static_cast<int>(os_errno)))
                       : QString();
}

// Why no reply came, in the words of whoever had any: the system, the TLS library or libcurl.
// `connected`: the connection stood before the failure.
PostResult TransferFailed(CURLcode code, CURL* curl, const char* curl_error, bool connected,
                          const QString& host, const InfluxWriterOptions& options) {
  const QString detail = QString::fromLocal8Bit(curl_error);
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
      return Failed(
          connected ? QStringLiteral("no reply within %1 ms").arg(options.request_timeout.count())
                    : QStringLiteral("no connection within %1 ms")
                          .arg(std::min(options.connect_timeout, options.request_timeout).count()));
    case CURLE_COULDNT_RESOLVE_HOST:
      return Failed(QStringLiteral("the name %1 does not resolve").arg(host));
    case CURLE_COULDNT_CONNECT: {
      const QString os_error = OsErrorText(curl);
      PostResult result = Failed(os_error.isEmpty() ? detail : os_error);
      result.problem = PostProblem::kNothingListening;
      return result;
    }
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
      return {PostOutcome::kServerFailed,
              QStringLiteral("InfluxDB certificate not trusted: ") + detail,
              true,
              0,
              detail,
              PostProblem::kCertificateRejected};
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
      return Failed(QStringLiteral("the server closed the connection"));
    case CURLE_ABORTED_BY_CALLBACK:
      return Failed(QStringLiteral("given up, the program is stopping"));
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_PARTIAL_FILE:
    case CURLE_BAD_CONTENT_ENCODING:
      return Failed(QStringLiteral("garbled reply from the server"));
    default:
      return Failed(detail.isEmpty() ? QString::fromLatin1(curl_easy_strerror(code)) : detail);
  }
}

// The URL libcurl is given, with `path` and its query encoded already.
QByteArray RequestAddress(const InfluxServer& server, const QUrl& url, const QByteArray& path) {
  const QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
  return (server.access.tls ? "https://" : "http://") +
         (host.contains(':') ? '[' + host + ']' : host) + ':' + QByteArray::number(url.port()) +
         path;
}

// The write endpoint's path. Each name is percent-encoded on its own, so that "&", "#", "+" or
// "%" in it reach the server as part of the name instead of ending or changing it.
QByteArray WritePath(const InfluxServer& server) {
  return EndpointPath(server, [](const QString& name) { return QUrl::toPercentEncoding(name); });
}

// The form body of InfluxQL's CREATE DATABASE, the name quoted as an identifier.
QByteArray CreateDatabaseForm(const QString& database) {
  QString name = database;
  name.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
      .replace(QLatin1Char('"'), QLatin1String("\\\""));
  return "q=" + QUrl::toPercentEncoding(QStringLiteral("CREATE DATABASE \"%1\"").arg(name));
}

// InfluxDB 1.x answers a failed statement with 200 and the error in the results.
bool Created(const PostResult& result, const QByteArray& reply) {
  return result.outcome == PostOutcome::kSent && !reply.contains("\"error\"");
}

}  // namespace

WireBody PackBody(const QByteArray& text) {
  if (text.size() > kGzipFrom) {
    if (QByteArray packed = GzipCompressed(text); !packed.isEmpty()) return {packed, true};
  }
  return {text, false};
}

QString WriteUrl(const InfluxServer& server) {
  const QString scheme = server.access.tls ? QStringLiteral("HTTPS://") : QStringLiteral("HTTP://");
  return scheme + server.host + QLatin1Char(':') + server.port +
         EndpointPath(server, [](const QString& name) { return name; });
}

InfluxWriter::InfluxWriter(InfluxWriterOptions options) : options_(options) { InitCurlOnce(); }

InfluxWriter::~InfluxWriter() = default;

void InfluxWriter::Disconnect() { handle_.reset(); }

PostResult InfluxWriter::PostRecord(const InfluxServer& server, const QString& record) {
  return PostBody(server, record.toUtf8());
}

PostResult InfluxWriter::PostBody(const InfluxServer& server, const QByteArray& body) {
  return PostBody(server, PackBody(body));
}

PostResult InfluxWriter::PostBody(const InfluxServer& server, const WireBody& body) {
  PostResult result = Post(server, WritePath(server), body);
  if (result.problem != PostProblem::kDatabaseNotFound || server.access.api != InfluxApi::kV1 ||
      !server.access.create_database) {
    return result;
  }
  const PostResult creating =
      Post(server, "/query", WireBody{CreateDatabaseForm(server.database), false});
  if (!Created(creating, handle_ ? handle_->reply_body : QByteArray())) {
    result.status_text += QStringLiteral(" (creating it failed: %1)").arg(creating.status_text);
    return result;
  }
  result = Post(server, WritePath(server), body);
  result.database_created = true;
  if (result.outcome == PostOutcome::kSent) {
    result.status_text = QStringLiteral("InfluxDB: created database %1").arg(server.database);
  }
  return result;
}

PostResult InfluxWriter::Post(const InfluxServer& server, const QByteArray& path,
                              const WireBody& body) {
  QString error;
  const std::optional<QUrl> url = ParseWriteUrl(server, &error);
  if (!url) return Failed(error);
  if (!handle_) handle_ = std::make_unique<Handle>();
  handle_->Prepare(RequestAddress(server, *url, path), options_);
  QList<QByteArray> headers = {"Content-Type: application/x-www-form-urlencoded",
                               "Expect:"};  // no 100-continue round trip before the body
  if (!options_.keep_alive) headers << "Connection: close";
  handle_->SetBody(body, &headers);
  handle_->SetLogin(server, &headers);
  handle_->SetHeaders(headers);
  handle_->SetTls(server.access);

  const CURLcode code = curl_easy_perform(handle_->curl);
  if (code != CURLE_OK) {
    PostResult result = TransferFailed(code, handle_->curl, handle_->error, handle_->connected,
                                       url->host(), options_);
    // A broken exchange leaves nothing worth keeping; the next post starts on a fresh handle.
    Disconnect();
    return result;
  }
  long status = 0;
  curl_easy_getinfo(handle_->curl, CURLINFO_RESPONSE_CODE, &status);
  PostResult result =
      FromReply(static_cast<int>(status), handle_->head.reason, handle_->reply_body);
  result.retry_after = handle_->head.retry_after;
  return result;
}

}  // namespace orva
