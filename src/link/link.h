#pragma once

#include "link/answer_evaluation.h"
#include "link/command.h"
#include "link/frame.h"
#include "link/framing.h"
#include "link/transport.h"
#include "store/installation_db.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

namespace orva {

class CommLog;
class InstallationDb;
class LanguageTexts;
class Prompter;
class SettingsDb;

// The connections and answers the link works with, all owned by the thread that runs it.
struct LinkContext {
  SettingsDb& settings;
  InstallationDb& installation;
  CommLog& comm_log;
  const LanguageTexts& texts;
  Prompter& prompter;
  // The -c switch: "host", "host:port" or "[v6-address]:port".
  QString controller_address;
  // Speed of the serial port, "115200".
  QString serial_speed = QStringLiteral("115200");
  // The window title, which the captions below extend.
  QString window_title;
  // Receives the window caption while the link connects; may be empty.
  std::function<void(const QString&)> caption;
};

struct LinkPorts {
  Transport& tcp;
  Transport& serial;
  Clock& clock;
};

// The controller link: one command at a time over TCP or a serial port, connecting and logging in
// when needed. Every failure is a result code in the first byte of the transaction result.
class Link {
 public:
  static constexpr int kViaTcp = 99;

  Link(LinkContext context, LinkPorts ports)
      : context_(std::move(context)), ports_(ports), framing_(Framing::Serial(ports.serial)) {}

  // One transaction, connecting first when no link is open. A result of 55, 56, 57, 251 or 252
  // drops the link so that the next transaction connects again. `count` comes back adjusted.
  QByteArray LinkTransact(Command command, Direction direction, quint8 parameter1,
                          quint8 parameter2, int& count, const QByteArray& data, int attempts = 0,
                          quint8 function_id = kCommandFunctionId);

  // Sends one command and judges its answer; no reconnect.
  QByteArray SendAndReceive(Command command, Direction direction, quint8 parameter1,
                            quint8 parameter2, int& count, const QByteArray& data, int attempts = 0,
                            quint8 function_id = kCommandFunctionId);

  // Opens the link: TCP with login when the settings ask for it, else or after a failure the
  // serial ports begcom..endcom when the settings allow them and name both. Returns a result code
  // (99 after a TCP login).
  int ConnectLink(const QString& user_text, const QString& password_text);
  // ConnectLink, then the state of the link (0: none, 99: TCP, else the serial port number).
  int EnsureConnected(const QString& user_text, const QString& password_text);

  // The status line text of a result code; drops the link where the code means it is gone.
  // `module` is the module record of the failed module read, nullopt when none was found.
  QString LinkErrorText(int code, const std::optional<Module>& module = std::nullopt);
  // Marks the link lost when `code` means so, and closes it for codes of a dead port.
  void LinkErrorCleanup(int code);

  int OpenSerialPort(int port_number);
  // 0, or 84 when there was no open port to close.
  int CloseSerialPort();

  // The text of a refused login (wrong user or password) when the latest attempt to open the
  // link met one, else empty: every further attempt with the same settings meets it again.
  QString LoginRefusal() const;
  // Whether the latest LinkTransact found no link and could not open one: the controller is not
  // to be reached, and further transactions would only wait for it again.
  bool unreachable() const { return unreachable_; }

  int connected() const { return connected_; }
  bool use_ethernet() const { return framing_.tcp(); }
  int last_command() const { return last_command_; }
  bool module_read_active() const { return module_read_active_; }
  // The scan sets this around module reads, so that a failed read keeps the link.
  void set_module_read_active(bool active) { module_read_active_ = active; }

  static constexpr int kMaxRepeats = 10;

 private:
  struct Attempt {
    Evaluation::Outcome outcome;
    QByteArray result;
  };

  Transport& ActiveTransport() { return framing_.transport(); }
  QByteArray ReadAvailable(double wait_seconds);
  double Remaining(double deadline) const;
  void Log(const QString& kind, const QByteArray& data);
  void CloseAll();

  Attempt RunAttempt(const FramedCommand& command, const std::optional<QByteArray>& packet);
  std::optional<QByteArray> SendFrame(const std::optional<QByteArray>& packet);
  std::optional<QByteArray> Receive(const FramedCommand& command, QByteArray& buffer,
                                    int& expected);
  void Resynchronise(QByteArray& buffer, const FramedCommand& command, int expected,
                     const Evaluation& evaluation);

  int ConnectTcp(const QString& password_text);
  int LoginAndGreet(const QString& host, const QByteArray& password);
  QByteArray QueryVersion();
  void StoreVersions(const QByteArray& result);
  void ShowTcpFailure(int code);
  bool ConnectSerial(std::pair<int, int> ports);
  void SetCaption(const QString& suffix);

  LinkContext context_;
  LinkPorts ports_;
  int connected_ = 0;
  bool login_refused_ = false;
  bool unreachable_ = false;
  // Chosen when the link connects.
  Framing framing_;
  int last_command_ = 0;
  bool module_read_active_ = false;
};

}  // namespace orva
