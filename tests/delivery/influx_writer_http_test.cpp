// The writer against a scripted HTTP peer: what goes over the wire, how many connections it
// takes, and what it makes of replies a real server gives only rarely; and the outbox's sender,
// which reads batches ahead of the one being posted, through the same peer.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "delivery/influx_writer.h"
#include "delivery/outbox.h"
#include "delivery/outbox_sender.h"

namespace orva {
namespace {

// How the peer answers request number n (0-based, counted over all connections).
struct Reply {
  QByteArray bytes;
  bool close_after = false;  // close the connection once the reply is out
  bool silent = false;       // read the request, answer nothing
};

const QByteArray kNoContent = "HTTP/1.1 204 No Content\r\n\r\n";

// A one-thread HTTP/1.1 peer on a free loopback port that records every request whole, serving
// one connection at a time with blocking waits, so the writer's own blocking calls in the test
// thread do not starve it.
class ScriptedPeer {
 public:
  explicit ScriptedPeer(std::function<Reply(int)> script) : script_(std::move(script)) {
    std::promise<quint16> port;
    std::future<quint16> ready = port.get_future();
    thread_ = std::thread([this, &port] { Run(&port); });
    port_ = ready.get();
  }
  ~ScriptedPeer() {
    stop_ = true;
    thread_.join();
  }

  InfluxServer Server(const QString& database = "orva") const {
    return {"127.0.0.1", QString::number(port_), database, {}, {}};
  }
  int connections() const { return connections_; }
  QList<QByteArray> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  void Run(std::promise<quint16>* port) {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    port->set_value(server.serverPort());
    while (!stop_) {
      if (!server.waitForNewConnection(20)) continue;
      std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
      ++connections_;
      Serve(socket.get());
    }
  }

  void Serve(QTcpSocket* socket) {
    QByteArray buffer;
    while (!stop_ && socket->state() == QAbstractSocket::ConnectedState) {
      if (socket->bytesAvailable() == 0 && !socket->waitForReadyRead(20)) continue;
      buffer += socket->readAll();
      const qsizetype head_end = buffer.indexOf("\r\n\r\n");
      if (head_end < 0) continue;
      const QByteArray head = buffer.left(head_end).toLower();
      const qsizetype at = head.indexOf("content-length:");
      const int length = at < 0 ? 0 : head.mid(at + 15).split('\r').front().trimmed().toInt();
      if (buffer.size() < head_end + 4 + length) continue;
      const QByteArray request = buffer.left(head_end + 4 + length);
      buffer.remove(0, request.size());
      int index;
      {
        std::lock_guard lock(mutex_);
        index = static_cast<int>(requests_.size());
        requests_ << request;
      }
      const Reply reply = script_(index);
      if (reply.silent) continue;
      socket->write(reply.bytes);
      socket->waitForBytesWritten(1000);
      if (reply.close_after) {
        socket->disconnectFromHost();
        if (socket->state() != QAbstractSocket::UnconnectedState) socket->waitForDisconnected(1000);
        return;
      }
    }
  }

