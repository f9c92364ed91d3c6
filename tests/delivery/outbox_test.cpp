// The outbox and what the sender makes of the server's replies, without a server: the reply
// classes, the wait before the next try, a batch halved down to its bad lines, the outbox's
// bound and batches of one precision, the outbox of the earlier layout, a tick's records all or
// none (after a crash in the middle of its transaction as well), and the delivery figures as the
// running program keeps them for `--status` and shows them.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include "delivery/batch_delivery.h"
#include "delivery/delivery_state_file.h"
#include "delivery/outbox.h"
#include "delivery/reply_class.h"
#include "delivery/retry_delay.h"
#include "store/db_error.h"

namespace orva {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(OutboxTest, EachReplyClass) {
  const struct {
    int status;
    ReplyClass kind;
  } cases[] = {
      {204, ReplyClass::kStored},   {0, ReplyClass::kRetry},      {408, ReplyClass::kRetry},
      {429, ReplyClass::kRetry},    {503, ReplyClass::kRetry},    {413, ReplyClass::kTooLarge},
      {400, ReplyClass::kBadLines}, {422, ReplyClass::kBadLines}, {401, ReplyClass::kRefused},
      {403, ReplyClass::kRefused},  {404, ReplyClass::kRefused},
  };
  for (const auto& c : cases) EXPECT_EQ(ClassifyReply(c.status), c.kind) << c.status;
}

TEST(OutboxTest, WaitBeforeTheNextTry) {
  const struct {
    int failures;
    std::optional<seconds> retry_after;
    double random;
    milliseconds wait;
  } cases[] = {
      {1, {}, 0.5, milliseconds(1000)},    {1, {}, 0.0, milliseconds(800)},
      {1, {}, 1.0, milliseconds(1200)},    {4, {}, 0.5, milliseconds(8000)},
      {8, {}, 0.5, milliseconds(120'000)}, {40, {}, 1.0, milliseconds(144'000)},
      {2, seconds(30), 0.0, seconds(30)},  {2, seconds(3600), 0.5, seconds(600)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RetryDelay(c.failures, c.retry_after, c.random), c.wait) << c.failures;
  }
}

PostResult Reply(int status, const QString& detail = {}) {
  PostResult result;
  result.http_status = status;
  result.detail = detail;
  return result;
}

// A server that refuses a body holding a line with "bad", and one of more than `most` lines.
struct PickyServer {
  int most = 1000;
  int status_for_bad = 400;
  QList<QByteArray> stored = {};

