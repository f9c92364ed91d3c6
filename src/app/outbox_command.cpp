#include "app/outbox_command.h"

#include "app/exit_codes.h"
#include "delivery/outbox.h"
#include "startup/instance_lock.h"
#include "store/db_error.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

#include <cstdio>

namespace orva {
namespace {

constexpr int kRefusedShown = 10;

void Print(const QString& line) { std::fputs(qPrintable(line + QLatin1Char('\n')), stdout); }

QString Time(qint64 ms) {
  return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString Count(qint64 count) { return QLocale::c().toString(count); }

void PrintContents(const OutboxContents& contents) {
  qint64 waiting = 0;
  for (const OutboxContents::Waiting& group : contents.waiting) waiting += group.count;
  Print(QStringLiteral("waiting %1").arg(Count(waiting)));
  for (const OutboxContents::Waiting& group : contents.waiting) {
    Print(QStringLiteral("  precision %1: %2, read %3 to %4")
              .arg(group.precision, Count(group.count), Time(group.oldest_ms),
                   Time(group.newest_ms)));
  }
  if (contents.refused.isEmpty()) return;
  Print(QStringLiteral("refused by the server, the last %1:").arg(contents.refused.size()));
  for (const OutboxContents::Refused& line : contents.refused) {
    Print(QStringLiteral("  read %1, refused by %2: %3\n    %4")
              .arg(Time(line.read_ms), line.server, line.message, QString::fromUtf8(line.line)));
  }
}

}  // namespace

int RunOutboxCommand(const AppPaths& paths) {
  if (!QFileInfo::exists(paths.OutboxDb())) {
    Print(QStringLiteral("waiting 0 (no outbox yet)"));
    return 0;
  }
  try {
    PrintContents(Outbox::Contents(paths.OutboxDb(), kRefusedShown));
  } catch (const DbError& error) {
    std::fprintf(stderr, "orva-influx: %s\n", qPrintable(error.Text()));
    return kStartupFailed;
  }
  return 0;
}

int RunOutboxClearCommand(const AppPaths& paths) {
  // Held while clearing: an instance starting meanwhile waits for nothing, it is refused.
  const InstanceLock lock(paths);
  if (!lock.refusal().isEmpty()) {
    std::fprintf(stderr, "%s\n", qPrintable(lock.refusal()));
    return kStartupFailed;
  }
  if (!QFileInfo::exists(paths.OutboxDb())) {
    Print(QStringLiteral("dropped 0 records (no outbox yet)"));
    return 0;
  }
  try {
    Print(QStringLiteral("dropped %1 records").arg(Count(Outbox::Clear(paths.OutboxDb()))));
  } catch (const DbError& error) {
    std::fprintf(stderr, "orva-influx: %s\n", qPrintable(error.Text()));
    return kStartupFailed;
  }
  return 0;
}

}  // namespace orva
