// The link against the controller simulator, over real sockets and pseudo-terminals.
#include "bytes.h"
#include "ktx_sim_process.h"
#include "link/link_address.h"
#include "link/login.h"
#include "link/result_codes.h"
#include "link/serial_transport.h"
#include "link/steady_clock.h"
#include "link/tcp_transport.h"
#include "link_harness.h"
#include "scan/serial_bytes.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

namespace orva {
namespace {

using test::Bytes;
using test::KtxSimProcess;

const QByteArray kLivingRoomSensor = SerialBytes(QStringLiteral("160012"));
const QByteArray kOutput12 = Bytes({0, 0x2A, 0x00, 0x29, 0x03});

class SimLink : public test::LinkDatabases {
 public:
  SimLink(const QString& address, const char* channels, int first = 1, int last = 1)
      : link(Context(address), LinkPorts{tcp, serial, clock}) {
    SetSettings({{QStringLiteral("SerOfEth"), QLatin1String(channels)},
                 {QStringLiteral("begcom"), first},
                 {QStringLiteral("endcom"), last}});
  }

  QByteArray ReadModule(const QByteArray& serial_number, int block) {
    int count = 16;
    return link.LinkTransact(Command::kModuleSram, Direction::kRead, static_cast<quint8>(block), 0,
                             count, serial_number);
  }
  QByteArray ReadOutput(int address, int bytes) {
    int count = bytes;
    return link.LinkTransact(Command::kOutputStatus, Direction::kRead, static_cast<quint8>(address),
                             0, count, {});
  }
  // Block 2 of the living room sensor: 22.00 degrees in bytes 32 and 33.
  void ExpectLivingRoomSensor() {
    const QByteArray memory = ReadModule(kLivingRoomSensor, 2);
    ASSERT_EQ(memory.size(), 36) << memory.toHex().toStdString();
    EXPECT_EQ(memory.left(5), Bytes({0}) + kLivingRoomSensor + Bytes({2}));
    EXPECT_EQ(memory.mid(20, 2), Bytes({0x08, 0x98}));
  }

  TcpTransport tcp;
  SerialTransport serial;
  SteadyClock clock;
  Link link;
};

// One controller through every answer a scan meets and the faults a network brings.
TEST(LinkSimTcp, AnswersFaultsAndReconnects) {
  KtxSimProcess sim;
  ASSERT_TRUE(sim.Start({QStringLiteral("--freeze-time")})) << sim.error().toStdString();
  SimLink link(sim.address(), " E ");
  EXPECT_EQ(link.link.EnsureConnected(kFactoryPassword, kFactoryPassword), 99);
  EXPECT_EQ(link.installation.Config().Text(u"rxethversie"), QStringLiteral("0215"));
  EXPECT_EQ(link.ReadOutput(12, 4), kOutput12);
  link.ExpectLivingRoomSensor();
  EXPECT_EQ(link.ReadModule(Bytes({0x99, 0x99, 0x99}), 0), Bytes({255}));
  EXPECT_EQ(link.ReadOutput(200, 1), Bytes({112}));
  link.link.LinkErrorText(112);
  EXPECT_EQ(link.ReadOutput(12, 4), kOutput12) << "logged in again";

  // A greeting and answers in pieces, late: a new login and a read, each answer in one row.
  for (const auto& [fault, value] :
       {std::pair{"split", "3"}, {"split-delay", "20"}, {"latency", "50"}}) {
    ASSERT_TRUE(sim.SetFault(QLatin1String(fault), QLatin1String(value)));
  }
  link.link.LinkErrorText(252);
  link.ClearLog();
  link.ExpectLivingRoomSensor();
  EXPECT_EQ(link.LogKinds().join(' ').toStdString(), "TX rx TX rx");
  EXPECT_TRUE(link.prompter.messages.empty());

  ASSERT_TRUE(sim.SetFault(QStringLiteral("clear")));
  ASSERT_TRUE(sim.SetFault(QStringLiteral("silent")));
  QElapsedTimer timer;
  timer.start();
  EXPECT_EQ(link.ReadOutput(12, 4), Bytes({252}));
  EXPECT_GE(timer.elapsed(), 2900);
  EXPECT_EQ(link.link.connected(), 0);
  ASSERT_TRUE(sim.SetFault(QStringLiteral("clear")));
  EXPECT_EQ(link.ReadOutput(12, 4), kOutput12);

  // A controller that goes away and comes back.
  sim.Kill();
  const QByteArray lost = link.ReadOutput(12, 4);
  ASSERT_FALSE(lost.isEmpty());
  EXPECT_NE(lost.at(0), 0);
  EXPECT_EQ(link.link.connected(), 0);
  ASSERT_TRUE(sim.Restart()) << sim.error().toStdString();
  EXPECT_EQ(link.ReadOutput(12, 4), kOutput12);
  EXPECT_EQ(link.link.connected(), 99);
}

// Reads that may not wait, until `size` bytes are in or two seconds have passed: the bytes are
// on their way through the system, and only a read that looks for them can take them.
QByteArray ReadWithoutWaiting(Transport& transport, int size) {
  QByteArray bytes;
  QElapsedTimer timer;
  timer.start();
  while (bytes.size() < size && timer.elapsed() < 2000) {
    bytes.append(transport.ReadAvailable(0));
    if (bytes.size() < size) QThread::msleep(1);
  }
  return bytes;
}

// Before each send the link discards what is pending with a read that does not wait. Bytes the
// peer sent meanwhile must be taken then, not left to lie in front of the next answer.
TEST(Transports, ReadWithoutWaitTakesWhatHasArrived) {
  const QByteArray late = Bytes({'*', 0x38, 0x0C, 0x00, 0x00, 0x00, 0x00, 0xAA, '#'});
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  TcpTransport tcp;
  ASSERT_EQ(tcp.Open({QStringLiteral("127.0.0.1:%1").arg(server.serverPort()), {}, 2.0}), 0);
  ASSERT_TRUE(server.waitForNewConnection(2000));
  QTcpSocket* peer = server.nextPendingConnection();
  ASSERT_NE(peer, nullptr);
  peer->write(late);
  ASSERT_TRUE(peer->waitForBytesWritten(2000));
  EXPECT_EQ(ReadWithoutWaiting(tcp, late.size()), late);
  for (const char* address : {"", ":8446", "[::1"}) {
    EXPECT_EQ(TcpTransport().Open({QLatin1String(address), {}, 1.0}), kNoConnection) << address;
  }

  int controller = -1;
  int device = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&controller, &device, name, nullptr, nullptr), 0);
  SerialTransport serial;
  ASSERT_EQ(serial.Open({QString::fromLocal8Bit(name), QStringLiteral("115200,N,8,1"), 0}), 0);
  ASSERT_EQ(write(controller, late.constData(), late.size()), late.size());
  EXPECT_EQ(ReadWithoutWaiting(serial, late.size()), late);
  serial.Close();
  close(device);
  close(controller);
}

