#include "sim_options.h"

#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>

namespace orva::sim {
namespace {

constexpr char kDescription[] =
    "Plays an Orva KTX controller on loopback, for tests and demos.\n"
    "\n"
    "TCP (127.0.0.1 only): each connection first sends the 47-byte login packet (function id\n"
    "0xFA); a matching user and password get the bare 28-byte greeting\n"
    "\"Welcome to ORVA TCP/IP V2.15\" (the version comes from the model), anything else gets\n"
    "an enveloped \"*\" <status> \"#\" (14: wrong user or password, 17: short packet, 223: not a\n"
    "login) and the connection is closed. Command frames before a login get status 16. Every\n"
    "answer carries the 12-byte envelope.\n"
    "Serial (--serial): a pseudo-terminal in raw mode that speaks bare frames.\n"
    "\n"
    "Commands: 7 version (read), 40 module memory (read; 255 for an unknown serial number,\n"
    "103 past the 256 bytes, 104 without 3 serial bytes), 56 output status (read; count + 1\n"
    "status bytes; 112 for an unknown address), 81 cancel programming. Any other command gets\n"
    "status 63.\n"
    "\n"
    "Ready lines on stdout: \"listening tcp 127.0.0.1:<port>\", \"listening serial <device>\".\n"
    "Control lines on stdin: \"fault NAME [VALUE]\" (names as the options below, \"fault clear\"\n"
    "resets all), acknowledged on stdout; \"quit\" ends the simulator.";

[[noreturn]] void Fail(const QString& message) {
  std::fprintf(stderr, "ktx-sim: %s\n", message.toLocal8Bit().constData());
  std::exit(2);
}

QCommandLineOption FaultOption(const FaultSetting& setting) {
  const QString name = QLatin1String(setting.name);
  const QString help = QLatin1String(setting.help);
  switch (setting.kind) {
    case FaultKind::kSwitch:
      return QCommandLineOption(name, help);
    case FaultKind::kText:
      return QCommandLineOption(name, help, QStringLiteral("text"));
    case FaultKind::kNumber:
      break;
  }
  return QCommandLineOption(name, help, QStringLiteral("n"));
}

}  // namespace

SimOptions ParseOptionsOrExit(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QLatin1String(kDescription));
  parser.addHelpOption();
  const QCommandLineOption port({"p", "port"}, "TCP port on 127.0.0.1 (0: a free one).", "port",
                                "8446");
  const QCommandLineOption no_tcp("no-tcp", "Do not listen on TCP.");
  const QCommandLineOption serial("serial", "Also serve a pseudo-terminal.");
  const QCommandLineOption link("serial-link", "Symlink to the pseudo-terminal at <path>.", "path");
  const QCommandLineOption user("user", "Login user (default ORVA).", "user", "ORVA");
  const QCommandLineOption password("password", "Login password (default: none).", "password");
  const QCommandLineOption password_hex("password-hex", "Login password as hex bytes.", "hex");
  const QCommandLineOption model("model", "Model file (default: the built-in demo model).", "file");
  const QCommandLineOption freeze("freeze-time", "Keep every value at its start value.");
  const QCommandLineOption verbose("verbose", "Trace every byte on stderr.");
  parser.addOptions(
      {port, no_tcp, serial, link, user, password, password_hex, model, freeze, verbose});
  for (const FaultSetting& setting : FaultSettings()) parser.addOption(FaultOption(setting));
  parser.process(arguments);
  if (!parser.positionalArguments().isEmpty())
    Fail("unexpected argument " + parser.positionalArguments()[0]);

  SimOptions options;
  bool ok = false;
  const uint port_number = parser.value(port).toUInt(&ok);
  if (!ok || port_number > 65535) Fail("bad port " + parser.value(port));
  options.port = static_cast<quint16>(port_number);
  options.tcp = !parser.isSet(no_tcp);
  options.serial = parser.isSet(serial) || parser.isSet(link);
  options.serial_link = parser.value(link);
  options.user = parser.value(user).toLatin1();
  options.password = parser.value(password).toLatin1();
  if (parser.isSet(password_hex))
    options.password = QByteArray::fromHex(parser.value(password_hex).toLatin1());
  options.model_file = parser.value(model);
  options.freeze_time = parser.isSet(freeze);
  options.verbose = parser.isSet(verbose);
  if (!options.tcp && !options.serial) Fail("--no-tcp needs --serial");
  for (const FaultSetting& setting : FaultSettings()) {
    const QString name = QLatin1String(setting.name);
    if (!parser.isSet(name)) continue;
    QString error;
    if (!ApplyFault(name, parser.value(name), &options.faults, &error)) Fail(error);
  }
  return options;
}

}  // namespace orva::sim
