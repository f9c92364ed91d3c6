#pragma once

#include "link/prompter.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QWaitCondition>

#include <memory>

class QMessageBox;
class QWidget;

namespace orva {

// The link's questions and failure messages as modal boxes over the window. The link asks from
// the scan thread and waits for the answer; the box is shown on the window's thread. Once the
// window closes, every question still waiting and every later one is answered at once
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

 private:
  struct Request;

  bool Ask(const std::shared_ptr<Request>& request);
  // Runs on the window's thread.
  void Show(Request& request);

  QPointer<QWidget> window_;
  QMutex mutex_;
  QWaitCondition answered_;
  bool closed_ = false;
  QPointer<QMessageBox> open_box_;
};

}  // namespace orva
