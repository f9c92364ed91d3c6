#include "ui/gui_prompter.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>
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
  if (!scanning_) {
    Ask(std::make_shared<Request>(Request{false, title, text}));
    return;
  }
  QMetaObject::invokeMethod(
      this, [this, title, text] { Notify(title, text); }, Qt::QueuedConnection);
}

void GuiPrompter::Notify(const QString& title, const QString& text) {
  if (closed_) return;
  Q_EMIT StatusText(text, true);
  if (!notice_) {
    notice_ = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, window_);
    notice_->setWindowModality(Qt::NonModal);
    notice_->setAttribute(Qt::WA_DeleteOnClose);
    notice_->show();
    return;
  }
  notice_->setWindowTitle(title);
  notice_->setText(text);
}

void GuiPrompter::LinkWorks() {
  if (notice_) notice_->close();
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
  // While scanning, nobody may be there to answer.
  QTimer unanswered;
  bool timed_out = false;
  if (request.question && scanning_) {
    unanswered.setSingleShot(true);
    QObject::connect(&unanswered, &QTimer::timeout, &box, [&] {
      timed_out = true;
      box.done(QMessageBox::No);
    });
    unanswered.start(question_timeout_ms_);
  }
  const int button = box.exec();
  if (timed_out) {
    Q_EMIT StatusText(QStringLiteral("No answer within %1 s: answered No to \"%2\"")
                          .arg(question_timeout_ms_ / 1000.0)
                          .arg(request.text),
                      false);
  }
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
  if (notice_) notice_->close();
}

}  // namespace orva
