// The controller simulator against hand-written bytes: what a client that speaks the protocol
// by the letter sends, and what it must get back.
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "ktx_sim_process.h"
#include "temp_dir.h"

namespace orva::test {
namespace {

const QByteArray kWelcome("Welcome to ORVA TCP/IP");
const QByteArray kCommandEnvelopeHead("ORVA\x00\x04\x00\x01\x01\xFF", 10);

// Values fixed at known bytes: a multi-sensor at 22.00 degrees (08 98), a module-memory module
// with byte 100 = 37, outputs of the three answer lengths. "rising" moves 1000 per second.
constexpr char kModel[] = R"({
  "controller": {"serial": "123456", "type": 12, "version": "3.20.32",
                 "interface_version": "2.15"},
  "modules": [
    {"serial": "160012", "type": "0016",
     "raw": [{"offset": 32, "hex": "08 98 11 94 01 2C 01 C2 00 01"}]},
    {"serial": "0A1234", "type": "0001", "raw": [{"offset": 32, "hex": "00 D7"}]},
    {"serial": "B1C2D3", "type": "0005", "raw": [{"offset": 100, "hex": "25"}]},
    {"serial": "A11234", "type": "MD-1 motion detector indoor",
     "raw": [{"offset": 92, "hex": "01"}]},
    {"serial": "170001", "type": "0017",
     "values": [{"name": "rising", "offset": 32, "size": 3, "value": 0, "rate": 1000}]}
  ],
  "outputs": [
    {"name": "Meters", "address": 30, "sub_address": 0, "mode": 280,
     "status": "00 30 39 00 01 F4 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 07"},
    {"name": "Hall", "address": 20, "mode": 151, "status": "01 80 40 00 FF"},
    {"name": "Living room", "address": 12, "mode": 82, "status": "2A 00 29 03"}
  ]
})";

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray bytes;
  for (const int value : values) bytes.append(static_cast<char>(value));
  return bytes;
}

// The command frame wrapped as the program sends it: length = frame length - 1.
QByteArray Enveloped(const QByteArray& frame) {
  return kCommandEnvelopeHead + Bytes({0, static_cast<int>(frame.size()) - 1}) + frame;
}

QByteArray LoginPacket(const QByteArray& user, const QByteArray& password) {
  QByteArray packet = QByteArray("ORVA\x00\x04\x00\x01\x01\xFA\x00\x23*", 13);
  packet.append('\0');
  packet.append(user.leftJustified(16, '\0', true));
  packet.append(password.leftJustified(16, '\0', true));
  packet.append('#');
  return packet;
}

const QByteArray kVersionFrame = Bytes({'*', 7, 0, 0, 5, '#'});

QByteArray ModuleFrame(int block, const QByteArray& serial) {
  return Bytes({'*', 0x28, block, 0, 0x0F}) + serial + "#";
}

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
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    model_path_ = dir_.filePath(QStringLiteral("model.json"));
    WriteFile(model_path_, kModel);
  }

  // Simulator with the test model and frozen values, plus any faults.
  void StartSim(QStringList extra = {}) {
    QStringList arguments = {QStringLiteral("--model"), model_path_,
                             QStringLiteral("--freeze-time")};
    arguments += extra;
    ASSERT_TRUE(sim_.Start(arguments)) << sim_.error().toStdString();
  }

  void Connect() {
    socket_.connectToHost(QStringLiteral("127.0.0.1"), sim_.port());
    ASSERT_TRUE(socket_.waitForConnected(3000));
  }

  void LogIn() {
    Connect();
    socket_.write(LoginPacket("ORVA", {}));
    const QByteArray greeting = ReadBytes(&socket_, 28);
    ASSERT_EQ(greeting, QByteArray("Welcome to ORVA TCP/IP V2.15"));
  }

  QByteArray Transact(const QByteArray& frame, int expected_size, int timeout_ms = 3000) {
    socket_.write(Enveloped(frame));
    return ReadBytes(&socket_, expected_size, timeout_ms);
  }

  QTemporaryDir dir_;
  QString model_path_;
  KtxSimProcess sim_;
  QTcpSocket socket_;
};

TEST_F(KtxSimTest, VersionQueryAfterLoginAnswersTypeAndVersion) {
  StartSim();
  LogIn();
  // Envelope (length 15 = 16 - 1), echo, status 0, length 7, serial 12 34 56, type 12, 0,
  // version 3.20.32, "#".
  const QByteArray expected = kCommandEnvelopeHead + Bytes({0, 15}) + kVersionFrame.left(5) +
                              Bytes({0, 7, 12, 34, 56, 12, 0, 3, 20, 32, '#'});
  EXPECT_EQ(Transact(kVersionFrame, expected.size()), expected);
}

