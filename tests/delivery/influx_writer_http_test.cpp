// The writer against a scripted HTTP peer: what goes over the wire, how many connections it
// takes, and what it makes of replies a real server gives only rarely.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "delivery/influx_writer.h"

namespace orva {
namespace {

// How the peer answers request number n (0-based, counted over all connections).
struct Reply {
  QByteArray bytes;
  bool close_after = false;  // close the connection once the reply is out
  bool silent = false;       // read the request, answer nothing
};

const QByteArray kNoContent = "HTTP/1.1 204 No Content\r\n\r\n";

// A one-thread HTTP/1.1 peer on a free loopback port, serving one connection at a time with
// blocking waits, so the writer's own blocking calls in the test thread do not starve it.
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

  QString port_text() const { return QString::number(port_); }
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

InfluxServer At(const ScriptedPeer& peer, const QString& database = "orva") {
  return {"127.0.0.1", peer.port_text(), database};
}

TEST(InfluxWriterHttpTest, WriteUrlIsPlainConcatenation) {
  EXPECT_EQ(WriteUrl({"localhost", "8086", "orva"}),
            "HTTP://localhost:8086/write?db=orva&precision=s");
  EXPECT_EQ(WriteUrl({"localhost ", "", "my db"}), "HTTP://localhost :/write?db=my db&precision=s");
}

TEST(InfluxWriterHttpTest, SendsThePostAsTheWriteEndpointWantsIt) {
  ScriptedPeer peer([](int) { return Reply{kNoContent}; });
  InfluxWriter writer;
  const PostResult result = writer.PostRecord(At(peer), QString::fromUtf8("123456 Küche=1"));
  EXPECT_EQ(result.outcome, PostOutcome::kSent);
  ASSERT_EQ(peer.requests().size(), 1);
  const QByteArray request = peer.requests().front();
  const QByteArray body = QString::fromUtf8("123456 Küche=1").toUtf8();
  EXPECT_TRUE(request.startsWith("POST /write?db=orva&precision=s HTTP/1.1\r\n")) << request.data();
  EXPECT_TRUE(request.contains("\r\nContent-Type: application/x-www-form-urlencoded\r\n"));
  EXPECT_TRUE(request.contains("\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n"));
  EXPECT_TRUE(request.endsWith("\r\n\r\n" + body)) << "the body is the record, no line feed added";
}

// Kept alive (the default), one connection carries every post; without, each post connects
// afresh.
TEST(InfluxWriterHttpTest, ConnectionsPerPost) {
  for (const bool keep_alive : {true, false}) {
    ScriptedPeer peer([](int) { return Reply{kNoContent}; });
    InfluxWriter writer(keep_alive ? InfluxWriterOptions{}
                                   : InfluxWriterOptions{.keep_alive = false});
    for (int i = 0; i < 20; ++i) {
      ASSERT_EQ(writer.PostRecord(At(peer), QStringLiteral("m v=%1").arg(i)).outcome,
                PostOutcome::kSent);
    }
    EXPECT_EQ(peer.requests().size(), 20);
    EXPECT_EQ(peer.connections(), keep_alive ? 1 : 20);
    EXPECT_EQ(peer.requests().front().contains("\r\nConnection: close\r\n"), !keep_alive);
  }
}

TEST(InfluxWriterHttpTest, ConnectionsTheServerClosesAreReplaced) {
  const struct {
    const char* name;
    Reply reply;
  } cases[] = {
      // Says so in the reply: the writer must not reuse the connection.
      {"announced", {"HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n", true}},
      // Drops it silently after the reply, as an idle time-out does: the next post finds the
      // connection dead and must still go through.
      {"silent", {kNoContent, true}},
  };
  for (const auto& c : cases) {
    ScriptedPeer peer([&](int) { return c.reply; });
    InfluxWriter writer;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(writer.PostRecord(At(peer), "m v=1").outcome, PostOutcome::kSent) << c.name;
    }
    EXPECT_EQ(peer.requests().size(), 4) << c.name << ": every record exactly once";
    EXPECT_EQ(peer.connections(), 4) << c.name;
  }
}

TEST(InfluxWriterHttpTest, RepliesMapToOutcomes) {
  const struct {
    QByteArray reply;
    PostOutcome outcome;
    const char* text;
  } cases[] = {
      {"HTTP/1.1 204 No Content\r\n\r\n", PostOutcome::kSent, "InfluxDB data sent"},
      {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", PostOutcome::kSent, "InfluxDB data sent"},
      {"HTTP/1.1 400 Bad Request\r\nContent-Length: 34\r\n\r\n{\"error\":\"unable to parse 'm "
       "v='\"}",
       PostOutcome::kRecordRejected, "InfluxDB server error 400: unable to parse 'm v='"},
      {"HTTP/1.1 413 Too Large\r\nContent-Length: 0\r\n\r\n", PostOutcome::kRecordRejected,
       "InfluxDB server error 413: Too Large"},
      {"HTTP/1.1 500 Internal Server Error\r\nContent-Length: 11\r\n\r\nengine died",
       PostOutcome::kServerFailed, "InfluxDB server error 500: engine died"},
      {"HTTP/1.1 503 Unavailable\r\nContent-Length: 0\r\n\r\n", PostOutcome::kServerFailed,
       "InfluxDB server error 503: Unavailable"},
      {"HTTP/1.1 301 Moved\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n",
       PostOutcome::kServerFailed, "InfluxDB server error 301: Moved"},
      {"garbage\r\n\r\n", PostOutcome::kServerFailed,
       "InfluxDB server error: garbled reply from the server"},
  };
  for (const auto& c : cases) {
    ScriptedPeer peer([&](int) { return Reply{c.reply}; });
    InfluxWriter writer;
    const PostResult result = writer.PostRecord(At(peer), "m v=1");
    EXPECT_EQ(result.outcome, c.outcome) << c.reply.data();
    EXPECT_EQ(result.status_text, QString::fromLatin1(c.text));
    EXPECT_EQ(result.red, c.outcome != PostOutcome::kSent) << c.reply.data();
  }
}

// Silent from the first post, or on a connection kept from an earlier post: either way the post
// fails once its time-out is up, and the record is not sent a second time.
TEST(InfluxWriterHttpTest, ASilentServerTimesOut) {
  for (const int answered : {0, 1}) {
    ScriptedPeer peer([&](int n) {
      return n < answered ? Reply{kNoContent} : Reply{{}, false, true};
    });
    InfluxWriter writer({.request_timeout = std::chrono::milliseconds(300)});
    for (int i = 0; i < answered; ++i) {
      ASSERT_EQ(writer.PostRecord(At(peer), "m v=1").outcome, PostOutcome::kSent);
    }
    const PostResult result = writer.PostRecord(At(peer), "m v=2");
    EXPECT_EQ(result.outcome, PostOutcome::kServerFailed) << answered;
    EXPECT_EQ(result.status_text, "InfluxDB server error: no reply within 300 ms");
    EXPECT_EQ(peer.requests().size(), answered + 1) << "a time-out is not retried";
    EXPECT_EQ(peer.connections(), 1) << answered;
  }
}

TEST(InfluxWriterHttpTest, AddressesThatCannotBeReachedFail) {
  const quint16 closed = [] {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
  }();
  const InfluxServer cases[] = {
      {"127.0.0.1", QString::number(closed), "orva"},  // nobody listens
      {"127.0.0.1", "", "orva"},                       // no port
      {"127.0.0.1", "80a", "orva"},
      {"127.0.0.1", "70000", "orva"},
      {"localhost ", QString::number(closed), "orva"},  // the blank is part of the host
      {"", "8086", "orva"},
  };
  for (const InfluxServer& server : cases) {
    InfluxWriter writer({.connect_timeout = std::chrono::milliseconds(1000)});
    const PostResult result = writer.PostRecord(server, "m v=1");
    EXPECT_EQ(result.outcome, PostOutcome::kServerFailed) << WriteUrl(server).toStdString();
    EXPECT_TRUE(result.status_text.startsWith("InfluxDB server error: "))
        << result.status_text.toStdString();
    EXPECT_GT(result.status_text.size(), QStringLiteral("InfluxDB server error: ").size());
    EXPECT_TRUE(result.red);
    EXPECT_EQ(result.http_status, 0);
  }
}

}  // namespace
}  // namespace orva
