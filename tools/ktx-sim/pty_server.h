#pragma once

// The controller's serial port, played on a pseudo-terminal: the program opens the slave
// device like any serial port and speaks bare frames (no envelope, no login).

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include "answer_queue.h"
#include "responder.h"

class QSocketNotifier;

namespace orva::sim {

class PtyServer : public QObject {
 public:
  explicit PtyServer(Responder* responder, QObject* parent = nullptr);
  ~PtyServer() override;

  // Opens the pair in raw mode; with a non-empty `link`, also a symlink to the slave there.
  bool Open(const QString& link, QString* error);
  QString device() const { return device_; }

 private:
  void OnReadable();
  void ProcessBuffer();
  void Write(const QByteArray& bytes);

  Responder* responder_;
  AnswerQueue queue_;
  int master_fd_ = -1;
  // Held open so that the master never sees a hang-up between two clients.
  int slave_fd_ = -1;
  QString device_;
  QString link_;
  QSocketNotifier* notifier_ = nullptr;
  QByteArray buffer_;
  QElapsedTimer last_byte_;
};

}  // namespace orva::sim