TEST_F(KtxSimTest, ModuleMemoryBlockCarriesTheBlockAtAnswerPosition27) {
  StartSim();
  LogIn();
  // The frame of a block-2 read of module 160012 (16 0 12), byte for byte as the program
  // builds it.
  const QByteArray request = Enveloped(ModuleFrame(2, Bytes({16, 0, 12})));
  ASSERT_EQ(request,
            QByteArray("ORVA\x00\x04\x00\x01\x01\xFF\x00\x08*\x28\x02\x00\x0F\x10\x00\x0C#", 21));
  socket_.write(request);
  const QByteArray answer = ReadBytes(&socket_, 12 + 43).mid(12);
  ASSERT_EQ(answer.size(), 43);  // count 15 + 28
  EXPECT_EQ(answer.left(5), ModuleFrame(2, Bytes({16, 0, 12})).left(5));
  EXPECT_EQ(answer[5], '\0');
  EXPECT_EQ(answer.mid(26, 10), Bytes({0x08, 0x98, 0x11, 0x94, 0x01, 0x2C, 0x01, 0xC2, 0, 1}));
  EXPECT_EQ(answer.back(), '#');
}

TEST_F(KtxSimTest, ModulesAreFoundByTheBytesOfTheirSerialText) {
  StartSim();
  LogIn();
  struct Case {
    const char* serial_text;
    QByteArray bytes;
    int block;
    int offset;
    int value;
  };
  const Case cases[] = {
      {"0A1234", Bytes({0x0A, 12, 34}), 2, 1, 0xD7},
      {"B1C2D3", Bytes({0xB1, 0xC2, 0xD3}), 6, 4, 37},
      {"A11234", Bytes({0xA1, 12, 34}), 5, 12, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.serial_text);
    const QByteArray answer = Transact(ModuleFrame(c.block, c.bytes), 12 + 43).mid(12);
    ASSERT_EQ(answer.size(), 43);
    EXPECT_EQ(answer[5], '\0');
    EXPECT_EQ(static_cast<quint8>(answer[26 + c.offset]), c.value);
  }
}

TEST_F(KtxSimTest, UnknownModuleGetsStatus255WithTheTerminatorAtPosition11) {
  StartSim();
  LogIn();
  const QByteArray frame = ModuleFrame(2, Bytes({1, 2, 3}));
  const QByteArray expected =
      kCommandEnvelopeHead + Bytes({0, 10}) + frame.left(5) + Bytes({255, 1, 2, 3, 2, '#'});
  EXPECT_EQ(Transact(frame, expected.size()), expected);
}

TEST_F(KtxSimTest, OutputStatusAnswersAsManyBytesAsAsked) {
  StartSim();
  LogIn();
  struct Case {
    int address;
    int sub_address;
    int count;  // items asked for; the answer has count + 8 bytes
    QByteArray status;
  };
  const Case cases[] = {
      {30, 0, 24,
       QByteArray::fromHex("003039"
                           "0001F4"
                           "000000000000000000000000000000000007")},
      {20, 255, 5,
       QByteArray::fromHex("018040"
                           "00FF")},
      {12, 255, 4, QByteArray::fromHex("2A002903")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    const QByteArray frame = Bytes({'*', 56, c.address, c.sub_address, c.count - 1, '#'});
    const QByteArray expected = kCommandEnvelopeHead + Bytes({0, c.count + 8 - 1}) + frame.left(5) +
                                Bytes({0, c.count - 1}) + c.status + "#";
    EXPECT_EQ(Transact(frame, expected.size()), expected);
  }
}

TEST_F(KtxSimTest, CancelProgrammingIsAcceptedAndUnknownCommandsGetStatus63) {
  StartSim();
  LogIn();
  const QByteArray cancel = Bytes({'*', 0xD1, 0, 0, 8, '#'});
  EXPECT_EQ(Transact(cancel, 19),
            kCommandEnvelopeHead + Bytes({0, 6}) + cancel.left(5) + Bytes({0, '#'}));
  const QByteArray unknown = Bytes({'*', 9, 0, 0, 0, '#'});
  EXPECT_EQ(Transact(unknown, 19),
            kCommandEnvelopeHead + Bytes({0, 6}) + unknown.left(5) + Bytes({63, '#'}));
}

TEST_F(KtxSimTest, WrongLoginIsRefusedAndTheConnectionClosed) {
  StartSim({QStringLiteral("--password"), QStringLiteral("secret")});
  for (const QByteArray& password : {QByteArray(), QByteArray("secreT")}) {
    SCOPED_TRACE(password.toStdString());
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), sim_.port());
    ASSERT_TRUE(socket.waitForConnected(3000));
    socket.write(LoginPacket("ORVA", password));
    const QByteArray reply = ReadBytes(&socket, 100);
    EXPECT_FALSE(reply.contains(kWelcome));
    EXPECT_EQ(reply.mid(12), Bytes({'*', 14, '#'}));
    EXPECT_TRUE(socket.state() == QAbstractSocket::UnconnectedState ||
                socket.waitForDisconnected(3000));
  }
  QTcpSocket socket;
  socket.connectToHost(QStringLiteral("127.0.0.1"), sim_.port());
  ASSERT_TRUE(socket.waitForConnected(3000));
  socket.write(LoginPacket("ORVA", "secret"));
  EXPECT_EQ(ReadBytes(&socket, 28), QByteArray("Welcome to ORVA TCP/IP V2.15"));
}