// The settling pauses of a serial link are real sleeps; none at all for no time.
TEST(Transports, TheClockSleepsAtLeastWhatItIsAsked) {
  SteadyClock clock;
  const double start = clock.Now();
  clock.Sleep(0.02);
  ASSERT_GE(clock.Now() - start, 0.02);
  clock.Sleep(0);
  clock.Sleep(-1);
  EXPECT_LT(clock.Now() - start, 1.0);
}

// Serial ports 1 to 4 are files of a temporary folder where the simulator makes its
// pseudo-terminal appear, as port 3. A refused TCP connection falls back to them, ports that are
// not there are passed over, and a restarted controller is found again.
TEST(LinkSimSerial, FallbackFindsTheAnsweringPortAgain) {
  QTemporaryDir ports;
  ASSERT_TRUE(ports.isValid());
  qputenv(kSerialTemplateVariable, (ports.path() + QStringLiteral("/ttyKTX%1")).toUtf8());
  KtxSimProcess controller;
  ASSERT_TRUE(controller.Start(
      {"--no-tcp", "--freeze-time", "--serial-link", ports.path() + QStringLiteral("/ttyKTX3")}))
      << controller.error().toStdString();
  // A loopback port nobody listens on: the connect is refused at once.
  QTcpServer probe;
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
  const QString address = QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());
  probe.close();

  SimLink link(address, "SE ", 1, 4);
  EXPECT_EQ(link.link.EnsureConnected(kFactoryPassword, kFactoryPassword), 3);
  EXPECT_FALSE(link.link.use_ethernet());
  ASSERT_EQ(link.prompter.messages.size(), 1u);
  EXPECT_EQ(link.prompter.messages[0].second, QStringLiteral("No TCP/IP connection to the KTX"));
  EXPECT_EQ(link.installation.Config().Text(u"rxethversie"), QStringLiteral("0000"));
  EXPECT_EQ(link.installation.Config().Text(u"rxctlversie"), QStringLiteral("032032"));
  link.ExpectLivingRoomSensor();
  EXPECT_EQ(link.ReadOutput(12, 4), kOutput12);

  ASSERT_TRUE(controller.Restart()) << controller.error().toStdString();
  QByteArray result = link.ReadOutput(12, 4);
  if (result.at(0) != 0) result = link.ReadOutput(12, 4);
  EXPECT_EQ(result, kOutput12);
  EXPECT_EQ(link.link.connected(), 3);
  qunsetenv(kSerialTemplateVariable);
}

}  // namespace
}  // namespace orva
