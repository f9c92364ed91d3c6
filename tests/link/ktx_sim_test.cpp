// What of the controller simulator the link's own tests never meet: its fault switches, the
// control lines on its stdin and its start-up checks. Login, answers, the
// pseudo-terminal, dropped connections and greetings are covered by the link running against it.
#include "bytes.h"
#include "ktx_sim_process.h"
#include "link/frame.h"
#include "link/login.h"
#include "temp_dir.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTemporaryDir>

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

// Commands before the login get status 16, unknown ones status 63. Faults switched by control
// lines on stdin change the very next answer, and "clear" ends them.
TEST(KtxSimTest, StatusesAndFaultsChangeTheNextAnswer) {
  KtxSimProcess sim;
  ASSERT_TRUE(sim.Start({QStringLiteral("--freeze-time")})) << sim.error().toStdString();
  QTcpSocket socket;
  socket.connectToHost(sim.host(), sim.port());
  ASSERT_TRUE(socket.waitForConnected(3000));
  const auto transact = [&socket](const QByteArray& frame, int size, int timeout_ms = 3000) {
    socket.write(TcpEnvelope(kCommandFunctionId, frame.size()) + frame);
    return ReadBytes(&socket, size, timeout_ms);
  };
  // The 19-byte answer that carries only a status.
  const auto status_answer = [](const QByteArray& frame, int status) {
    return TcpEnvelope(0xFF, 7) + frame.left(5) + Bytes({status, '#'});
  };
  EXPECT_EQ(transact(kVersionFrame, 19), status_answer(kVersionFrame, 16));
  socket.write(LoginPacket(QString(), QByteArray()));
  ASSERT_EQ(ReadBytes(&socket, 28), QByteArray("Welcome to ORVA TCP/IP V2.15"));
  const QByteArray unknown = Bytes({'*', 9, 0, 0, 0, '#'});
  EXPECT_EQ(transact(unknown, 19), status_answer(unknown, 63));
  const QByteArray version = transact(kVersionFrame, 28);
  ASSERT_EQ(version.size(), 28);
  QByteArray junked = version;
  junked.insert(kEnvelopeLength, QByteArray(3, '\xA5'));
  junked[kEnvelopeLength - 1] = static_cast<char>(version.at(kEnvelopeLength - 1) + 3);
  QByteArray garbled = version;
  garbled[12 + 2] = static_cast<char>(garbled[12 + 2] ^ 0xFF);
  const struct {
    QStringList faults;  // "name value" lines
    QByteArray frame;
    QByteArray answer;
    int at_least_ms = 0;
    int timeout_ms = 3000;
  } cases[] = {
      {{"silent", "fault-command 40"}, kModuleFrame, {}, 0, 600},
      {{"silent", "fault-command 40"}, kVersionFrame, version},
      {{"split 3", "split-delay 150"}, kVersionFrame, version, 300},
      {{"wrong-terminator"}, kVersionFrame, version.left(27) + "!"},
      {{"junk 3"}, kVersionFrame, junked},
      {{}, kVersionFrame, version},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.faults.join(", ").toStdString());
    ASSERT_TRUE(sim.SetFault(QStringLiteral("clear")));
    for (const QString& fault : c.faults) {
      const QString value = fault.section(' ', 1);
      ASSERT_TRUE(sim.SetFault(fault.section(' ', 0, 0), value)) << sim.error().toStdString();
    }
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(transact(c.frame, c.answer.isEmpty() ? 55 : c.answer.size(), c.timeout_ms), c.answer);
    EXPECT_GE(timer.elapsed(), c.at_least_ms);
  }
  EXPECT_FALSE(sim.SetFault(QStringLiteral("no-such-fault"), QStringLiteral("1")));
  // The echo error hits one version query only.
  ASSERT_TRUE(sim.SetFault(QStringLiteral("echo-error-version")));
  EXPECT_EQ(transact(kVersionFrame, 28), garbled);
  EXPECT_EQ(transact(kVersionFrame, 28), version);
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
