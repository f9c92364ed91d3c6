// What of the controller simulator the link's own tests never meet: its fault switches, the
// control lines on its stdin, the bare frames on its pseudo-terminal and its start-up checks.
// Login, version, module and output answers, junk, dropped connections, greetings and the echo
// error are covered by the link running against it.
#include "bytes.h"
#include "ktx_sim_process.h"
#include "link/frame.h"
#include "link/login.h"
#include "temp_dir.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace orva::test {
namespace {

const QByteArray kVersionFrame = Bytes({'*', 7, 0, 0, 5, '#'});
const QByteArray kModuleFrame = Bytes({'*', 0x28, 2, 0, 0x0F, 16, 0, 12, '#'});  // 160012 block 2

// Reads until `size` bytes are there, the peer hangs up or the time runs out.
QByteArray ReadBytes(QTcpSocket* socket, int size, int timeout_ms = 3000) {
  QByteArray bytes;
  const QDeadlineTimer deadline(timeout_ms);
  while (bytes.size() < size && !deadline.hasExpired()) {
    if (socket->bytesAvailable() == 0) {
      socket->waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
    bytes.append(socket->readAll());
    if (socket->state() != QAbstractSocket::ConnectedState && socket->bytesAvailable() == 0) break;
  }
  return bytes;
}

class KtxSimTest : public ::testing::Test {
 protected:
  void StartSim(QStringList arguments = {}) {
    arguments << QStringLiteral("--freeze-time");
    ASSERT_TRUE(sim_.Start(arguments)) << sim_.error().toStdString();
  }
  void Connect() {
    socket_.connectToHost(QStringLiteral("127.0.0.1"), sim_.port());
    ASSERT_TRUE(socket_.waitForConnected(3000));
  }
  void LogIn() {
    Connect();
    socket_.write(LoginPacket(QString(), QByteArray()));
    ASSERT_EQ(ReadBytes(&socket_, 28), QByteArray("Welcome to ORVA TCP/IP V2.15"));
  }
  QByteArray Transact(const QByteArray& frame, int expected_size, int timeout_ms = 3000) {
    socket_.write(TcpEnvelope(kCommandFunctionId, frame.size()) + frame);
    return ReadBytes(&socket_, expected_size, timeout_ms);
  }
  // The 19-byte answer that carries only a status.
  static QByteArray StatusAnswer(const QByteArray& frame, int status) {
    return TcpEnvelope(0xFF, 7) + frame.left(5) + Bytes({status, '#'});
  }

  KtxSimProcess sim_;
  QTcpSocket socket_;
};

TEST_F(KtxSimTest, CommandsBeforeTheLoginGetStatus16AndUnknownOnesStatus63) {
  StartSim();
  Connect();
  EXPECT_EQ(Transact(kVersionFrame, 19), StatusAnswer(kVersionFrame, 16));
  socket_.write(LoginPacket(QString(), QByteArray()));
  ASSERT_EQ(ReadBytes(&socket_, 28).size(), 28);
  const QByteArray unknown = Bytes({'*', 9, 0, 0, 0, '#'});
  EXPECT_EQ(Transact(unknown, 19), StatusAnswer(unknown, 63));
}

TEST_F(KtxSimTest, SilenceCanHitOneCommandOnly) {
  StartSim({QStringLiteral("--silent"), QStringLiteral("--fault-command"), QStringLiteral("40")});
  LogIn();
  EXPECT_EQ(Transact(kModuleFrame, 55, 600), QByteArray());
  EXPECT_EQ(Transact(kVersionFrame, 28).size(), 28);
}

TEST_F(KtxSimTest, LatencyHoldsTheAnswerBack) {
  StartSim({QStringLiteral("--latency"), QStringLiteral("800")});
  LogIn();
  socket_.write(TcpEnvelope(kCommandFunctionId, kVersionFrame.size()) + kVersionFrame);
  EXPECT_FALSE(socket_.waitForReadyRead(200));
  EXPECT_EQ(ReadBytes(&socket_, 28, 5000).size(), 28);
}

// Faults switched by control lines on stdin change the very next answer.
TEST_F(KtxSimTest, RuntimeFaultsChangeTheNextAnswer) {
  StartSim();
  LogIn();
  const QByteArray whole = Transact(kVersionFrame, 28);
  ASSERT_EQ(whole.size(), 28);
  ASSERT_TRUE(sim_.SetFault(QStringLiteral("split"), QStringLiteral("3")))
      << sim_.error().toStdString();
  ASSERT_TRUE(sim_.SetFault(QStringLiteral("split-delay"), QStringLiteral("150")));
  socket_.write(TcpEnvelope(kCommandFunctionId, kVersionFrame.size()) + kVersionFrame);
  ASSERT_TRUE(socket_.waitForReadyRead(3000));
  const QByteArray first = socket_.readAll();
  EXPECT_LT(first.size(), whole.size());
  EXPECT_EQ(first + ReadBytes(&socket_, whole.size() - first.size()), whole);

  ASSERT_TRUE(sim_.SetFault(QStringLiteral("clear")));
  ASSERT_TRUE(sim_.SetFault(QStringLiteral("wrong-terminator")));
  EXPECT_EQ(Transact(kVersionFrame, 28), whole.left(27) + "!");
  ASSERT_TRUE(sim_.SetFault(QStringLiteral("clear")));
  ASSERT_TRUE(sim_.SetFault(QStringLiteral("error-status"), QStringLiteral("106")));
  EXPECT_EQ(Transact(kVersionFrame, 19), StatusAnswer(kVersionFrame, 106));
  EXPECT_FALSE(sim_.SetFault(QStringLiteral("no-such-fault"), QStringLiteral("1")));
}

TEST_F(KtxSimTest, ValuesMoveUnlessTimeIsFrozen) {
  QTemporaryDir dir;
  const QString model = dir.filePath(QStringLiteral("model.json"));
  WriteFile(model, R"({"controller": {"serial": "123456", "type": 12, "version": "3.20.32",
                   "interface_version": "2.15"},
    "modules": [{"serial": "170001", "type": "0017", "values": [
        {"name": "rising", "offset": 32, "size": 3, "value": 0, "rate": 1000}]}]})");
  ASSERT_TRUE(sim_.Start({QStringLiteral("--model"), model})) << sim_.error().toStdString();
  LogIn();
  const QByteArray frame = Bytes({'*', 0x28, 2, 0, 0x0F, 17, 0, 1, '#'});
  const QByteArray first = Transact(frame, 55).mid(12 + 26, 3);
  usleep(300000);
  const QByteArray later = Transact(frame, 55).mid(12 + 26, 3);
  ASSERT_EQ(first.size(), 3);
  EXPECT_NE(first, later);
}