TEST_F(KtxSimTest, CommandsBeforeTheLoginGetStatus16) {
  StartSim();
  Connect();
  EXPECT_EQ(Transact(kVersionFrame, 19),
            kCommandEnvelopeHead + Bytes({0, 6}) + kVersionFrame.left(5) + Bytes({16, '#'}));
}

TEST_F(KtxSimTest, JunkGoesBetweenEnvelopeAndEcho) {
  StartSim({QStringLiteral("--junk"), QStringLiteral("5")});
  LogIn();
  const QByteArray answer = Transact(kVersionFrame, 12 + 5 + 16);
  ASSERT_EQ(answer.size(), 33);
  EXPECT_EQ(answer.mid(12, 5), QByteArray(5, '\xA5'));
  EXPECT_EQ(answer.mid(17, 5), kVersionFrame.left(5));
  EXPECT_EQ(static_cast<quint8>(answer[11]), 33 - 12 - 1);
}

TEST_F(KtxSimTest, SilenceCanHitOneCommandOnly) {
  StartSim({QStringLiteral("--silent"), QStringLiteral("--fault-command"), QStringLiteral("40")});
  LogIn();
  EXPECT_EQ(Transact(ModuleFrame(2, Bytes({16, 0, 12})), 55, 600), QByteArray());
  EXPECT_EQ(Transact(kVersionFrame, 28).size(), 28);
}

TEST_F(KtxSimTest, SplitAnswersArriveInPiecesThatAddUpToTheAnswer) {
  StartSim();
  LogIn();
  const QByteArray whole = Transact(kVersionFrame, 28);
  ASSERT_TRUE(sim_.SetFault(QStringLiteral("split"), QStringLiteral("3")))
      << sim_.error().toStdString();
  ASSERT_TRUE(sim_.SetFault(QStringLiteral("split-delay"), QStringLiteral("150")));
  socket_.write(Enveloped(kVersionFrame));
  ASSERT_TRUE(socket_.waitForReadyRead(3000));
  const QByteArray first = socket_.readAll();
  EXPECT_LT(first.size(), whole.size());
  EXPECT_EQ(first + ReadBytes(&socket_, whole.size() - first.size()), whole);
}

TEST_F(KtxSimTest, LatencyHoldsTheAnswerBack) {
  StartSim({QStringLiteral("--latency"), QStringLiteral("800")});
  LogIn();
  socket_.write(Enveloped(kVersionFrame));
  EXPECT_FALSE(socket_.waitForReadyRead(200));
  EXPECT_EQ(ReadBytes(&socket_, 28, 5000).size(), 28);
}

TEST_F(KtxSimTest, DropAfterClosesTheConnectionAfterThatManyAnswers) {
  StartSim({QStringLiteral("--drop-after"), QStringLiteral("2")});
  LogIn();
  EXPECT_EQ(Transact(kVersionFrame, 28).size(), 28);
  EXPECT_EQ(Transact(kVersionFrame, 28).size(), 28);
  EXPECT_TRUE(socket_.state() == QAbstractSocket::UnconnectedState ||
              socket_.waitForDisconnected(3000));
  // A new connection is served again.
  QTcpSocket socket;
  socket.connectToHost(QStringLiteral("127.0.0.1"), sim_.port());
  ASSERT_TRUE(socket.waitForConnected(3000));
  socket.write(LoginPacket("ORVA", {}));
  EXPECT_TRUE(ReadBytes(&socket, 28).contains(kWelcome));
}

TEST_F(KtxSimTest, RuntimeFaultsChangeTheNextAnswer) {
  StartSim();
  LogIn();
  ASSERT_TRUE(sim_.SetFault(QStringLiteral("wrong-terminator"))) << sim_.error().toStdString();
  EXPECT_EQ(Transact(kVersionFrame, 28).back(), '!');
  ASSERT_TRUE(sim_.SetFault(QStringLiteral("clear")));
  ASSERT_TRUE(sim_.SetFault(QStringLiteral("error-status"), QStringLiteral("106")));
  EXPECT_EQ(Transact(kVersionFrame, 19).mid(12), kVersionFrame.left(5) + Bytes({106, '#'}));
  EXPECT_FALSE(sim_.SetFault(QStringLiteral("no-such-fault"), QStringLiteral("1")));
}

