// Entry point of every test executable: a QApplication on the offscreen platform, so that
// sockets, timers and widgets behave as in the program, without a display.
#include <QApplication>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // CI runs as root without a login session; Qt wants a private runtime folder all the same.
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    const QByteArray runtime = "/tmp/orva-test-runtime-" + QByteArray::number(getuid());
    mkdir(runtime.constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", runtime);
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