// Raw mode on the client's side of the pseudo-terminal, as a serial port at 115200,N,8,1.
int OpenRaw(const QString& device) {
  const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
  if (fd < 0) return fd;
  termios settings{};
  tcgetattr(fd, &settings);
  cfmakeraw(&settings);
  cfsetspeed(&settings, B115200);
  tcsetattr(fd, TCSANOW, &settings);
  return fd;
}

QByteArray ReadFd(int fd, int size) {
  QByteArray bytes;
  const QDeadlineTimer deadline(3000);
  pollfd poll_fd{fd, POLLIN, 0};
  while (bytes.size() < size &&
         ::poll(&poll_fd, 1, static_cast<int>(deadline.remainingTime())) > 0) {
    char chunk[256];
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got <= 0) break;
    bytes.append(chunk, static_cast<int>(got));
  }
  return bytes;
}

TEST_F(KtxSimTest, SerialSpeaksBareFramesOnAPseudoTerminal) {
  QTemporaryDir dir;
  const QString link = dir.filePath(QStringLiteral("ttyKTX"));
  StartSim({QStringLiteral("--no-tcp"), QStringLiteral("--serial-link"), link});
  ASSERT_TRUE(sim_.serial_device().startsWith(QLatin1String("/dev/")));
  for (const QString& device : {sim_.serial_device(), link}) {
    SCOPED_TRACE(device.toStdString());
    const int fd = OpenRaw(device);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, kVersionFrame.constData(), kVersionFrame.size()), kVersionFrame.size());
    EXPECT_EQ(ReadFd(fd, 16),
              kVersionFrame.left(5) + Bytes({0, 7, 12, 34, 56, 12, 0, 3, 20, 32, '#'}));
    // A module read written in two pieces is still one frame.
    ASSERT_EQ(::write(fd, kModuleFrame.constData(), 4), 4);
    usleep(20000);
    ASSERT_EQ(::write(fd, kModuleFrame.constData() + 4, kModuleFrame.size() - 4),
              kModuleFrame.size() - 4);
    const QByteArray answer = ReadFd(fd, 43);
    EXPECT_EQ(answer.left(6), kModuleFrame.left(5) + Bytes({0}));
    EXPECT_EQ(answer.mid(26, 2), Bytes({0x08, 0x98})) << "22.00 degrees";
    ::close(fd);
  }
  sim_.Stop();
  EXPECT_FALSE(QFileInfo::exists(link));
}

TEST(KtxSimCommandLine, BadModelEndsWithStatus2) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("bad.json"));
  WriteFile(path, R"({"modules": [{"serial": "12345", "type": "0016"}]})");
  QProcess process;
  process.start(KtxSimProcess::BinaryPath(),
                {QStringLiteral("--model"), path, QStringLiteral("--port"), QStringLiteral("0")});
  ASSERT_TRUE(process.waitForFinished(5000));
  EXPECT_EQ(process.exitCode(), 2);
  EXPECT_TRUE(process.readAllStandardError().contains("serial"));
}

}  // namespace
}  // namespace orva::test
