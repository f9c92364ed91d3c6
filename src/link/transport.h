#pragma once

#include <QByteArray>
#include <QString>

namespace orva {

// Where a transport connects: "host:port" for TCP, the device name for a serial port.
struct TransportTarget {
  QString address;
  // Line settings of a serial port, "115200,N,8,1"; unused over TCP.
  QString settings;
  // How long a TCP connect may take.
  double timeout_seconds = 0;
};

// A byte stream to the controller. Reads block on the socket or port for at most the given wait;
// nothing polls.
class Transport {
 public:
  virtual ~Transport() = default;

  // 0, or the result code of the failure.
  virtual int Open(const TransportTarget& target) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // All bytes in one write; false when the socket or port refused them.
  virtual bool Send(const QByteArray& bytes) = 0;
  // Whatever has arrived. When nothing has, waits up to `wait_seconds` for the first bytes.
  virtual QByteArray ReadAvailable(double wait_seconds) = 0;
};

// Monotonic seconds for the link's time-outs.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double Now() = 0;
  virtual void Sleep(double seconds) = 0;
};

}  // namespace orva
