#include "delivery/influx_writer.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QUrl>
#include <optional>

#include "delivery/http_response.h"

namespace orva {
namespace {

const QString kDataSent = QStringLiteral("InfluxDB data sent");
const QString kServerError = QStringLiteral("InfluxDB server error");
constexpr qsizetype kMaxMessage = 300;

// What the server says went wrong: InfluxDB answers errors with {"error": "..."}.
QString ServerMessage(const HttpResponseParser& reply) {
  const QJsonDocument json = QJsonDocument::fromJson(reply.body());
  const QString error = json.object().value(QLatin1String("error")).toString();
  if (!error.isEmpty()) return error.left(kMaxMessage);
  const QString text = QString::fromUtf8(reply.body()).simplified().left(kMaxMessage);
  return text.isEmpty() ? QString::fromLatin1(reply.reason()) : text;
}

// No reply to read: the status line says why, as it shows the server's message when there is one.
PostResult Failed(const QString& why) {
  const QString text = why.isEmpty() ? kServerError : kServerError + QLatin1String(": ") + why;
  return {PostOutcome::kServerFailed, text, true, 0, why};
}

PostResult FromReply(const HttpResponseParser& reply) {
  const int status = reply.status();
  if (status >= 200 && status < 300) return {PostOutcome::kSent, kDataSent, false, status, {}};
  const QString message = ServerMessage(reply);
  QString text = kServerError + QLatin1Char(' ') + QString::number(status);
  if (!message.isEmpty()) text += QLatin1String(": ") + message;
  // A client error concerns this record; anything else will fail the next record just the same.
  const PostOutcome outcome =
      status >= 400 && status < 500 ? PostOutcome::kRecordRejected : PostOutcome::kServerFailed;
  return {outcome, text, true, status, message};
}

}  // namespace

struct InfluxWriter::Target {
  QString host;
  quint16 port = 0;
  QByteArray host_header;
  QByteArray path;  // path and query, as sent in the request line
};

struct InfluxWriter::Exchange {
  std::optional<HttpResponseParser> reply;  // set when a whole reply arrived
  QString error;                            // why not
  bool received_any = false;
  bool timed_out = false;
};

namespace {

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

}  // namespace

QString WriteUrl(const InfluxServer& server) {
  return QLatin1String("HTTP://") + server.host + QLatin1Char(':') + server.port +
         QLatin1String("/write?db=") + server.database + QLatin1String("&precision=s");
}

InfluxWriter::InfluxWriter(InfluxWriterOptions options) : options_(options) {}

InfluxWriter::~InfluxWriter() = default;

void InfluxWriter::Disconnect() {
  if (socket_) socket_->abort();
  socket_.reset();
}

PostResult InfluxWriter::PostRecord(const InfluxServer& server, const QString& record) {
  QString error;
  const std::optional<QUrl> url = ParseWriteUrl(server, &error);
  if (!url) return Failed(error);
  Target target;
  target.host = url->host();
  target.port = static_cast<quint16>(url->port());
  const QByteArray host = url->host(QUrl::FullyEncoded).toLatin1();
  target.host_header =
      (host.contains(':') ? '[' + host + ']' : host) + ':' + QByteArray::number(target.port);
  // The database name is percent-encoded on its own, so that "&", "#", "+" or "%" in it reach
  // the server as part of the name instead of ending or changing it.
  target.path = "/write?db=" + QUrl::toPercentEncoding(server.database) + "&precision=s";

  const QByteArray body = record.toUtf8();
  QByteArray request = "POST " + target.path + " HTTP/1.1\r\nHost: " + target.host_header +
                       "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                       QByteArray::number(body.size()) + "\r\n";
  if (!options_.keep_alive) request += "Connection: close\r\n";
  request += "\r\n" + body;

  bool reused = false;
  Exchange exchange = Send(target, request, &reused);
  if (!exchange.reply && reused && !exchange.received_any && !exchange.timed_out) {
    // The server may have dropped the idle connection just as we wrote to it. A time-out is no
    // such case: the server may hold the record already, and waiting again doubles the wait.
    Disconnect();
    exchange = Send(target, request, &reused);
  }
  if (!exchange.reply) return Failed(exchange.error);
  return FromReply(*exchange.reply);
}

bool InfluxWriter::EnsureConnected(const Target& target, QString* error, bool* reused) {
  if (socket_ && socket_host_ == target.host && socket_port_ == target.port &&
      socket_->state() == QAbstractSocket::ConnectedState) {
    // A zero wait lets the socket notice that the server closed it while it lay idle; stray
    // bytes would be mistaken for the next reply, so they retire the connection too.
    const bool stray = socket_->bytesAvailable() > 0 || socket_->waitForReadyRead(0);
    if (!stray && socket_->state() == QAbstractSocket::ConnectedState) {
      *reused = true;
      return true;
    }
  }
  Disconnect();
  *reused = false;
  socket_ = std::make_unique<QTcpSocket>();
  socket_->setProxy(QNetworkProxy::NoProxy);
  socket_->connectToHost(target.host, target.port);
  if (!socket_->waitForConnected(static_cast<int>(options_.connect_timeout.count()))) {
    *error =
        socket_->error() == QAbstractSocket::SocketTimeoutError
            ? QStringLiteral("no connection within %1 ms").arg(options_.connect_timeout.count())
            : socket_->errorString();
    Disconnect();
    return false;
  }
  socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  socket_host_ = target.host;
  socket_port_ = target.port;
  return true;
}

InfluxWriter::Exchange InfluxWriter::Send(const Target& target, const QByteArray& request,
                                          bool* reused) {
  Exchange exchange;
  if (!EnsureConnected(target, &exchange.error, reused)) return exchange;
  const QDeadlineTimer deadline(options_.request_timeout);
  const QString timed_out =
      QStringLiteral("no reply within %1 ms").arg(options_.request_timeout.count());
  socket_->write(request);
  while (socket_->bytesToWrite() > 0) {
    if (!socket_->waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
      exchange.timed_out = deadline.hasExpired();
      exchange.error = exchange.timed_out ? timed_out : socket_->errorString();
      Disconnect();
      return exchange;
    }
  }
  HttpResponseParser reply;
  while (reply.state() == HttpResponseParser::State::kIncomplete) {
    if (socket_->bytesAvailable() == 0 &&
        !socket_->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
      if (socket_->state() == QAbstractSocket::ConnectedState) {
        exchange.timed_out = true;
        exchange.error = timed_out;
        break;
      }
      reply.Feed(socket_->readAll());
      reply.FinishOnClose();
      break;
    }
    reply.Feed(socket_->readAll());
  }
  exchange.received_any = reply.received_any();
  if (reply.state() == HttpResponseParser::State::kComplete) {
    exchange.reply = reply;
  } else if (exchange.error.isEmpty()) {
    exchange.error = reply.received_any() ? QStringLiteral("garbled reply from the server")
                                          : QStringLiteral("the server closed the connection");
  }
  if (!exchange.reply || !reply.keep_alive() || !options_.keep_alive) Disconnect();
  return exchange;
}

}  // namespace orva
