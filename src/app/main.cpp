// orva-influx: posts live values of an Orva installation's KTX controller to InfluxDB.
#include "app/exit_codes.h"
#include "app/headless.h"
#include "app/outbox_command.h"
#include "app/status_command.h"
#include "startup/command_line.h"
#include "startup/instance_lock.h"
#include "startup/startup.h"
#include "store/language_texts.h"
#include "ui/frm_influxdb.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr char kUsage[] =
    "Usage: orva-influx [--language L] [--serial-ports FIRST-LAST|none] [SWITCHES]\n"
    "       orva-influx --headless --config FILE [--ticks N] [--echo-error-answer yes|no]\n"
    "                   [SWITCHES]\n"
    "       orva-influx --status\n"
    "Each also takes --state-dir DIR.\n"
    "\n"
    "SWITCHES name the installation database and the controller, in one argument in double\n"
    "quotes or as separate arguments:\n"
    "  -d FOLDER   folder of the installation database (Access or SQLite)\n"
    "  -f FILE     its file name\n"
    "  -c ADDRESS  the controller's address, optionally with a port (host:port, [v6]:port)\n"
    "Without -d and -f the working copy of the previous start is used; -c still applies.\n"
    "\n"
    "  --headless  scan without a window: status lines on stdout (errors on stderr too);\n"
    "              SIGINT, SIGTERM or SIGHUP finishes the current row, posts it and exits 0\n"
    "  --config FILE           the scan configuration (JSON) to scan\n"
    "  --ticks N               stop after N scan ticks\n"
    "  --echo-error-answer yes|no\n"
    "              answer to the controller's echo-error question (default no)\n"
    "  --language L  the language of the controller's messages, kept for the next starts:\n"
    "              N Dutch, F French, D German, B Brazilian, P Portuguese, S Spanish,\n"
    "              I Italian, O Polish, E English (at first: the system's language)\n"
    "  --serial-ports FIRST-LAST|none\n"
    "              the serial ports to try when TCP/IP finds no controller, kept for the\n"
    "              next starts (port n is /dev/ttyS<n-1>); none (the default): TCP/IP only\n"
    "  --status    how delivery goes in the orva-influx running on this state folder:\n"
    "              records read, sent, waiting, dropped, rejected (direct: sent, failed) and\n"
    "              the last post, from its start; \"not running\" and exit code 5 without one\n"
    "  --outbox    what waits in the outbox (per precision: how many, read from when to when)\n"
    "              and the last ten lines a server refused, with its words\n"
    "  --outbox-clear  delete what waits in the outbox; only while no orva-influx runs on\n"
    "              this state folder (else exit code 1)\n"
    "  --state-dir DIR  the folder of the settings, the communication log, the outbox and\n"
    "              the delivery state, made when missing and started with the shipped\n"
    "              settings and log (also ORVA_STATE_DIR; default: beside the program, or\n"
    "              /var/lib/orva-influx when installed as a package)\n"
    "  --help      show this text\n"
    "  --version   show the program's version\n"
    "\n"
    "ORVA_ROOT sets the folder that holds Orva/Temp (default: the home folder).\n"
    "\n"
    "The configuration file's \"InfluxDB\" object may also hold, each optional:\n"
    "  \"Api\": \"v1\"|\"v2\"|\"v3\"  the server's write endpoint (default v1: InfluxDB 1.x)\n"
    "  \"Tls\": true              HTTPS       \"CaFile\": PATH  CA certificates (PEM) to trust\n"
    "  \"TlsVerify\": false       no certificate or name check\n"
    "  \"User\": NAME  (v1 login)  \"Org\": NAME  (v2 organisation)\n"
    "  \"CreateDatabase\": false  v1: do not create a missing database (default: create it)\n"
    "  \"SecretFile\": PATH       the password (v1) or token (v2, v3), first line; relative\n"
    "                           to $CREDENTIALS_DIRECTORY when set. Without it the secret is\n"
    "                           taken from ORVA_INFLUX_SECRET.\n"
    "  \"CommLogDays\": DAYS      days the communication log keeps (default 14, 0: all)\n"
    "  \"Delivery\": \"buffered\"|\"direct\"  buffered (default): records carry their read time\n"
    "                           and wait in Outbox.orva until the server has them; direct: one\n"
    "                           post per record, nothing kept\n"
    "  \"Precision\": \"ms\"|\"s\"|\"us\"|\"ns\"  unit of the time stamps (default ms)\n"
    "  \"OutboxLimit\": N (1000000)  \"BatchSize\": N (5000)  \"FlushSeconds\": S (1)\n"
    "\n"
    "Exit codes: 0 stopped by a signal or after --ticks, 1 start-up failed (the window also\n"
    "without a display, and any start while orva-influx runs on the same state folder or\n"
    "ORVA_ROOT), 2 bad options or controller address, 3 an unusable configuration file, 4 the\n"
    "last of the --ticks failed or values were lost, 5 --status found no orva-influx running.\n";

bool HasOption(const QStringList& arguments, const char* option) {
  return arguments.contains(QLatin1String(option));
}

// Qt aborts the process when it finds no platform to show a window on; said plainly instead,
// with the way to scan without one.
bool HasDisplay(const QStringList& arguments) {
#if defined(Q_OS_LINUX)
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    if (!qEnvironmentVariableIsEmpty(variable)) return true;
  }
  return HasOption(arguments, "-platform");
