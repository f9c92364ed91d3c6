// The link against the controller simulator, over real sockets and pseudo-terminals.
#include "bytes.h"
#include "ktx_sim_process.h"
#include "link/link_address.h"
#include "link/login.h"
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

class SimLink : public test::LinkDatabases {
 public:
  explicit SimLink(const QString& address)
      : link(Context(address), LinkPorts{tcp, serial, clock}) {}

  QByteArray ReadModule(const QByteArray& serial_number, int block) {
    int count = 16;
    return link.LinkTransact(40, QStringLiteral("R"), static_cast<quint8>(block), 0, count,
                             serial_number);
  }
  QByteArray ReadOutput(int address, int bytes) {
    int count = bytes;
    return link.LinkTransact(56, QStringLiteral("R"), static_cast<quint8>(address), 0, count, {});
  }

  TcpTransport tcp;
  SerialTransport serial;
  SteadyClock clock;
  Link link;
};

class LinkSimTcpTest : public testing::Test {
 protected:
  void StartSim(QStringList arguments = {}) {
    arguments << QStringLiteral("--freeze-time");
    ASSERT_TRUE(sim_.Start(arguments)) << sim_.error().toStdString();
    link_ = std::make_unique<SimLink>(sim_.address());
    link_->SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral(" E ")}});
  }

  KtxSimProcess sim_;
  std::unique_ptr<SimLink> link_;
};

// One connection through every answer a scan meets: the versions, a clean transaction's log
// rows, a module block, outputs of the three answer lengths, an unknown module, a bad address.
TEST_F(LinkSimTcpTest, LoginVersionAndReads) {
  StartSim();
  EXPECT_EQ(link_->link.EnsureConnected(kFactoryPassword, kFactoryPassword), 99);
  const Record config = link_->installation.Config();
  EXPECT_EQ(config.Text(u"rxethversie"), QStringLiteral("0215"));
  EXPECT_EQ(config.Text(u"rxctlversie"), QStringLiteral("032032"));
  EXPECT_EQ(config.Text(u"ctltype"), QStringLiteral("12"));
  EXPECT_EQ(link_->captions.last(), test::kWindowTitle + " (TCP/IP via " + sim_.address() + ")");

  link_->ClearLog();
  EXPECT_EQ(link_->ReadOutput(12, 4), Bytes({0, 0x2A, 0x00, 0x29, 0x03}));
  const auto rows = link_->LogRows();
  ASSERT_EQ(link_->LogKinds(), QStringList({"TX", "rx"}));
  EXPECT_EQ(rows[0].data, Bytes({'*', 0x38, 12, 0, 3, '#'}));
  EXPECT_EQ(rows[1].data, Bytes({'*', 0x38, 12, 0, 3, 0, 3, 0x2A, 0x00, 0x29, 0x03, '#'}));

  const QByteArray memory = link_->ReadModule(kLivingRoomSensor, 2);
  ASSERT_EQ(memory.size(), 36) << memory.toHex().toStdString();
  EXPECT_EQ(memory.left(5), Bytes({0}) + kLivingRoomSensor + Bytes({2}));
  EXPECT_EQ(memory.mid(20, 2), Bytes({0x08, 0x98})) << "22.00 degrees in bytes 32 and 33";
  EXPECT_EQ(link_->ReadOutput(20, 5), Bytes({0, 0x01, 0x80, 0x40, 0x00, 0xFF}));
  EXPECT_EQ(link_->ReadOutput(30, 24),
            Bytes({0, 0x00, 0x30, 0x39, 0x00, 0x01, 0xF4}) + QByteArray(18, '\0'));
  EXPECT_EQ(link_->ReadModule(Bytes({0x99, 0x99, 0x99}), 0), Bytes({255}));
  EXPECT_EQ(link_->link.LinkErrorText(255, std::nullopt),
            QStringLiteral("Module not found (Err255)"));
  EXPECT_EQ(link_->link.connected(), 99);
  EXPECT_TRUE(link_->prompter.messages.empty());
  EXPECT_EQ(link_->ReadOutput(200, 1), Bytes({112}));
  EXPECT_EQ(link_->link.LinkErrorText(112), QStringLiteral("Invalid address (Err112)"));
}

TEST_F(LinkSimTcpTest, WrongPasswordShowsTheFailureAndLeavesNoLink) {
  StartSim({QStringLiteral("--password"), QStringLiteral("secret")});
  EXPECT_EQ(link_->ReadOutput(12, 4), Bytes({55}));
  EXPECT_EQ(link_->link.connected(), 0);
  ASSERT_EQ(link_->prompter.messages.size(), 1u);
  EXPECT_EQ(link_->prompter.messages[0].second, QStringLiteral("KTX refuses the login"));

  EXPECT_EQ(link_->link.ConnectLink(kFactoryPassword, QStringLiteral("secret")), 99);
  EXPECT_EQ(link_->link.connected(), 99);
}

