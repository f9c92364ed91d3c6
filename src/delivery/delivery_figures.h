#pragma once

#include <QDateTime>
#include <QLocale>
#include <QMetaType>
#include <QString>

namespace orva {

// How delivery has gone since the program started, as the window's status bar and `--status`
// show it.
struct DeliveryFigures {
  bool direct = false;     // direct delivery: no outbox; posts sent and failed
  qint64 read = 0;         // records read (buffered: committed to the outbox)
  qint64 sent = 0;         // records the server stored
  qint64 failed = 0;       // direct: posts that failed
  qint64 waiting = 0;      // records in the outbox
  qint64 dropped = 0;      // records dropped from a full outbox
  qint64 rejected = 0;     // lines the server refused for good
  QDateTime last_sent;     // the last post the server took; null before the first
  QString problem;         // why the server fails now; empty while it takes the records
  qint64 lost = 0;         // records read that the outbox could not take (a full or failing disk)
  QString set_aside = {};  // where a damaged outbox was moved at start; empty when none was

  bool operator==(const DeliveryFigures&) const = default;
};

// The figures in one line ("Read 1,240 · sent 1,200 · waiting 40 · dropped 0 · rejected 0 ·
// last post 14:02:11", with "lost N" after rejected once values were lost), numbers in
// `locale`; the time of the last post with its date unless it is the day of `now`. Red while the
// server fails or once values were lost.
struct DeliveryFiguresLine {
  QString text;
  bool red = false;
};
DeliveryFiguresLine DeliveryFiguresText(const DeliveryFigures& figures, const QLocale& locale,
                                        const QDateTime& now);

}  // namespace orva

Q_DECLARE_METATYPE(orva::DeliveryFigures)
