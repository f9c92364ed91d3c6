#pragma once

#include "link/prompter.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QWaitCondition>

#include <atomic>
#include <memory>

class QMessageBox;
class QWidget;

namespace orva {

// The link's questions and failure messages over the window. The link asks from the scan thread;
// the box is shown on the window's thread.
//
// Outside a scan a message is a modal box the link waits for. While "Scan and Log" is ticked
// nobody may be needed: a message goes to the status line in red and into one notice per outage,
// a box that does not block and closes itself once the link works again; the link goes on at
// once. A question still waits for its answer, but answers itself "No" after a while.
//
// Once the window closes, every question still waiting and every later one is answered at once
// (a message as seen, a question with No), so that the scan thread never waits for a window
// that is itself waiting for the scan thread to end.
class GuiPrompter : public QObject, public Prompter {
  Q_OBJECT

 public:
  explicit GuiPrompter(QWidget* window);
  ~GuiPrompter() override;

  void ShowMessage(const QString& title, const QString& text) override;
  bool AskYesNo(const QString& text) override;

  // Answers whatever is waiting and everything asked from now on.
  void Close();

  // Whether "Scan and Log" is ticked; called on the window's thread.
  void SetScanning(bool scanning) { scanning_ = scanning; }
  // The link works again: the outage's notice closes.
  void LinkWorks();
  void set_question_timeout_ms(int ms) { question_timeout_ms_ = ms; }

  static constexpr int kQuestionTimeoutMs = 30000;

 Q_SIGNALS:
  // A status line for the window, from the window's thread.
  void StatusText(const QString& text, bool red);

 private:
  struct Request;

  bool Ask(const std::shared_ptr<Request>& request);
  // Run on the window's thread.
  void Show(Request& request);
  void Notify(const QString& title, const QString& text);

  QPointer<QWidget> window_;
  QMutex mutex_;
  QWaitCondition answered_;
  bool closed_ = false;
  std::atomic<bool> scanning_{false};
  int question_timeout_ms_ = kQuestionTimeoutMs;
  QPointer<QMessageBox> open_box_;
  QPointer<QMessageBox> notice_;
};

}  // namespace orva