TEST_F(LinkSimTcpTest, WrongGreetings) {
  for (const QStringList& fault : {QStringList{"--wrong-greeting"},
                                   QStringList{"--greeting", "Welcome to ORVA TCP/IP V2.1"}}) {
    SCOPED_TRACE(fault.join(' ').toStdString());
    StartSim(fault);
    EXPECT_EQ(link_->link.EnsureConnected(kFactoryPassword, kFactoryPassword), 0);
    EXPECT_EQ(link_->prompter.messages.size(), 1u);
  }
}

TEST_F(LinkSimTcpTest, EchoErrorOnTheVersionQuery) {
  for (const bool yes : {true, false}) {
    SCOPED_TRACE(yes);
    StartSim({QStringLiteral("--echo-error-version")});
    link_->prompter.answers = {yes};
    EXPECT_EQ(link_->link.EnsureConnected(kFactoryPassword, kFactoryPassword), yes ? 99 : 0);
    EXPECT_EQ(link_->prompter.questions.size(), 1);
    EXPECT_TRUE(link_->prompter.messages.empty());
  }
}

TEST_F(LinkSimTcpTest, KilledAndRestartedControllerIsReconnected) {
  StartSim();
  ASSERT_EQ(link_->ReadOutput(12, 4).at(0), 0);
  sim_.Kill();
  const QByteArray lost = link_->ReadOutput(12, 4);
  ASSERT_FALSE(lost.isEmpty());
  EXPECT_NE(lost.at(0), 0);
  EXPECT_EQ(link_->link.connected(), 0);
  ASSERT_TRUE(sim_.Restart()) << sim_.error().toStdString();
  EXPECT_EQ(link_->ReadOutput(12, 4), Bytes({0, 0x2A, 0x00, 0x29, 0x03}));
  EXPECT_EQ(link_->link.connected(), 99);
}

TEST_F(LinkSimTcpTest, DroppedConnectionIsReconnected) {
  StartSim({QStringLiteral("--drop-after"), QStringLiteral("2")});
  EXPECT_EQ(link_->ReadOutput(12, 4).at(0), 0);
  // Whether the hang-up is seen before sending (55) or while waiting (252) is a race.
  const QByteArray lost = link_->ReadOutput(12, 4);
  EXPECT_TRUE(lost == Bytes({55}) || lost == Bytes({252})) << lost.toHex().toStdString();
  EXPECT_EQ(link_->link.connected(), 0);
  EXPECT_EQ(link_->ReadOutput(12, 4), Bytes({0, 0x2A, 0x00, 0x29, 0x03}));
}

TEST_F(LinkSimTcpTest, JunkBehindTheEnvelopeIsLoggedOnce) {
  StartSim({QStringLiteral("--junk"), QStringLiteral("20")});
  ASSERT_EQ(link_->link.EnsureConnected(kFactoryPassword, kFactoryPassword), 99);
  link_->ClearLog();
  EXPECT_EQ(link_->ReadOutput(12, 4), Bytes({0, 0x2A, 0x00, 0x29, 0x03}));
  const auto rows = link_->LogRows();
  ASSERT_EQ(link_->LogKinds(), QStringList({"TX", "rxE", "rx"}));
  EXPECT_EQ(rows[1].data.size(), 12 + 20);
  EXPECT_EQ(rows[1].data.right(20), QByteArray(20, '\xA5'));
}

TEST_F(LinkSimTcpTest, SplitAndLateAnswersAreAssembled) {
  StartSim({QStringLiteral("--junk"), QStringLiteral("5"), QStringLiteral("--split"),
            QStringLiteral("4"), QStringLiteral("--latency"), QStringLiteral("50")});
  ASSERT_EQ(link_->link.EnsureConnected(kFactoryPassword, kFactoryPassword), 99);
  link_->ClearLog();
  const QByteArray memory = link_->ReadModule(kLivingRoomSensor, 2);
  ASSERT_EQ(memory.size(), 36);
  EXPECT_EQ(memory.mid(1, 4), kLivingRoomSensor + Bytes({2}));
  EXPECT_EQ(link_->LogKinds(), QStringList({"TX", "rx"}));
}

