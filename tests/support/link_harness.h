#pragma once

#include "link/comm_log.h"
#include "link/link.h"
#include "link/prompter.h"
#include "scripted_transport.h"
#include "store/installation_db.h"
#include "store/language_texts.h"
#include "store/reference_db.h"
#include "store/settings_db.h"
#include "temp_dir.h"

#include <deque>
#include <memory>
#include <utility>
#include <vector>

namespace orva::test {

// The window title the link's captions extend in these tests.
inline const QString kWindowTitle = QStringLiteral("POST data to InfluxDB (test)");

// Records what the link shows and answers its Yes/No questions in turn (No when none is left).
class ScriptedPrompter : public Prompter {
 public:
  void ShowMessage(const QString& title, const QString& text) override {
    messages.emplace_back(title, text);
  }
  bool AskYesNo(const QString& text) override {
    questions << text;
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::vector<std::pair<QString, QString>> messages;
  QStringList questions;
  std::deque<bool> answers;
};

// One communication log row as stored.
struct LogRowSeen {
  QString kind;
  QByteArray data;
};

// A program folder with the small databases and an installation working copy, opened the way a
// link's thread opens them, plus a scripted prompter and the captions the link sent.
class LinkDatabases {
 public:
  LinkDatabases();

  // Writes fields of the settings record (SerOfEth, WW, begcom, endcom, ...).
  void SetSettings(const QVariantMap& fields) { settings.Update(fields); }
  LinkContext Context(const QString& controller_address);
  std::vector<LogRowSeen> LogRows();
  QStringList LogKinds();
  void ClearLog();

  ProgramFolder folder;
  SettingsDb settings;
  InstallationDb installation;
  CommLog comm_log;
  ReferenceDb reference;
  QString language = QStringLiteral("E");
  LanguageTexts texts;
  ScriptedPrompter prompter;
  QStringList captions;
};

// A link over scripted transports and a fake clock.
class ScriptedLink : public LinkDatabases {
 public:
  explicit ScriptedLink(const QString& controller_address = QStringLiteral("127.0.0.1"));

  // Connects over the scripted serial port 1 with a controller that answers the version query.
  void ConnectSerial();
  // Logs in over the scripted TCP transport with a controller that greets and answers.
  void ConnectTcp();

  FakeClock clock;
  ScriptedTransport tcp{clock};
  ScriptedTransport serial{clock};
  std::unique_ptr<Link> link;
};

// The 12 bytes a controller puts in front of its TCP answers.
QByteArray AnswerEnvelope(const QByteArray& answer);
// The version answer to `frame` (command 7), as the controller gives it.
QByteArray VersionAnswer(const QByteArray& frame, int controller_type = 12,
                         const QByteArray& version = QByteArray("\x03\x14\x20", 3));
// A controller that greets, answers the version query and cancel-programming, and gives status
// 63 to anything else; `tcp` adds envelopes and strips them from requests.
ScriptedTransport::Responder ControllerResponder(bool tcp);

}  // namespace orva::test
