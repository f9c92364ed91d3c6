#include "tcp_server.h"

#include <QTcpSocket>

namespace orva::sim {
namespace {

// Status for a command frame that arrives before a successful login.
constexpr quint8 kPasswordNotSent = 16;
constexpr quint8 kWrongPacketLength = 223;

}  // namespace

TcpSession::TcpSession(QTcpSocket* socket, Responder* responder, const LoginSettings* login,
                       int* logins, QObject* parent)
    : QObject(parent),
      socket_(socket),
      responder_(responder),
      login_(login),
      logins_(logins),
      queue_([this](const QByteArray& bytes) { socket_->write(bytes); }, this) {
  socket_->setParent(this);
  socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  connect(socket_, &QTcpSocket::readyRead, this, &TcpSession::OnReadyRead);
  connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
}

void TcpSession::OnReadyRead() {
  const QByteArray incoming = socket_->readAll();
  responder_->Trace("tcp", "rx", incoming);
  buffer_.append(incoming);
  while (!hanging_up_) {
    const TcpPacket packet = CutTcpPacket(buffer_);
    if (packet.kind == TcpPacket::Kind::kIncomplete) break;
    buffer_.remove(0, packet.consumed);
    if (packet.kind == TcpPacket::Kind::kPacket) Handle(packet);
  }
}

void TcpSession::Handle(const TcpPacket& packet) {
  if (packet.function_id == kLoginFunctionId) {
    HandleLogin(packet);
  } else {
    HandleCommand(packet);
  }
}

void TcpSession::HandleLogin(const TcpPacket& packet) {
  ++*logins_;
  quint8 status = packet.header_error;
  if (status == 0) status = CheckLogin(packet.payload, login_->user, login_->password);
  if (status == 0) {
    logged_in_ = true;
    const Faults& faults = responder_->faults();
    const QByteArray greeting = FaultedGreeting(faults, login_->greeting);
    responder_->Trace("tcp", "tx", greeting);
    // TCP may cut the greeting as much as any answer.
    queue_.Enqueue(greeting, 0, faults.split_pieces, faults.split_delay_ms);
    return;
  }
  // A refused login ends the connection, as the interface allows one try per connection.
  const QByteArray refusal = LoginRefusal(status);
  responder_->Trace("tcp", "tx", refusal);
  hanging_up_ = true;
  queue_.Enqueue(refusal, 0, 1, 0, [this] { HangUp(); });
}

void TcpSession::HandleCommand(const TcpPacket& packet) {
  Request request;
  if (!ParseFrame(packet.payload, &request)) {
    // Without a frame there is no echo to answer with; a header at least gets one.
    if (packet.payload.size() < 5 || packet.payload[0] != kFrameStart) return;
    ParseFrame(packet.payload.left(5) + kFrameEnd, &request);
    AnswerPlan plan;
    plan.bytes = ErrorAnswer(request, kWrongPacketLength);
    SendAnswer(packet.function_id, plan);
    return;
  }
  AnswerPlan plan;
  if (packet.header_error != 0 || !logged_in_) {
    plan.bytes =
        ErrorAnswer(request, packet.header_error != 0 ? packet.header_error : kPasswordNotSent);
  } else {
    plan = responder_->Respond(request);
  }
  if (!plan.silent) SendAnswer(packet.function_id, plan);
}

void TcpSession::SendAnswer(quint8 function_id, const AnswerPlan& plan) {
  const QByteArray wire =
      Envelope(function_id, static_cast<int>(plan.bytes.size()) - 1) + plan.bytes;
  responder_->Trace("tcp", "tx", wire);
  const int drop_after = responder_->faults().drop_after;
  const bool last = drop_after > 0 && ++answers_sent_ >= drop_after;
  if (last) hanging_up_ = true;
  queue_.Enqueue(wire, plan.latency_ms, plan.pieces, plan.gap_ms, [this, last] {
    if (last) HangUp();
  });
}

void TcpSession::HangUp() {
  responder_->Trace("tcp", "hangup", {});
  socket_->disconnectFromHost();
}

TcpServer::TcpServer(Responder* responder, LoginSettings login, QObject* parent)
    : QObject(parent), responder_(responder), login_(std::move(login)) {
  connect(&server_, &QTcpServer::newConnection, this, &TcpServer::OnNewConnection);
}

bool TcpServer::Listen(quint16 port, QString* error) {
  if (server_.listen(QHostAddress::LocalHost, port)) return true;
  *error = server_.errorString();
  return false;
}

void TcpServer::OnNewConnection() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    new TcpSession(socket, responder_, &login_, &logins_, this);
  }
}

}  // namespace orva::sim