TEST_F(LinkSimTcpTest, SilentControllerGivesReceiveTimeoutAndDropsTheLink) {
  StartSim();
  ASSERT_EQ(link_->link.EnsureConnected(kFactoryPassword, kFactoryPassword), 99);
  ASSERT_TRUE(sim_.SetFault(QStringLiteral("silent"))) << sim_.error().toStdString();
  QElapsedTimer timer;
  timer.start();
  EXPECT_EQ(link_->ReadOutput(12, 4), Bytes({252}));
  EXPECT_GE(timer.elapsed(), 2900);
  EXPECT_EQ(link_->link.connected(), 0);
  ASSERT_TRUE(sim_.SetFault(QStringLiteral("clear"))) << sim_.error().toStdString();
  EXPECT_EQ(link_->ReadOutput(12, 4), Bytes({0, 0x2A, 0x00, 0x29, 0x03}));
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

// Serial ports 1 to 4 of the settings are files of a temporary folder; the simulators make their
// pseudo-terminals appear there.
class LinkSimSerialTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ports_.isValid());
    qputenv(kSerialTemplateVariable, (ports_.path() + QStringLiteral("/ttyKTX%1")).toUtf8());
  }
  void TearDown() override { qunsetenv(kSerialTemplateVariable); }
  QString Port(int n) const { return ports_.path() + QStringLiteral("/ttyKTX%1").arg(n); }
  bool StartOn(KtxSimProcess& sim, int n, QStringList extra = {}) {
    extra << QStringLiteral("--no-tcp") << QStringLiteral("--freeze-time")
          << QStringLiteral("--serial-link") << Port(n);
    const bool started = sim.Start(extra);
    if (!started) ADD_FAILURE() << sim.error().toStdString();
    return started;
  }

  QTemporaryDir ports_;
};

TEST_F(LinkSimSerialTest, FallbackFindsTheAnsweringPort) {
  KtxSimProcess silent;
  KtxSimProcess controller;
  ASSERT_TRUE(StartOn(silent, 2, {QStringLiteral("--silent")}));
  ASSERT_TRUE(StartOn(controller, 3));
  SimLink link{QString()};
  link.SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral("S  ")},
                    {QStringLiteral("begcom"), 1},
                    {QStringLiteral("endcom"), 4}});
  EXPECT_EQ(link.link.EnsureConnected(kFactoryPassword, kFactoryPassword), 3);
  EXPECT_FALSE(link.link.use_ethernet());
  EXPECT_EQ(link.installation.Config().Text(u"rxethversie"), QStringLiteral("0000"));
  EXPECT_EQ(link.installation.Config().Text(u"rxctlversie"), QStringLiteral("032032"));

  const QByteArray memory = link.ReadModule(kLivingRoomSensor, 2);
  ASSERT_EQ(memory.size(), 36);
  EXPECT_EQ(memory.mid(1, 4), kLivingRoomSensor + Bytes({2}));
  EXPECT_EQ(link.ReadOutput(12, 4), Bytes({0, 0x2A, 0x00, 0x29, 0x03}));
  EXPECT_TRUE(link.prompter.messages.empty());
}

TEST_F(LinkSimSerialTest, TcpFailureFallsBackToSerial) {
  KtxSimProcess controller;
  ASSERT_TRUE(StartOn(controller, 1));
  // A loopback port nobody listens on: the connect is refused at once.
  QTcpServer probe;
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
  const QString address = QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());
  probe.close();
  SimLink link{address};
  link.SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral("SE ")},
                    {QStringLiteral("begcom"), 1},
                    {QStringLiteral("endcom"), 1}});
  EXPECT_EQ(link.link.EnsureConnected(kFactoryPassword, kFactoryPassword), 1);
  ASSERT_EQ(link.prompter.messages.size(), 1u);
  EXPECT_EQ(link.prompter.messages[0].second, QStringLiteral("No TCP/IP connection to the KTX"));
}

TEST_F(LinkSimSerialTest, RestartedControllerIsFoundAgain) {
  KtxSimProcess controller;
  ASSERT_TRUE(StartOn(controller, 1));
  SimLink link{QString()};
  link.SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral("S  ")},
                    {QStringLiteral("begcom"), 1},
                    {QStringLiteral("endcom"), 1}});
  ASSERT_EQ(link.ReadOutput(12, 4).at(0), 0);
  ASSERT_TRUE(controller.Restart()) << controller.error().toStdString();
  QByteArray result = link.ReadOutput(12, 4);
  if (result.at(0) != 0) result = link.ReadOutput(12, 4);
  EXPECT_EQ(result, Bytes({0, 0x2A, 0x00, 0x29, 0x03}));
  EXPECT_EQ(link.link.connected(), 1);
}

}  // namespace
}  // namespace orva
