// window-screenshot: shows the window on the demo installation scanning a controller, with the
// values of one row and the chart of one of its fields, and saves a picture of the screen area
// it covers. Run it under xvfb-run (scripts/screenshot) against a running ktx-sim and influxd;
// it uses a temporary ORVA_ROOT and a copy of the program's small databases, so it leaves
// nothing behind.
#include "startup/startup.h"
#include "ui/frm_influxdb.h"
#include "ui/scan_grid_model.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

// The energy meter's row of the configuration, and the field of it that moves fastest.
constexpr int kChosenRow = 2;
constexpr char kChosenField[] = "Current_Consumption";
constexpr int kScanMs = 15000;

int Fail(const QString& message) {
  std::fprintf(stderr, "window-screenshot: %s\n", qPrintable(message));
  return 1;
}

void Click(QAbstractItemView* view, const QModelIndex& cell) {
  view->scrollTo(cell);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(cell).center());
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList arguments = app.arguments();
  if (arguments.size() != 5 && arguments.size() != 6) {
    return Fail(QStringLiteral(
        "usage: window-screenshot INSTALLATION CONFIG.JSON CONTROLLER OUT.png [WIDTHxHEIGHT]"));
  }
  const QString installation = QFileInfo(arguments.at(1)).absoluteFilePath();
  const QString config = QFileInfo(arguments.at(2)).absoluteFilePath();
  const QString controller = arguments.at(3);
  const QString out = QFileInfo(arguments.at(4)).absoluteFilePath();
  const QStringList size = arguments.value(5).split(QLatin1Char('x'));

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
        program_dir,
        {QStringLiteral("-d"), QFileInfo(installation).absolutePath(), QStringLiteral("-f"),
         QFileInfo(installation).fileName(), QStringLiteral("-c"), controller},
        // English texts, as the README is.
        {{QStringLiteral("laatstetaal"), QStringLiteral("E")}});
    orva::FrmInfluxDB window(state);
    window.Form_Load();
    window.LoadConfigFile(config);
    window.move(0, 0);
    if (size.size() == 2) window.resize(size.at(0).toInt(), size.at(1).toInt());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return Fail(QStringLiteral("no window"));

    auto* grid = window.findChild<QTableView*>(QStringLiteral("grdConfig"));
    Click(grid, window.grid_model()->index(kChosenRow, orva::ScanGridModel::kItem));
    auto* scan = window.findChild<QCheckBox*>(QStringLiteral("chkScan"));
    QTest::mouseClick(scan, Qt::LeftButton);
    auto* values = window.findChild<QTableWidget*>(QStringLiteral("tblValues"));
    if (!QTest::qWaitFor([&] { return values->rowCount() > 0; }, 10000)) {
      return Fail(QStringLiteral("nothing was read from ") + controller);
    }
    const QList<QTableWidgetItem*> field =
        values->findItems(QLatin1String(kChosenField), Qt::MatchExactly);
    if (field.isEmpty()) return Fail(QStringLiteral("no field ") + kChosenField);
    Click(values, values->indexFromItem(field.constFirst()));
    QTest::qWait(kScanMs);

    const QRect area = window.frameGeometry();
    const QPixmap picture =
        window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (!picture.save(out)) return Fail(QStringLiteral("cannot write ") + out);
    std::printf("%s\n", qPrintable(out));
    QTest::mouseClick(scan, Qt::LeftButton);
    window.close();
  } catch (const orva::DbError& error) {
    return Fail(orva::StartupFailureMessage(error));
  }
  return 0;
}