TEST_F(KtxSimTest, EchoErrorHitsTheFirstVersionQueryOnly) {
  StartSim({QStringLiteral("--echo-error-version")});
  LogIn();
  const QByteArray first = Transact(kVersionFrame, 28).mid(12);
  const QByteArray second = Transact(kVersionFrame, 28).mid(12);
  EXPECT_NE(first.left(5), kVersionFrame.left(5));
  EXPECT_EQ(second.left(5), kVersionFrame.left(5));
}

TEST_F(KtxSimTest, GreetingFaults) {
  StartSim({QStringLiteral("--wrong-greeting")});
  Connect();
  socket_.write(LoginPacket("ORVA", {}));
  const QByteArray wrong = ReadBytes(&socket_, 28);
  EXPECT_EQ(wrong.size(), 28);
  EXPECT_FALSE(wrong.contains(kWelcome));

  ASSERT_TRUE(
      sim_.SetFault(QStringLiteral("greeting"), QStringLiteral("Welcome to ORVA TCP/IP V2.1")));
  QTcpSocket socket;
  socket.connectToHost(QStringLiteral("127.0.0.1"), sim_.port());
  ASSERT_TRUE(socket.waitForConnected(3000));
  socket.write(LoginPacket("ORVA", {}));
  EXPECT_EQ(ReadBytes(&socket, 28, 1000), QByteArray("Welcome to ORVA TCP/IP V2.1"));
}

TEST_F(KtxSimTest, ValuesMoveUnlessTimeIsFrozen) {
  ASSERT_TRUE(sim_.Start({QStringLiteral("--model"), model_path_}));
  LogIn();
  const QByteArray frame = ModuleFrame(2, Bytes({17, 0, 1}));
  const QByteArray first = Transact(frame, 55).mid(12 + 26, 3);
  QDeadlineTimer wait(300);
  while (!wait.hasExpired()) usleep(10000);
  const QByteArray later = Transact(frame, 55).mid(12 + 26, 3);
  ASSERT_EQ(first.size(), 3);
  EXPECT_NE(first, later);
}

TEST_F(KtxSimTest, RestartKeepsThePort) {
  StartSim();
  const quint16 port = sim_.port();
  ASSERT_TRUE(sim_.Restart()) << sim_.error().toStdString();
  EXPECT_EQ(sim_.port(), port);
  LogIn();
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

QByteArray ReadFd(int fd, int size, int timeout_ms = 3000) {
  QByteArray bytes;
  const QDeadlineTimer deadline(timeout_ms);
  while (bytes.size() < size && !deadline.hasExpired()) {
    pollfd poll_fd{fd, POLLIN, 0};
    if (::poll(&poll_fd, 1, static_cast<int>(deadline.remainingTime())) <= 0) break;
    char chunk[256];
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got <= 0) break;
    bytes.append(chunk, static_cast<int>(got));
  }
  return bytes;
}

TEST_F(KtxSimTest, SerialSpeaksBareFramesOnAPseudoTerminal) {
  const QString link = dir_.filePath(QStringLiteral("ttyKTX"));
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
    const QByteArray frame = ModuleFrame(6, Bytes({0xB1, 0xC2, 0xD3}));
    ASSERT_EQ(::write(fd, frame.constData(), 4), 4);
    usleep(20000);
    ASSERT_EQ(::write(fd, frame.constData() + 4, frame.size() - 4), frame.size() - 4);
    const QByteArray answer = ReadFd(fd, 43);
    ASSERT_EQ(answer.size(), 43);
    EXPECT_EQ(answer[26 + 4], 37);
    ::close(fd);
  }
  sim_.Stop();
  EXPECT_FALSE(QFileInfo::exists(link));
}

TEST_F(KtxSimTest, SerialAnswersAQSerialPortAsTheProgramOpensIt) {
  StartSim({QStringLiteral("--no-tcp"), QStringLiteral("--serial")});
  QSerialPort port(sim_.serial_device());
  port.setBaudRate(115200);
  port.setDataBits(QSerialPort::Data8);
  port.setParity(QSerialPort::NoParity);
  port.setStopBits(QSerialPort::OneStop);
  port.setFlowControl(QSerialPort::NoFlowControl);
  ASSERT_TRUE(port.open(QIODevice::ReadWrite)) << port.errorString().toStdString();
  port.write(Bytes({'*', 56, 20, 255, 4, '#'}));
  ASSERT_TRUE(port.waitForBytesWritten(3000));
  QByteArray answer;
  const QDeadlineTimer deadline(3000);
  while (answer.size() < 13 && !deadline.hasExpired() && port.waitForReadyRead(1000)) {
    answer.append(port.readAll());
  }
  EXPECT_EQ(answer, Bytes({'*', 56, 20, 255, 4, 0, 4, 1, 0x80, 0x40, 0, 0xFF, '#'}));
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