#else
  Q_UNUSED(arguments);
  return true;
#endif
}

int UsageError(const QString& problem) {
  std::fprintf(stderr, "orva-influx: %s\n\n%s", qPrintable(problem), kUsage);
  return orva::kUsageError;
}

void ReportFailure(const QString& message, bool headless) {
  if (headless) {
    std::fputs(qPrintable(message + QLatin1Char('\n')), stderr);
  } else {
    QMessageBox::critical(nullptr, orva::WindowTitle(), message);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit (ulimit -f) fails a write as a full disk does, instead of ending the
  // program: the scan counts what it could not keep and goes on.
  std::signal(SIGXFSZ, SIG_IGN);
  // Without TZ, glibc looks at /etc/localtime again (a stat, at times a read) at every reading
  // of the local time: the scan reads it for every frame it logs. Named, the zone is read once;
  // a change of the system's zone then takes effect at the next start.
  setenv("TZ", ":/etc/localtime", 0);
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  if (HasOption(arguments, "--help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (HasOption(arguments, "--version")) {
    std::printf("orva-influx %s\n", qPrintable(orva::WindowTitle().section(QLatin1Char('V'), -1)));
    return 0;
  }

  for (const auto& [option, command] :
       {std::pair{"--status", &orva::RunStatusCommand},
        std::pair{"--outbox", &orva::RunOutboxCommand},
        std::pair{"--outbox-clear", &orva::RunOutboxClearCommand}}) {
    if (!HasOption(arguments, option)) continue;
    const QCoreApplication app(argc, argv);
    return command(orva::AppPathsOf(QCoreApplication::applicationDirPath(), arguments));
  }

  const bool headless = HasOption(arguments, "--headless");
  if (!headless && !HasDisplay(arguments)) {
    std::fputs("orva-influx: no display found for the window; --headless scans without one\n",
               stderr);
    return orva::kStartupFailed;
  }
  std::unique_ptr<QCoreApplication> app;
  if (headless) {
    // Without a window there is no GLib main loop to share. Qt's own event loop wakes a thread
    // once for the events posted to it meanwhile, and sockets turned on or off do not wake it;
    // GLib's is woken for each (the scan thread posts several a tick, for every row read).
    qputenv("QT_NO_GLIB", "1");
    app = std::make_unique<QCoreApplication>(argc, argv);
  } else {
    app = std::make_unique<QApplication>(argc, argv);
  }
  // The window's application has taken out the options that are Qt's own (--style, ...); what is
  // left must be ours.
  const QStringList ours = QCoreApplication::arguments().mid(1);
  const orva::AppPaths paths = orva::AppPathsOf(QCoreApplication::applicationDirPath(), ours);
  // Said in the user's language, as the other faults of a start.
  if (const QString unknown = orva::UnknownOption(ours); !unknown.isEmpty()) {
    return UsageError(orva::StartupFailureMessage(
        orva::TextFault(EINVAL, orva::TextKey::kUnknownOption, {unknown}), paths, ours));
  }
  const auto headless_options = orva::ParseHeadlessOptions(ours);
  if (headless && std::holds_alternative<QString>(headless_options)) {
    return UsageError(std::get<QString>(headless_options));
  }
  if (headless) {
    const QString problem = orva::ControllerAddressProblem(orva::SwitchTextOf(ours));
    if (!problem.isEmpty()) {
      std::fprintf(stderr, "orva-influx: %s\n", qPrintable(problem));
      return orva::kUsageError;
    }
  }
  const auto given = orva::GivenOptions(ours);
  if (const QString* problem = std::get_if<QString>(&given)) return UsageError(*problem);
  const auto settings_changes = orva::SettingsChanges(std::get<QList<orva::GivenOption>>(given));
  if (const QString* problem = std::get_if<QString>(&settings_changes)) {
    return UsageError(*problem);
  }
  // Before anything is opened: a second instance must leave the running one's files alone.
  const orva::InstanceLock lock(paths);
  if (!lock.refusal().isEmpty()) {
    ReportFailure(lock.refusal(), headless);
    return orva::kStartupFailed;
  }
  // The figures a run before left must not pass for this one's until its scan writes its own.
  QFile::remove(paths.DeliveryStateFile());

  try {
    // The window's application has taken out the options that are Qt's own (-display,
    // -qwindowtitle, -style, ...): "-display", or a title holding " -d", would otherwise be read
    // as the folder switch.
    orva::StartupState state = orva::PrepareStartup(QCoreApplication::applicationDirPath(), ours,
                                                    std::get<QVariantMap>(settings_changes));
    if (!headless) {
      orva::FrmInfluxDB window(state);
      window.Form_Load();
      window.show();
      return app->exec();
    }
    orva::RunSettingsStep(state);
    return orva::RunHeadless(state, std::get<orva::HeadlessOptions>(headless_options));
  } catch (const orva::DbError& error) {
    ReportFailure(orva::StartupFailureMessage(error, paths, ours), headless);
    return orva::kStartupFailed;
  } catch (const std::exception& error) {
    ReportFailure(orva::StartupFailureMessage(orva::DbError(0, QString::fromLocal8Bit(error.what()),
                                                            QStringLiteral("orva-influx"))),
                  headless);
    return orva::kStartupFailed;
  }
  return 0;
}
