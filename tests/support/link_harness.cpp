#include "link_harness.h"

#include "installation_fixture.h"
#include "link/frame.h"
#include "link/login.h"

#include <QDir>

namespace orva::test {
namespace {

InstallationDb OpenFixtureInstallation(const ProgramFolder& folder) {
  QDir().mkpath(folder.temp_folder());
  WriteInstallationDb(folder.working_copy());
  return InstallationDb::Open(folder.working_copy());
}

}  // namespace

LinkDatabases::LinkDatabases()
    : settings(SettingsDb::Open(folder.File(QStringLiteral("config2.orva")))),
      installation(OpenFixtureInstallation(folder)),
      comm_log(CommLog::Open(folder.File(QStringLiteral("CommLog.orva")))),
      reference(ReferenceDb::Open(folder.File(QStringLiteral("init2.orva")))),
      texts(reference, [this] { return language; }) {}

LinkContext LinkDatabases::Context(const QString& controller_address) {
  return LinkContext{settings,
                     installation,
                     comm_log,
                     texts,
                     prompter,
                     controller_address,
                     QStringLiteral("115200"),
                     kWindowTitle,
                     [this](const QString& caption) { captions << caption; }};
}

std::vector<LogRowSeen> LinkDatabases::LogRows() {
  SqliteDb db = SqliteDb::OpenExisting(folder.File(QStringLiteral("CommLog.orva")));
  std::vector<LogRowSeen> rows;
  for (const Record& record :
       db.Query(QStringLiteral("SELECT Soort, Data FROM CommLog ORDER BY id"))) {
    const DbValue& data = record.Value(u"Data");
    rows.push_back(
        {record.Text(u"Soort").value_or(QString()), data ? data->toByteArray() : QByteArray()});
  }
  return rows;
}

QStringList LinkDatabases::LogKinds() {
  QStringList kinds;
  for (const LogRowSeen& row : LogRows()) kinds << row.kind;
  return kinds;
}

void LinkDatabases::ClearLog() {
  SqliteDb db = SqliteDb::OpenExisting(folder.File(QStringLiteral("CommLog.orva")));
  db.Exec(QStringLiteral("DELETE FROM CommLog"));
}

ScriptedLink::ScriptedLink(const QString& controller_address)
    : link(std::make_unique<Link>(Context(controller_address), LinkPorts{tcp, serial, clock})) {}

void ScriptedLink::ConnectSerial() {
  SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral("S  ")},
               {QStringLiteral("begcom"), 1},
               {QStringLiteral("endcom"), 1}});
  serial.SetResponder(ControllerResponder(false));
  link->EnsureConnected(kFactoryPassword, kFactoryPassword);
  serial.SetResponder({});
  serial.ForgetTraffic();
  ClearLog();
}

void ScriptedLink::ConnectTcp() {
  SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral(" E ")}});
  tcp.SetResponder(ControllerResponder(true));
  link->EnsureConnected(kFactoryPassword, kFactoryPassword);
  tcp.SetResponder({});
  tcp.ForgetTraffic();
  ClearLog();
}

QByteArray AnswerEnvelope(const QByteArray& answer) { return TcpEnvelope(0xFF, answer.size()); }

QByteArray VersionAnswer(const QByteArray& frame, int controller_type, const QByteArray& version) {
  QByteArray answer = frame.left(5);
  answer.append('\0');
  answer.append(static_cast<char>(4 + version.size()));
  answer.append(QByteArray("\x12\x34\x56", 3));
  answer.append(static_cast<char>(controller_type));
  answer.append('\0');
  answer.append(version);
  answer.append('#');
  return answer;
}

ScriptedTransport::Responder ControllerResponder(bool tcp) {
  return [tcp](const QByteArray& sent) -> ScriptedTransport::Reply {
    if (tcp && sent.size() == kLoginPacketLength && static_cast<quint8>(sent.at(9)) == 0xFA) {
      return {{0, QByteArray("Welcome to ORVA TCP/IP V2.15")}};
    }
    const QByteArray frame = tcp ? sent.mid(kEnvelopeLength) : sent;
    QByteArray answer;
    switch (static_cast<quint8>(frame.at(1))) {
      case Code(Command::kVersion):
        answer = VersionAnswer(frame);
        break;
      case CommandByte(Code(Command::kCancelProgramming), true):
        answer = frame.left(5) + QByteArray("\x00#", 2);
        break;
      default:
        answer = frame.left(5) + QByteArray("\x3F#", 2);
        break;
    }
    return {{0, tcp ? AnswerEnvelope(answer) + answer : answer}};
  };
}

}  // namespace orva::test
