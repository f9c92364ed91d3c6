#pragma once

// The controller's Ethernet interface: a login first, then enveloped command frames.

#include <QByteArray>
#include <QObject>
#include <QTcpServer>

#include "answer_queue.h"
#include "responder.h"
#include "tcp_packets.h"

class QTcpSocket;

namespace orva::sim {

struct LoginSettings {
  QByteArray user;
  QByteArray password;
  QByteArray greeting;
};

class TcpSession : public QObject {
 public:
  TcpSession(QTcpSocket* socket, Responder* responder, const LoginSettings* login, int* logins,
             QObject* parent);

 private:
  void OnReadyRead();
  void Handle(const TcpPacket& packet);
  void HandleLogin(const TcpPacket& packet);
  void HandleCommand(const TcpPacket& packet);
  // Envelope + answer; counts it towards drop-after.
  void SendAnswer(quint8 function_id, const AnswerPlan& plan);
  void HangUp();

  QTcpSocket* socket_;
  Responder* responder_;
  const LoginSettings* login_;
  int* logins_;
  AnswerQueue queue_;
  QByteArray buffer_;
  bool logged_in_ = false;
  bool hanging_up_ = false;
  int answers_sent_ = 0;
};

class TcpServer : public QObject {
 public:
  TcpServer(Responder* responder, LoginSettings login, QObject* parent = nullptr);

  // Listens on 127.0.0.1 only; port 0 picks a free one.
  bool Listen(quint16 port, QString* error);
  quint16 port() const { return server_.serverPort(); }
  // Login packets received on every connection so far, refused ones included.
  int logins() const { return logins_; }

 private:
  void OnNewConnection();

  Responder* responder_;
  LoginSettings login_;
  int logins_ = 0;
  QTcpServer server_;
};

}  // namespace orva::sim
