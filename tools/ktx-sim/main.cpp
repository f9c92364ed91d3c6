// ktx-sim: an Orva KTX controller on loopback (TCP and a pseudo-terminal), for tests and the
// demo. See --help and README.md.
#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <memory>

#include "controller.h"
#include "pty_server.h"
#include "responder.h"
#include "sim_options.h"
#include "stdin_control.h"
#include "tcp_packets.h"
#include "tcp_server.h"

namespace {

using orva::sim::Model;

[[noreturn]] void Fail(const QString& message) {
  std::fprintf(stderr, "ktx-sim: %s\n", message.toLocal8Bit().constData());
  std::exit(2);
}

Model LoadModelOrExit(const QString& path) {
  const QString source = path.isEmpty() ? QStringLiteral(":/ktx-sim/demo-model.json") : path;
  QFile file(source);
  if (!file.open(QIODevice::ReadOnly)) Fail("cannot read " + source);
  Model model;
  QString error;
  if (!orva::sim::ParseModel(file.readAll(), &model, &error)) Fail(source + ": " + error);
  return model;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("ktx-sim"));
  const orva::sim::SimOptions options = orva::sim::ParseOptionsOrExit(app.arguments());
  const orva::sim::Controller controller(LoadModelOrExit(options.model_file), options.freeze_time);
  orva::sim::Faults faults = options.faults;
  orva::sim::Responder responder(&controller, &faults, options.verbose);
  orva::sim::QuitOnSignals();

  std::unique_ptr<orva::sim::TcpServer> tcp;
  if (options.tcp) {
    const orva::sim::LoginSettings login{
        options.user, options.password,
        orva::sim::Greeting(controller.model().controller.interface_version)};
    tcp = std::make_unique<orva::sim::TcpServer>(&responder, login);
    QString error;
    if (!tcp->Listen(options.port, &error)) Fail("cannot listen: " + error);
    orva::sim::PrintLine(QStringLiteral("listening tcp 127.0.0.1:%1").arg(tcp->port()));
  }
  std::unique_ptr<orva::sim::PtyServer> pty;
  if (options.serial) {
    pty = std::make_unique<orva::sim::PtyServer>(&responder);
    QString error;
    if (!pty->Open(options.serial_link, &error)) Fail("cannot open a pseudo-terminal: " + error);
    orva::sim::PrintLine(QStringLiteral("listening serial ") + pty->device());
  }
  orva::sim::StdinControl control(&faults, &responder, [&tcp] { return tcp ? tcp->logins() : 0; });
  const int code = app.exec();
  orva::sim::PrintLine(QStringLiteral("reads %1").arg(responder.module_reads()));
  return code;
}
