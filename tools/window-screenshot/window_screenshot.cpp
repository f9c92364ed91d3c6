// window-screenshot: shows the window on the demo installation with a configuration loaded and
// one picker dropped down, and saves a picture of the screen area it covers. Run it under
// xvfb-run (scripts/screenshot); it uses a temporary ORVA_ROOT and a copy of the program's
// small databases, so it leaves nothing behind.
#include "startup/startup.h"
#include "ui/frm_influxdb.h"
#include "ui/scan_grid_model.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

int Fail(const QString& message) {
  std::fprintf(stderr, "window-screenshot: %s\n", qPrintable(message));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList arguments = app.arguments();
  if (arguments.size() != 4) {
    return Fail(QStringLiteral("usage: window-screenshot INSTALLATION CONFIG.JSON OUT.png"));
  }
  const QString installation = QFileInfo(arguments.at(1)).absoluteFilePath();
  const QString config = QFileInfo(arguments.at(2)).absoluteFilePath();
  const QString out = QFileInfo(arguments.at(3)).absoluteFilePath();

  QTemporaryDir work;
  const QString program_dir = work.path() + QStringLiteral("/bin");
  QDir().mkpath(program_dir);
  for (const char* name : {"init2.orva", "config2.orva", "CommLog.orva"}) {
    const QString file = QLatin1String(name);
    if (!QFile::copy(QCoreApplication::applicationDirPath() + QLatin1Char('/') + file,
                     program_dir + QLatin1Char('/') + file)) {
      return Fail(QStringLiteral("cannot copy ") + file);
    }
    QFile::setPermissions(program_dir + QLatin1Char('/') + file,
                          QFile::ReadOwner | QFile::WriteOwner);
  }
  qputenv("ORVA_ROOT", (work.path() + QStringLiteral("/root/")).toUtf8());

  try {
    orva::StartupState state = orva::PrepareStartup(
        program_dir, {QStringLiteral("-d"), QFileInfo(installation).absolutePath(),
                      QStringLiteral("-f"), QFileInfo(installation).fileName()});
    // English texts, as the README is.
    state.settings->Update({{QStringLiteral("laatstetaal"), QStringLiteral("E")}});
    orva::FrmInfluxDB window(state);
    window.Form_Load();
    window.LoadConfigFile(config);
    window.move(0, 0);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return Fail(QStringLiteral("no window"));

    // Click the Item cell of the memory row, so that its module picker drops down.
    auto* grid = window.findChild<QTableView*>(QStringLiteral("grdConfig"));
    const QModelIndex cell = window.grid_model()->index(2, orva::ScanGridModel::kItem);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
    QTest::qWait(500);

    const QRect area = window.frameGeometry();
    const QPixmap picture =
        window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (!picture.save(out)) return Fail(QStringLiteral("cannot write ") + out);
    std::printf("%s\n", qPrintable(out));
    window.close();
  } catch (const orva::DbError& error) {
    return Fail(orva::StartupFailureMessage(error));
  }
  return 0;
}
