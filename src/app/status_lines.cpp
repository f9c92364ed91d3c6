#include "app/status_lines.h"

#include "scan/scan_tick.h"

#include <QDateTime>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>

namespace orva {
namespace {

bool StderrIsStdout() {
  struct stat out = {};
  struct stat err = {};
  return ::fstat(STDOUT_FILENO, &out) == 0 && ::fstat(STDERR_FILENO, &err) == 0 &&
         out.st_dev == err.st_dev && out.st_ino == err.st_ino;
}

}  // namespace

void PrintStatus(const QString& text, bool error) {
  static const bool stderr_is_stdout = StderrIsStdout();
  const QString stamp =
      QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  const QByteArray line =
      (stamp + (error ? QStringLiteral(" ERROR ") : QStringLiteral(" ")) + text + QLatin1Char('\n'))
          .toLocal8Bit();
  std::fputs(line.constData(), stdout);
  std::fflush(stdout);
  if (error && !stderr_is_stdout) std::fputs(line.constData(), stderr);
}

void ScanStatusLines::Status(const QString& text, bool red) {
  if (red && outage_.Told(text)) return;
  PrintStatus(text, red);
}

void ScanStatusLines::Caption(const QString& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  PrintStatus(caption, false);
}

void ScanStatusLines::ControllerMessage(const QString& text) { Lost(text); }

void ScanStatusLines::RowRead(const RowReading& reading) {
  if (reading.ok()) {
    if (const QString line = outage_.Found(QDateTime::currentDateTime()); !line.isEmpty()) {
      PrintStatus(line, false);
    }
  } else if (reading.no_controller && reading.error != kNoController) {
    Lost(reading.error);
  }
}

void ScanStatusLines::Lost(const QString& text) {
  if (const QString line = outage_.Lost(text, QDateTime::currentDateTime()); !line.isEmpty()) {
    PrintStatus(line, true);
  }
}

}  // namespace orva
