#pragma once

// The least a client can do for a post to InfluxDB 1.x: one request written whole, a reply read
// up to the end of its head and its Content-Length body, the connection kept. The floor the
// program's own posting is measured against.

#include <QByteArray>
#include <QString>
#include <QTcpSocket>

namespace orva::bench {

class RawClient {
 public:
  RawClient(const QString& host, quint16 port, const QString& database) {
    socket_.connectToHost(host, port);
    socket_.waitForConnected(3000);
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    head_ = "POST /write?db=" + database.toUtf8() +
            "&precision=ms HTTP/1.1\r\nHost: " + host.toUtf8() +
            "\r\nContent-Type: application/x-www-form-urlencoded\r\n";
  }

  // The reply's status code, or 0 when none came.
  int Post(const QByteArray& body) {
    socket_.write(head_ + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    QByteArray reply;
    qsizetype head_end = -1;
    while ((head_end = reply.indexOf("\r\n\r\n")) < 0 ||
           reply.size() < head_end + 4 + Length(reply)) {
      if (!socket_.waitForReadyRead(30000)) return 0;
      reply += socket_.readAll();
    }
    return reply.mid(9, 3).toInt();
  }

 private:
  static qsizetype Length(const QByteArray& reply) {
    const qsizetype at = reply.toLower().indexOf("content-length:");
    return at < 0 ? 0 : reply.mid(at + 15).split('\r').front().trimmed().toLongLong();
  }

  QTcpSocket socket_;
  QByteArray head_;
};

}  // namespace orva::bench