  std::function<Reply(int)> script_;
  std::thread thread_;
  quint16 port_ = 0;
  std::atomic<bool> stop_ = false;
  std::atomic<int> connections_ = 0;
  mutable std::mutex mutex_;
  QList<QByteArray> requests_;
};

// The request line and the login each server kind gets; no real 2.x or 3.x server is at hand,
// so the peer stands in for them.
TEST(InfluxWriterHttpTest, RequestsForEachApi) {
  using enum InfluxApi;
  const struct {
    InfluxApi api;
    QString user;
    QString org;
    QString database;
    QString secret;
    QByteArray target;         // of the request line, before "&precision=ms"
    QByteArray authorization;  // empty: no such header
  } cases[] = {
      {kV1, "", "", "orva", "", "/write?db=orva", ""},
      {kV1, "", "", "a&b+c #d%41", "", "/write?db=a%26b%2Bc%20%23d%2541", ""},
      {kV1, "ann", "", "orva", "pw:1", "/write?db=orva", "Basic YW5uOnB3OjE="},
      {kV1, "", "", "orva", "pw", "/write?db=orva", ""},
      {kV2, "", "my org&co", "bucket/1",
       "tok==", "/api/v2/write?org=my%20org%26co&bucket=bucket%2F1", "Token tok=="},
      {kV2, "", "o", "b", "", "/api/v2/write?org=o&bucket=b", ""},
      {kV3, "ann", "", "orva", "apiv3_x", "/api/v3/write_lp?db=orva", "Token apiv3_x"},
  };
  const QString record = QString::fromUtf8("m Küche=1");
  for (const auto& c : cases) {
    ScriptedPeer peer([](int) { return Reply{kNoContent}; });
    InfluxServer server = peer.Server(c.database);
    server.access.api = c.api;
    server.access.user = c.user;
    server.access.org = c.org;
    server.secret = c.secret;
    EXPECT_EQ(InfluxWriter().PostRecord(server, record).outcome, PostOutcome::kSent);
    ASSERT_EQ(peer.requests().size(), 1);
    const QByteArray request = peer.requests().front();
    const QList<QByteArray> lines = request.split('\n');
    EXPECT_EQ(lines.front().trimmed(), "POST " + c.target + "&precision=ms HTTP/1.1");
    QByteArray authorization;
    for (const QByteArray& line : lines) {
      if (line.toLower().startsWith("authorization:")) authorization = line.mid(14).trimmed();
    }
    EXPECT_EQ(authorization, c.authorization) << c.target.data();
    EXPECT_TRUE(request.contains("\r\nContent-Type: application/x-www-form-urlencoded\r\n"));
    EXPECT_TRUE(request.endsWith("\r\n\r\n" + record.toUtf8())) << "the record, no line feed added";
  }
}

// Kept alive (the default), one connection carries every post; without, each post connects
// afresh. A server that closes the connection after its reply, saying so or not, gets a new
// one for the next post, and every record exactly once.
TEST(InfluxWriterHttpTest, ConnectionsPerPost) {
  const struct {
    const char* name;
    bool keep_alive;
    Reply reply;
    int connections;
  } cases[] = {
      {"kept", true, {kNoContent}, 1},
      {"not kept", false, {kNoContent}, 20},
      {"server says close",
       true,
       {"HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n", true},
       20},
      {"server drops silently", true, {kNoContent, true}, 20},
  };
  for (const auto& c : cases) {
    ScriptedPeer peer([&](int) { return c.reply; });
    InfluxWriter writer({.keep_alive = c.keep_alive});
    for (int i = 0; i < 20; ++i) {
      ASSERT_EQ(writer.PostRecord(peer.Server(), QStringLiteral("m v=%1").arg(i)).outcome,
                PostOutcome::kSent)
          << c.name;
    }
    EXPECT_EQ(peer.requests().size(), 20) << c.name;
    EXPECT_EQ(peer.connections(), c.connections) << c.name;
    EXPECT_EQ(peer.requests().front().contains("\r\nConnection: close\r\n"), !c.keep_alive);
  }
}

// Every reply, and every silence, with what it means for the tick. A silent server fails the
// post once its time-out is up, whether silent from the first post or on a kept connection, and
// the record is not sent a second time.
TEST(InfluxWriterHttpTest, RepliesMapToOutcomes) {
  const Reply silent{{}, false, true};
  const auto http = [](const char* status, const QByteArray& body = {}) {
    return Reply{"HTTP/1.1 " + QByteArray(status) +
                 "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body};
  };
  using enum PostOutcome;
  const struct {
    Reply reply;
    int answered_before;  // posts answered 204 on the same connection before this one
    PostOutcome outcome;
    const char* text;
  } cases[] = {
      {{kNoContent}, 0, kSent, "InfluxDB data sent"},
      {http("200 OK"), 0, kSent, "InfluxDB data sent"},
      {http("400 Bad Request", "{\"error\":\"unable to parse 'm v='\"}"), 0, kRecordRejected,
       "InfluxDB server error 400: unable to parse 'm v='"},
      {http("413 Too Large"), 0, kRecordRejected, "InfluxDB server error 413: Too Large"},
      {http("401 Unauthorized", "{\"code\":\"unauthorized\",\"message\":\"bad token\"}"), 0,
       kServerFailed, "InfluxDB refused the login (401): bad token"},
      {http("403 Forbidden"), 0, kServerFailed, "InfluxDB refused the login (403): Forbidden"},
      {http("500 Internal Server Error", "engine died"), 0, kServerFailed,
       "InfluxDB server error 500: engine died"},
      {http("301 Moved\r\nLocation: /x"), 0, kServerFailed, "InfluxDB server error 301: Moved"},
      {{"garbage\r\n\r\n"},
       0,
       kServerFailed,
       "InfluxDB server error: garbled reply from the server"},
      {{{}, true}, 0, kServerFailed, "InfluxDB server error: the server closed the connection"},
      {silent, 0, kServerFailed, "InfluxDB server error: no reply within 300 ms"},
      {silent, 1, kServerFailed, "InfluxDB server error: no reply within 300 ms"},
  };
  for (const auto& c : cases) {
    ScriptedPeer peer([&](int n) { return n < c.answered_before ? Reply{kNoContent} : c.reply; });
    InfluxWriter writer({.request_timeout = std::chrono::milliseconds(300)});
    for (int i = 0; i < c.answered_before; ++i) writer.PostRecord(peer.Server(), "m v=1");
    const PostResult result = writer.PostRecord(peer.Server(), "m v=2");
    EXPECT_EQ(result.outcome, c.outcome) << c.text;
    EXPECT_EQ(result.status_text.toStdString(), c.text);
    EXPECT_EQ(result.red, c.outcome != kSent) << c.text;
    if (c.reply.silent) {
      EXPECT_EQ(peer.requests().size(), c.answered_before + 1) << "no resend";
    }
  }
}

TEST(InfluxWriterHttpTest, AddressesThatCannotBeReachedFail) {
  const QString closed = QString::number([] {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
  }());
  const struct {
    InfluxServer server;
    const char* text;  // empty: any text that says why
  } cases[] = {
      {{"127.0.0.1", closed, "orva", {}, {}}, "InfluxDB server error: Connection refused"},
      {{"127.0.0.1", "", "orva", {}, {}}, "InfluxDB server error: no port number"},
      {{"127.0.0.1", "80a", "orva", {}, {}}, ""},
      {{"127.0.0.1", "70000", "orva", {}, {}}, ""},
      {{"localhost ", closed, "orva", {}, {}}, ""},  // the blank is part of the host
      {{"", "8086", "orva", {}, {}}, ""},
  };
  for (const auto& c : cases) {
    InfluxWriter writer({.connect_timeout = std::chrono::milliseconds(1000)});
    const PostResult result = writer.PostRecord(c.server, "m v=1");
    EXPECT_EQ(result.outcome, PostOutcome::kServerFailed) << WriteUrl(c.server).toStdString();
    if (*c.text) {
      EXPECT_EQ(result.status_text.toStdString(), c.text);
    }
    EXPECT_GT(result.status_text.size(), QStringLiteral("InfluxDB server error: ").size());
    EXPECT_TRUE(result.red);
    EXPECT_EQ(result.http_status, 0);
  }
}

// Batches are read and packed ahead of the one being posted, yet reach the server one at a time
// and oldest first; a batch the server does not take goes again first, before any read after
// it, and every record is stored once.
TEST(InfluxWriterHttpTest, SenderKeepsTheOrderWithBatchesReadAhead) {
  constexpr int kFailing = 2;  // the third post gets a 503
  ScriptedPeer peer([](int n) {
    return Reply{n == kFailing ? "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n\r\n"
                               : kNoContent};
  });
  QTemporaryDir dir;
  Outbox outbox(dir.filePath("Outbox.orva"), 100);
  QList<StampedRecord> records;
  QList<QByteArray> lines;
  for (int i = 0; i < 12; ++i) {
    lines << "m v=" + QByteArray::number(i) + " " + QByteArray::number(1000 + i);
    records << StampedRecord{lines.last(), 1000 + i};
  }
  {
    OutboxSender sender(
        outbox, {}, [&] { return peer.Server(); }, [] { return 0.0; });
    sender.Configure({2, 1 << 20, std::chrono::milliseconds(1000)});
    outbox.Add(TimePrecision::kMilliseconds, records);
    sender.Wake();
    const QDeadlineTimer deadline(10000);
    while (outbox.size() > 0 && !deadline.hasExpired()) QThread::msleep(10);
    EXPECT_EQ(sender.Totals().sent, 12);
  }
  EXPECT_EQ(outbox.size(), 0);
  QList<QByteArray> bodies;
  for (const QByteArray& request : peer.requests()) {
    bodies << request.mid(request.indexOf("\r\n\r\n") + 4);
  }
  ASSERT_EQ(bodies.size(), 7);
  EXPECT_EQ(bodies[kFailing + 1], bodies[kFailing]);
  bodies.removeAt(kFailing);
  EXPECT_EQ(bodies.join('\n').split('\n'), lines);
  EXPECT_EQ(peer.connections(), 1);
}

}  // namespace
}  // namespace orva