  PostResult operator()(const WireBody& wire) {
    EXPECT_FALSE(wire.gzip) << "bodies of 1 KiB and less go as they are";
    const QByteArray& body = wire.bytes;
    const QList<QByteArray> lines = body.split('\n');
    if (lines.size() > most) return Reply(413);
    if (body.contains("bad")) return Reply(status_for_bad, "unable to parse");
    if (body.contains("down")) return Reply(503);
    stored << lines;
    return Reply(204);
  }
};

TEST(OutboxTest, BatchIsHalvedDownToItsBadLines) {
  const LineBatch lines = {"m a=1", "m bad", "m c=3", "m d=4", "m e=5", "m bad2"};
  const struct {
    PickyServer server;
    QList<qsizetype> rejected;
  } cases[] = {
      {{}, {1, 5}},
      {{.status_for_bad = 422}, {1, 5}},
      {{.most = 2}, {1, 5}},
  };
  for (auto c : cases) {
    const BatchOutcome outcome =
        DeliverBatch(lines, [&](const WireBody& body) { return c.server(body); });
    EXPECT_FALSE(outcome.wait);
    QList<qsizetype> rejected;
    for (const RejectedLine& line : outcome.rejected) {
      rejected << line.index;
      EXPECT_EQ(line.message, "unable to parse");
    }
    EXPECT_EQ(rejected, c.rejected);
    for (const char* good : {"m a=1", "m c=3", "m d=4", "m e=5"}) {
      EXPECT_TRUE(c.server.stored.contains(good)) << good;
    }
    EXPECT_FALSE(c.server.stored.contains("m bad"));
  }
  PickyServer failing;
  const BatchOutcome outcome = DeliverBatch({"m bad", "m down"}, std::ref(failing));
  ASSERT_TRUE(outcome.wait);
  EXPECT_EQ(outcome.wait->http_status, 503);
  EXPECT_TRUE(outcome.rejected.isEmpty()) << "nothing settles while the server asks to wait";
}

QList<StampedRecord> Records(int first, int count) {
  QList<StampedRecord> records;
  for (int i = first; i < first + count; ++i)
    records << StampedRecord{"m v=" + QByteArray::number(i), i};
  return records;
}

constexpr TimePrecision kMs = TimePrecision::kMilliseconds;
constexpr TimePrecision kS = TimePrecision::kSeconds;

TEST(OutboxTest, FullOutboxDropsTheOldestAndCountsThem) {
  QTemporaryDir dir;
  Outbox outbox(dir.filePath("Outbox.orva"), 5);
  outbox.Add(kMs, Records(1, 3));
  outbox.Add(kMs, Records(4, 4));
  EXPECT_EQ(outbox.size(), 5);
  EXPECT_EQ(outbox.dropped(), 2);
  outbox.Add(kS, Records(8, 1));
  EXPECT_EQ(outbox.dropped(), 3);

  // Oldest first, one precision per batch, within the byte budget.
  const OutboxBatch first = outbox.Oldest(10, 1 << 20);
  EXPECT_EQ(first.precision, kMs);
  EXPECT_EQ(first.lines.Lines(), QList<QByteArray>({"m v=4", "m v=5", "m v=6", "m v=7"}));
  EXPECT_EQ(outbox.Oldest(10, 12).lines.size(), 2);
  outbox.Add(kMs, Records(9, 1));
  outbox.Remove(first, {{1, "bad"}}, "HTTP://h:1/write");
  EXPECT_EQ(outbox.size(), 2);
  const OutboxBatch second = outbox.Oldest(10, 1 << 20);
  EXPECT_EQ(second.precision, kS);
  EXPECT_EQ(second.lines.Lines(), QList<QByteArray>({"m v=8"}));
  outbox.Remove(second, {}, {});
  EXPECT_EQ(outbox.Oldest(10, 1 << 20).lines.Lines(), QList<QByteArray>({"m v=9"}));
  const OutboxContents contents = Outbox::Contents(dir.filePath("Outbox.orva"), 10);
  ASSERT_EQ(contents.refused.size(), 1);
  EXPECT_EQ(contents.refused[0].line, "m v=5");
  EXPECT_EQ(contents.refused[0].server, "HTTP://h:1/write");
}

// An outbox of the layout that kept each record's server settings: its records stay, with the
// precision those settings named, and go wherever today's settings say.
TEST(OutboxTest, TakesOverTheRecordsOfTheEarlierLayout) {
  QTemporaryDir dir;
  const QString path = dir.filePath("Outbox.orva");
  SqliteDb::Create(path).Exec(
      "CREATE TABLE Servers(Id INTEGER PRIMARY KEY, Server TEXT NOT NULL UNIQUE);"
      "CREATE TABLE Records(Id INTEGER PRIMARY KEY, Server INTEGER NOT NULL,"
      " ReadTime INTEGER NOT NULL, Line TEXT NOT NULL);"
      "INSERT INTO Servers VALUES(1, '{\"Host\":\"a\",\"Precision\":\"s\"}'), (2, "
      "'{\"Host\":\"b\"}');"
      "INSERT INTO Records VALUES(1, 1, 10, 'm v=1 10'), (2, 1, 20, 'm v=2 20'),"
      " (3, 2, 30, 'm v=3 30')");
  Outbox outbox(path, 100);
  EXPECT_EQ(outbox.size(), 3);
  const OutboxBatch first = outbox.Oldest(10, 1 << 20);
  EXPECT_EQ(first.precision, kS);
  EXPECT_EQ(first.lines.Lines(), QList<QByteArray>({"m v=1 10", "m v=2 20"}));
  outbox.Remove(first, {}, {});
  EXPECT_EQ(outbox.Oldest(10, 1 << 20).precision, kMs);
  EXPECT_TRUE(outbox.set_aside().isEmpty());
}

// A tick goes in whole or not at all. A child writes one tick, then dies by SIGKILL inside the
// next tick's transaction, after enough rows that SQLite has spilled uncommitted pages into its
// log: the outbox opens with the first tick whole and nothing of the second. A statement that
// then fails in the middle of a tick leaves nothing of that tick behind either.
TEST(OutboxTest, ATickGoesInWholeOrNotAtAllThoughTheProgramDies) {
  QTemporaryDir dir;
  const QString path = dir.filePath("Outbox.orva");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Outbox(path, 1'000'000).Add(kMs, Records(1, 3));
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, "PRAGMA cache_size=10; BEGIN", nullptr, nullptr, nullptr);
    for (int i = 0; i < 2000; ++i) {
      sqlite3_exec(
          db,
          "INSERT INTO Records(Precision, ReadTime, Line) VALUES('ms', 0, printf('%.500c', 'x'))",
          nullptr, nullptr, nullptr);
    }
    std::raise(SIGKILL);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_GT(QFileInfo(path + "-wal").size(), 100'000) << "the killed transaction reached the log";

  Outbox outbox(path, 1'000'000);
  EXPECT_EQ(outbox.size(), 3);
  SqliteDb::OpenExisting(path).Exec(
      "CREATE TRIGGER full BEFORE INSERT ON Records WHEN NEW.Line = 'm v=5' "
      "BEGIN SELECT RAISE(FAIL, 'disk full'); END");
  EXPECT_THROW(outbox.Add(kMs, Records(4, 3)), DbError);
  EXPECT_EQ(outbox.size(), 3);
  outbox.Add(kMs, Records(7, 1));
  EXPECT_EQ(outbox.size(), 4);
  EXPECT_EQ(outbox.Oldest(100, 1 << 20).lines.Lines(),
            QList<QByteArray>({"m v=1", "m v=2", "m v=3", "m v=7"}));
}

// Each row goes through the state file and back before it is shown.
TEST(OutboxTest, DeliveryFiguresAsKeptAndShown) {
  QTemporaryDir dir;
  const DeliveryStateFile file(dir.filePath("DeliveryState.json"));
  EXPECT_FALSE(file.Read().has_value());
  const QDateTime now(QDate(2026, 12, 7), QTime(14, 5));
  const struct {
    DeliveryFigures figures;
    QLocale locale;
    const char* text;
  } cases[] = {
      {{false, 1240, 1200, 0, 40, 3, 2, QDateTime(QDate(2026, 12, 7), QTime(14, 2, 11)), {}},
       QLocale(QLocale::English),
       "Read 1,240 · sent 1,200 · waiting 40 · dropped 3 · rejected 2 · last post 14:02:11"},
      {{false, 12345, 0, 0, 12345, 0, 0, {}, "InfluxDB unreachable"},
       QLocale(QLocale::German),
       "Read 12.345 · sent 0 · waiting 12.345 · dropped 0 · rejected 0 · last post none"},
      {{true, 5000, 4990, 10, 0, 0, 0, QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59)),
        "InfluxDB server error"},
       QLocale::c(),
       "Read 5000 · sent 4990 · failed 10 · last post 2026-12-06 23:59:59"},
      {{false, 285, 140, 0, 0, 0, 0, {}, {}, 145, "Outbox.orva.damaged-20261207-140500"},
       QLocale::c(),
       "Read 285 · sent 140 · waiting 0 · dropped 0 · rejected 0 · lost 145 · last post none"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ASSERT_TRUE(file.Write(c.figures));
    const std::optional<DeliveryFigures> read = file.Read();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, c.figures);
    const DeliveryFiguresLine line = DeliveryFiguresText(*read, c.locale, now);
    EXPECT_EQ(line.text, QString::fromUtf8(c.text));
    EXPECT_EQ(line.red, !c.figures.problem.isEmpty() || c.figures.lost > 0);
  }
}

}  // namespace
}  // namespace orva
