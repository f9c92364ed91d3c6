#include "link/link_address.h"
#include "link/port_error.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

TEST(ControllerAddress, HostAndPort) {
  const struct {
    const char* text;
    const char* host;
    int port;
  } cases[] = {{"127.0.0.1", "127.0.0.1", 8446},
               {"127.0.0.1:5000", "127.0.0.1", 5000},
               {" ktx.local:8447 ", "ktx.local", 8447},
               {"[::1]:6001", "::1", 6001},
               {"[::1]", "::1", 8446},
               {"::1", "::1", 8446},
               {"fe80::1:2", "fe80::1:2", 8446},
               {"", "", 8446}};
  for (const auto& c : cases) {
    const std::optional<ControllerAddress> address = ParseControllerAddress(c.text);
    ASSERT_TRUE(address.has_value()) << c.text;
    EXPECT_EQ(address->host, QLatin1String(c.host));
    EXPECT_EQ(address->port, c.port);
  }
  for (const char* refused :
       {"host:", "host:0", "host:65536", "host:80a", "[::1", "[::1]x", "[::1]:", "[::1]:-3"}) {
    EXPECT_FALSE(ParseControllerAddress(refused).has_value()) << refused;
  }
}

TEST(SerialDeviceName, TemplateOverridesThePlatformRule) {
  EXPECT_EQ(SerialDeviceName(3, "/tmp/x/ttyKTX%1"), QStringLiteral("/tmp/x/ttyKTX3"));
  EXPECT_EQ(SerialDeviceName(1, QString()), QStringLiteral("/dev/ttyS0"));
  EXPECT_EQ(SerialDeviceName(4, QString()), QStringLiteral("/dev/ttyS3"));
  qputenv(kSerialTemplateVariable, "/tmp/pty-%1");
  EXPECT_EQ(SerialDeviceName(12), QStringLiteral("/tmp/pty-12"));
  qunsetenv(kSerialTemplateVariable);
}

TEST(PortErrorCode, SocketAndSerialErrors) {
  EXPECT_EQ(PortErrorCode(QAbstractSocket::OperationError), 58);
  EXPECT_EQ(PortErrorCode(QAbstractSocket::ConnectionRefusedError), 100);
  EXPECT_EQ(PortErrorCode(QAbstractSocket::RemoteHostClosedError), 100);
  EXPECT_EQ(PortErrorCode(QSerialPort::OpenError), 56);
  EXPECT_EQ(PortErrorCode(QSerialPort::NotOpenError), 55);
  EXPECT_EQ(PortErrorCode(QSerialPort::DeviceNotFoundError), 100);
  EXPECT_EQ(PortErrorCode(QSerialPort::NoError), 0);
  EXPECT_EQ(PortErrorCode(QSerialPort::ResourceError, SerialAction::kClose), 100);
  EXPECT_EQ(PortErrorCode(QSerialPort::NoError, SerialAction::kClose), 0);
  // The error Qt gives a close of a port that is not open is the one taken for it.
  QSerialPort never_opened;
  never_opened.close();
  EXPECT_EQ(never_opened.error(), QSerialPort::NotOpenError);
  EXPECT_EQ(PortErrorCode(never_opened.error(), SerialAction::kClose), 84);
}

}  // namespace
}  // namespace orva
