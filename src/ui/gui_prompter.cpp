#include "ui/gui_prompter.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QMutexLocker>
#include <QThread>
#include <QWidget>

#include <memory>

namespace orva {

struct GuiPrompter::Request {
  bool question = false;
  QString title;
  QString text;
  bool done = false;
  bool answer = false;
};

GuiPrompter::GuiPrompter(QWidget* window) : QObject(window), window_(window) {}

GuiPrompter::~GuiPrompter() { Close(); }

void GuiPrompter::ShowMessage(const QString& title, const QString& text) {
  Ask(std::make_shared<Request>(Request{false, title, text}));
}

bool GuiPrompter::AskYesNo(const QString& text) {
  return Ask(
      std::make_shared<Request>(Request{true, window_ ? window_->windowTitle() : QString(), text}));
}

// The request is shared with the queued call: the asking thread may stop waiting (the window
// closed) while the box is still up.
bool GuiPrompter::Ask(const std::shared_ptr<Request>& request) {
  if (QThread::currentThread() == thread()) {
    Show(*request);
    return request->answer;
  }
  QMutexLocker lock(&mutex_);
  if (closed_) return false;
  QMetaObject::invokeMethod(
      this, [this, request] { Show(*request); }, Qt::QueuedConnection);
  while (!request->done && !closed_) answered_.wait(&mutex_);
  return request->done && request->answer;
}

void GuiPrompter::Show(Request& request) {
  {
    QMutexLocker lock(&mutex_);
    if (closed_) return;
  }
  QMessageBox box(window_);
  box.setWindowTitle(request.title);
  box.setText(request.text);
  if (request.question) {
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
  } else {
    box.setIcon(QMessageBox::Warning);
    box.setStandardButtons(QMessageBox::Ok);
  }
  open_box_ = &box;
  const int button = box.exec();
  QMutexLocker lock(&mutex_);
  request.answer = button == QMessageBox::Yes;
  request.done = true;
  answered_.wakeAll();
}

void GuiPrompter::Close() {
  {
    QMutexLocker lock(&mutex_);
    closed_ = true;
    answered_.wakeAll();
  }
  if (open_box_) open_box_->reject();
}

}  // namespace orva
