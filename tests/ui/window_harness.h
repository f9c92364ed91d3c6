#pragma once

// Drives the real window the way a user does: clicks on cells, choices in dropped-down lists,
// keys typed into fields, and the modal dialogs answered from a timer.
#include "installation_fixture.h"
#include "startup/startup.h"
#include "temp_dir.h"
#include "ui/frm_influxdb.h"
#include "ui/scan_grid_model.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace orva::test {

// A started program: a program folder, an installation database named on the command line,
// and the window after its load step, shown.
class WindowHarness {
 public:
  // `installation` is a file to use as the installation database; empty: the test fixture
  // written with `extra_sql`. `smallest`: the window is made as small as it goes before it shows.
  explicit WindowHarness(const QString& extra_sql = {}, const QString& controller_address = {},
                         const QString& installation = {}, bool smallest = false) {
    QString file = installation;
    if (file.isEmpty()) {
      file = folder.root() + QStringLiteral("installation.orva");
      WriteInstallationDb(file, extra_sql);
    }
    QStringList arguments = {QStringLiteral("-d"), QFileInfo(file).absolutePath(),
                             QStringLiteral("-f"), QFileInfo(file).fileName()};
    if (!controller_address.isEmpty()) arguments << QStringLiteral("-c") << controller_address;
    state = PrepareStartup(folder.program_dir(), arguments);
    // The controller is reached over TCP only, so that no serial port of the machine is tried.
    state.settings->Update({{QStringLiteral("SerOfEth"), QStringLiteral(" E ")}});
    window = std::make_unique<FrmInfluxDB>(state);
    window->Form_Load();
    if (smallest) window->resize(window->minimumSizeHint());
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }

  ~WindowHarness() {
    if (window) window->close();
  }

  template <typename T>
  T* Child(const char* name) const {
    T* child = window->findChild<T*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }

  QTableView* grid() const { return Child<QTableView>("grdConfig"); }
  ScanGridModel* model() const { return window->grid_model(); }
  QPushButton* delete_button() const { return Child<QPushButton>("cmdDelData"); }
  QLineEdit* port() const { return Child<QLineEdit>("txtPort"); }
  QLineEdit* scan_time() const { return Child<QLineEdit>("txtScanTime"); }
  QCheckBox* scan_box() const { return Child<QCheckBox>("chkScan"); }
  QLabel* status() const { return Child<QLabel>("labStatus"); }

  // Grid rows are counted as the user sees them: 1 is the first row below the header.
  void ClickCell(int grid_row, int column) {
    const QModelIndex cell = model()->index(grid_row - 1, column);
    ASSERT_TRUE(cell.isValid()) << grid_row << "," << column;
    grid()->scrollTo(cell);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, grid()->visualRect(cell).center());
  }

  void ClickHeader(int column) {
    QHeaderView* header = grid()->horizontalHeader();
    const QPoint point(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                       header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, point);
  }

  // Gives the grid the keyboard, with the current cell at `grid_row`, `column`, as a user who
  // moved there with the arrow keys.
  void FocusCell(int grid_row, int column) {
    // Lists dropped down before were windows of their own; the offscreen platform hands the
    // activation around as they come and go, which is settled here.
    window->activateWindow();
    grid()->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == grid(); }, 5000));
    grid()->setCurrentIndex(model()->index(grid_row - 1, column));
  }

  // A key pressed and released where the keyboard is: the focused widget, or an open list.
  // Sent straight to that widget: going through the window system would let the offscreen
  // platform make a dropped-down list the active window, which no desktop does.
  static QWidget* KeyboardTarget() {
    if (QWidget* popup = QApplication::activePopupWidget()) {
      return popup->focusWidget() != nullptr ? popup->focusWidget() : popup;
    }
    return QApplication::focusWidget();
  }
  static void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = KeyboardTarget();
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, key, modifiers);
  }
  static void Type(const QString& text) {
    for (const QChar character : text) {
      QWidget* target = KeyboardTarget();
      ASSERT_NE(target, nullptr);
      QTest::keyClicks(target, QString(character));
    }
  }
  // One auto-repeat of a key held down.
  static void HeldKey(Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(KeyboardTarget(), &press);
  }

  template <typename T = QComboBox>
  T* OpenEditor(const char* name) const {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (T* editor : grid()->findChildren<T*>(QLatin1String(name))) {
      if (editor->isVisible()) return editor;
    }
    return nullptr;
  }

  bool AnyEditorOpen() const {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const char* name :
         {"cmbScanType", "cmbModule", "cmbOutput", "cmbValueType", "addressEditor"}) {
      for (QWidget* editor : grid()->findChildren<QWidget*>(QLatin1String(name))) {
        if (editor->isVisible()) return true;
      }
    }
    return false;
  }

  static QStringList Entries(QComboBox* picker) {
    QStringList texts;
    for (int i = 0; i < picker->count(); ++i) texts << picker->itemText(i);
    return texts;
  }

  // Clicks the entry in the picker's dropped-down list, as the user chooses it.
  static void ChooseInList(QComboBox* picker, const QString& text) {
    ASSERT_NE(picker, nullptr);
    const int entry = picker->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ASSERT_GE(entry, 0) << "no entry " << text.toStdString();
    QAbstractItemView* list = picker->view();
    ASSERT_TRUE(list->isVisible()) << "the list is not dropped down";
    const QModelIndex item = list->model()->index(entry, picker->modelColumn());
    list->scrollTo(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(item).center());
  }

  // Clicks a cell, expects the picker `name` to drop down there and chooses `text` in it.
  void Choose(int grid_row, int column, const char* name, const QString& text) {
    ClickCell(grid_row, column);
    ChooseInList(OpenEditor(name), text);
  }

  int AddRow(const QString& scan_type) {
    const int slot = model()->rowCount();
    Choose(slot, ScanGridModel::kScanType, "cmbScanType", scan_type);
    return slot;
  }

  QString Cell(int grid_row, int column) const {
    return model()->index(grid_row - 1, column).data().toString();
  }

  ProgramFolder folder;
  StartupState state;
  std::unique_ptr<FrmInfluxDB> window;
};

// Runs `answer` on the next modal window of type T once it is up (dialogs run their own event
// loop, so the test answers them from a timer). Gives up after `timeout_ms`.
template <typename T>
void AnswerNextModal(std::function<void(T*)> answer, int timeout_ms = 10000) {
  auto* poll = new QTimer;
  auto started = std::make_shared<QElapsedTimer>();
  started->start();
  QObject::connect(poll, &QTimer::timeout, [poll, started, answer, timeout_ms] {
    if (T* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      answer(modal);
    } else if (started->elapsed() > timeout_ms) {
      poll->stop();
      poll->deleteLater();
      ADD_FAILURE() << "no modal " << T::staticMetaObject.className() << " came up";
    }
  });
  poll->start(20);
}

}  // namespace orva::test
