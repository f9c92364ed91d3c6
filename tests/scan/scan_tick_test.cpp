// The rules of one scan tick, over a link whose controller is a script: which transactions each
// row makes, what is posted, what the status line says, and when the tick ends.
#include <gtest/gtest.h>

#include <QMap>
#include <numeric>

#include "link/frame.h"
#include "link/login.h"
#include "link_harness.h"
#include "scan/scan_tick.h"
#include "scan_scene.h"
#include "store/db_error.h"

namespace orva {
namespace {

using test::MemoryRow;
using test::ModuleRow;
using test::OutputRow;

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

// A controller that answers as the real one does over TCP from the bytes it holds, keyed by
// "command/first parameter/serial": 16 block bytes or an output's status bytes. A request it
// holds nothing for, or is told to fail (serial "*" for any), gets a result code alone.
class ScriptedController {
 public:
  explicit ScriptedController(Link& link) : link_(link) {}

  test::ScriptedTransport::Responder Responder() {
    return [this](const QByteArray& sent) -> test::ScriptedTransport::Reply {
      const QByteArray frame = sent.mid(kEnvelopeLength);
      // Logging in again after a failure that dropped the link is the harness's business.
      const int command = frame.size() > 1 ? static_cast<quint8>(frame.at(1)) & 0x7F : 0;
      if (sent.size() == kLoginPacketLength || (command != 40 && command != 56)) {
        return connect_(sent);
      }
      const int parameter1 = static_cast<quint8>(frame.at(2)), count = frame.at(4);
      const QByteArray serial = frame.mid(5, frame.size() - 6);
      const QString key = QStringLiteral("%1/%2/").arg(command).arg(parameter1);
      requests << key + serial.toHex() +
                      QStringLiteral(" %1 %2 %3")
                          .arg(static_cast<quint8>(frame.at(3)))
                          .arg(count)
                          .arg(link_.module_read_active());
      if (on_request) on_request(command);
      const QByteArray tail = command == 40 ? serial + char(parameter1) : QByteArray();
      const int code = faults.value(key + serial.toHex(), faults.value(key + '*', 0));
      QByteArray answer = frame.left(5) + char(code) + tail;
      if (code == 0 && bytes.contains(key + serial.toHex())) {
        answer = frame.left(5) + '\0' + char(count) + tail +
                 (command == 40 ? QByteArray(15, '\0') : QByteArray()) +
                 bytes[key + serial.toHex()].leftJustified(count + 1, '\0', true);
      } else if (code == 0) {
        answer[5] = char(command == 40 ? 255 : 112);
      }
      answer += '#';
      return {{0, test::AnswerEnvelope(answer) + answer}};
    };
  }

  QMap<QString, QByteArray> bytes;
  QMap<QString, int> faults;
  // "command/first parameter/serial second parameter count byte module read active"
  QStringList requests;
  std::function<void(int command)> on_request;

 private:
  Link& link_;
  test::ScriptedTransport::Responder connect_ = test::ControllerResponder(true);
};

const QByteArray kMulti = Hex("0C2238");    // 0016 Living room
const QByteArray kWeather = Hex("140001");  // 0001 Roof (serial 200001)
const QByteArray kAttic = Hex("412B15");    // 000B Attic (serial 654321)
const QByteArray kMeter = Hex("110001");    // 0017 Cellar
const QByteArray kMotion = Hex("A10C22");   // motion detector Hall (serial A11234)
const QString kSent = QStringLiteral("InfluxDB data sent");

std::string Lines(const QStringList& lines) { return lines.join('\n').toStdString(); }
template <typename... T>
QStringList List(const T&... texts) {
  return {QString(texts)...};
}
template <typename... T>
QList<ScanRow> Rows(const T&... rows) {
  return {rows...};
}

QString Key(int command, int parameter1, const QByteArray& serial = {}) {
  return QStringLiteral("%1/%2/").arg(command).arg(parameter1) + serial.toHex();
}

// The scripted controller behind a logged-in link, an installation naming its modules and
// outputs, and what the tick posted and showed.
class TickScene {
 public:
  TickScene() {
    SqliteDb::OpenExisting(link_.folder.working_copy())
        .Exec(QStringLiteral(
            "INSERT INTO modules VALUES (4, '170001', '0017', 'Cellar'),"
            " (5, 'A11234', 'MD-1 motion detector indoor', 'Hall');"
            "INSERT INTO outputs VALUES (1, 'Meter', 280, 30, 1), (47, 'Hall, east', 151, 20, 1),"
            " (48, 'Far', 151, 300, 0), (49, 'Deep', 151, 20, 9), (50, NULL, 151, 20, 1),"
            " (51, '  ', 280, 30, 1), (52, 'Lamp\\', 151, 20, 1), (53, 'Porch', 151, NULL, 1),"
            " (54, 'Gate', 280, 30, NULL), (55, 'Den', 60, 12, NULL),"
            " (56, 'Back\\door', 151, 20, 3)"));
    link_.ConnectTcp();
    link_.tcp.SetResponder(controller.Responder());
    QMap<QString, QByteArray>& bytes = controller.bytes;
    bytes[Key(40, 2, kMulti)] = Hex("0898119401 2C01C20001");
    bytes[Key(40, 2, kWeather)] = Hex("00D7012C00200C00280000");
    bytes[Key(40, 2, kAttic)] = Hex("000000000000000000000000000000 01");
    bytes[Key(40, 3, kAttic)] = Hex("2C");
    bytes[Key(40, 6, kAttic)] = Hex("00000000 25000000 0186A0");
    for (int block = 2; block <= 6; ++block) bytes[Key(40, block, kMeter)] = Hex("FFFFFF");
    bytes[Key(40, 5, kMotion)] = Hex("000000000000000000000000 01");
    bytes[Key(56, 30)] = Hex("000000 0001F4");
    bytes[Key(56, 20)] = Hex("01804000FF");
    bytes[Key(56, 12)] = Hex("2A002903");
  }

  TickEnd Run(const QList<ScanRow>& rows) {
    ScanTickHooks hooks{[this](const QString& record) {
                          records << record;
                          if (outcomes.empty())
                            return PostResult{PostOutcome::kSent, kSent, false, 204, {}};
                          const PostResult result = outcomes.front();
                          outcomes.pop_front();
                          return result;
                        },
                        [this](const QString& text, bool red) {
                          statuses << text;
                          EXPECT_EQ(red, text != kSent) << text.toStdString();
                        },
                        [this](int row) { rows_seen << row; }, [] { return true; },
                        [this](const RowReading& reading) { readings << reading; }};
    return ScanTick(*link_.link, link_.installation, hooks).Run(rows);
  }

  // Each row reported, with + for a read that succeeded and - for one that failed.
  std::string Marks() const {
    QStringList marks;
    for (const RowReading& r : readings) {
      marks << QString::number(r.grid_row) + (r.ok() ? '+' : '-');
    }
    return marks.join(' ').toStdString();
  }

  // Command and first parameter of each request, in order.
  std::string Reads() const {
    QStringList reads;
    for (const QString& r : controller.requests) reads << r.section('/', 0, 1);
    return reads.join(' ').toStdString();
  }

  test::ScriptedLink link_;
  ScriptedController controller{*link_.link};
  QStringList records;
  QStringList statuses;
  std::deque<PostResult> outcomes;
  QList<int> rows_seen;
  QList<RowReading> readings;
};

TEST(ScanTickTest, EveryRowKindMakesItsTransactionsInRowOrder) {
  TickScene scene;
  const QList<ScanRow> rows =
      Rows(ModuleRow("123456", "0016"), ModuleRow("200001", "0001"), ModuleRow("170001", "0017"),
           ModuleRow("A11234", "MD motion detector"), MemoryRow("654321", "100", "Byte"),
           MemoryRow("654321", "47", "Integer"), MemoryRow("654321", "104", "24-bit"), OutputRow(1),
           OutputRow(47), OutputRow(42));
  EXPECT_EQ(scene.Run(rows), TickEnd::kCompleted);

  // Module-memory reads in row order (the energy meter takes blocks 2 to 6), then one status
  // read per output with its own second parameter and count.
  QStringList expected;
  const std::pair<QByteArray, std::vector<int>> reads[] = {{kMulti, {2}},
                                                           {kWeather, {2}},
                                                           {kMeter, {2, 3, 4, 5, 6}},
                                                           {kMotion, {5}},
                                                           {kAttic, {6, 2, 3, 6}}};
  for (const auto& [serial, blocks] : reads) {
    for (const int block : blocks) expected << Key(40, block, serial) + " 0 15 1";
  }
  expected << "56/30/ 0 23 0"
           << "56/20/ 255 4 0"
           << "56/12/ 255 3 0";
  EXPECT_EQ(Lines(scene.controller.requests), Lines(expected));
  EXPECT_EQ(Lines(scene.records.mid(4)),
            Lines({"654321 SRAM100=37", "654321 SRAM47=300", "654321 SRAM104=100000",
                   "123456 Meter=500,Hall\\,_east=64,Living_room_Settemp=21,"
                   "Living_room_Roomtemp=20.5,Living_room_Program=1.5"}));
  EXPECT_EQ(scene.records.size(), 8);
  // The rows report the very fields their records carry.
  QStringList reported;
  FieldList output_fields;
  for (const RowReading& r : scene.readings) {
    if (r.own_record) {
      reported << RecordText(r.measurement, r.fields);
    } else {
      output_fields << r.fields;
    }
  }
  reported << RecordText("123456", output_fields);
  EXPECT_EQ(Lines(reported), Lines(scene.records));
  EXPECT_EQ(scene.Marks(), "1+ 2+ 3+ 4+ 5+ 6+ 7+ 8+ 9+ 10+");
  EXPECT_EQ(scene.rows_seen, QList<int>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(Lines(scene.statuses), Lines(QStringList(8, kSent)));
  EXPECT_FALSE(scene.link_.link->module_read_active());
}

// Failures of the controller, the server and the rows themselves: which reads are still made,
// what is posted and what the status line shows for each row.
TEST(ScanTickTest, FailuresOfControllerServerAndRows) {
  const QString multi = "123456 temperature=22,humidity=45,light=300,voc=450,motion=1";
  const QString hall = "123456 Hall\\,_east=64";
  const QString err127 = "Bus receive error (Err127)", err112 = "Invalid address (Err112)";
  const QString roof = "Module 200001: Roof not found (Err255)";
  const QString no_key =
      ": a name that is empty, ends in a backslash or holds a line feed cannot be a field key";
  const ScanRow skipped{"KTX_memory", "1", {}, "10", {}, 0};
  const ScanRow multi_row = ModuleRow("123456", "0016"), weather_row = ModuleRow("200001", "0001");
  const QString none;
  const struct {
    const char* what;
    QString fault;  // the request that fails (see Key), with
    int code;       // this result code
    QList<ScanRow> rows;
    const char* reads;
    QStringList records;
    QStringList statuses;
    const char* marks;   // the rows reported, with + for a read and - for a failure
    int rows_seen = -1;  // all rows
    bool server_down = false;
  } cases[] = {
      {"energy meter failing at block 4 reads no further block", Key(40, 4, kMeter), 127,
       Rows(ModuleRow("170001", "0017"), multi_row), "40/2 40/3 40/4 40/2", List(multi),
       List(err127, kSent), "1- 2+"},
      {"a failed post ends the tick", none, 0, Rows(OutputRow(47), multi_row, weather_row),
       "56/20 40/2", List(multi), List("InfluxDB server error"), "1+ 2+", 2, true},
      {"outputs read are posted although a later read failed", Key(56, 12), 112,
       Rows(OutputRow(42), OutputRow(47), OutputRow(1), OutputRow(42)), "56/12 56/20 56/30 56/12",
       List("123456 Hall\\,_east=64,Meter=500"), List(err112, err112, kSent, err112),
       "1- 2+ 3+ 4-"},
      {"outputs are kept when a module row after them fails", Key(40, 2, kWeather), 255,
       Rows(OutputRow(47), MemoryRow("200001", "40", "Byte")), "56/20 40/2", List(hall),
       List(roof, kSent, roof), "1+ 2-"},
      {"a failed outputs post after a failed read shows the post's failure last",
       Key(40, 2, kWeather), 255, Rows(OutputRow(47), weather_row), "56/20 40/2", List(hall),
       List(roof, "InfluxDB server error"), "1+ 2-", -1, true},
      {"code 255 names the module of its own row", "40/6/*", 255,
       Rows(MemoryRow("654321", "100", "Byte"), MemoryRow("200001", "100", "Byte"),
            MemoryRow("999999", "100", "Byte")),
       "40/6 40/6 40/6", List(),
       List("Module 654321: Attic not found (Err255)", roof, "Module not found (Err255)",
            "Module not found (Err255)"),
       "1- 2- 3-"},
      {"rows without a transaction repeat the latest failure", Key(40, 2, kMulti), 127,
       Rows(multi_row, skipped, ModuleRow("654321", "000B"), OutputRow(0), OutputRow(999),
            weather_row, skipped),
       "40/2 40/2",
       List("200001 temperature=21.5,daylight=300,wind=3.2,light_east=12,light_west=0,"
            "light_south=40,twilight=0,rain=0"),
       List(err127, err127, err127, err127, err127, kSent), "1- 6+"},
      {"rows that cannot be read say why and send nothing", none, 0,
       Rows(MemoryRow("654321", "4096", "Byte"), OutputRow(48), OutputRow(49)), "56/20", List(),
       List("654321 SRAM4096: address 4096 is outside module memory 0 to 255",
            "Output Far: address 300 is outside 0 to 255",
            "Output Deep: sub-address 9 lies past the 5 status bytes read"),
       "1- 2- 3-"},
      {"outputs without a key or an address are left out", none, 0,
       Rows(OutputRow(50), OutputRow(51), OutputRow(52), OutputRow(53), OutputRow(54),
            OutputRow(55), OutputRow(56)),
       "56/12 56/20",
       List("123456 Den_Settemp=21,Den_Roomtemp=20.5,Den_Program=1.5,Back\\door=255"),
       List("Output \"\"" + no_key, "Output \"\"" + no_key, "Output \"Lamp\\\"" + no_key,
            "Output Porch: the installation database gives no address",
            "Output Gate: the installation database gives no sub-address", kSent),
       "1- 2- 3- 4- 5- 6+ 7+"},
      {"an empty grid, and modules of no kind the scan reads", none, 0,
       Rows(ModuleRow("654321", "000B"), ModuleRow("123456", "0016 ")), "", List(), List(), ""},
      {"a failed output row holds back no module", Key(56, 12), 112, Rows(OutputRow(42), multi_row),
       "56/12 40/2", List(multi), List(err112, kSent), "1- 2+"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TickScene scene;
    if (c.code != 0) scene.controller.faults[c.fault] = c.code;
    if (c.server_down) {
      scene.outcomes = {{PostOutcome::kServerFailed, "InfluxDB server error", true, 0, {}}};
    }
    EXPECT_EQ(scene.Run(c.rows), c.server_down ? TickEnd::kPostFailed : TickEnd::kCompleted);
    EXPECT_EQ(scene.Reads(), c.reads);
    EXPECT_EQ(Lines(scene.records), Lines(c.records));
    EXPECT_EQ(Lines(scene.statuses), Lines(c.statuses));
    EXPECT_EQ(scene.Marks(), c.marks);
    QList<int> rows_seen(c.rows_seen < 0 ? c.rows.size() : c.rows_seen);
    std::iota(rows_seen.begin(), rows_seen.end(), 1);
    EXPECT_EQ(scene.rows_seen, rows_seen);
    EXPECT_FALSE(scene.link_.link->module_read_active());
  }
}

// A controller that cannot be reached costs one attempt a tick, whatever stops it: the rows
// after the one that tried are marked without asking it, and the next tick tries again.
TEST(ScanTickTest, AControllerThatCannotBeReachedIsTriedOnceATick) {
  const struct {
    const char* what;
    void (*fault)(test::ScriptedLink&);  // before each tick
    const char* told;
  } cases[] = {
      {"connection refused",
       [](test::ScriptedLink& link) { link.tcp.RefuseTarget(QStringLiteral("127.0.0.1")); },
       "Port not open (Err55)"},
      {"login refused",
       [](test::ScriptedLink& link) {
         link.tcp.QueueReply(Hex("2A0E23"));
         link.tcp.DropAfterNextReply();
       },
       "KTX refuses the login: the next tick logs in again"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TickScene scene;
    scene.link_.link->LinkErrorCleanup(55);
    scene.link_.tcp.ForgetOpened();
    const ScanRow skipped{"KTX_memory", "1", {}, "10", {}, 0};
    for (int tick = 1; tick <= 2; ++tick) {
      c.fault(scene.link_);
      EXPECT_EQ(scene.Run(Rows(ModuleRow("123456", "0016"), OutputRow(47), skipped,
                               MemoryRow("654321", "100", "Byte"))),
                TickEnd::kControllerLost);
      EXPECT_EQ(scene.link_.tcp.opened().size(), tick);
    }
    EXPECT_EQ(scene.Reads(), "");
    EXPECT_EQ(Lines(scene.statuses), Lines(List(c.told, c.told)));
    EXPECT_EQ(scene.Marks(), "1- 2- 4- 1- 2- 4-");
    QStringList errors;
    for (const RowReading& r : scene.readings.mid(0, 3)) {
      EXPECT_TRUE(r.no_controller);
      errors << r.error;
    }
    EXPECT_EQ(Lines(errors), Lines(List(c.told, kNoController, kNoController)));
  }
}

// A database fails inside a module read (it has to connect again, and the settings that needs
// are gone): the tick ends with the error, and the link must not be left believing a module
// read is still under way, or it would never drop a dead connection again.
TEST(ScanTickTest, ADatabaseFailureDuringAModuleReadLeavesNoModuleReadBehind) {
  TickScene scene;
  scene.link_.link->LinkErrorCleanup(55);
  SqliteDb::OpenExisting(scene.link_.folder.File(QStringLiteral("config2.orva")))
      .Exec(QStringLiteral("DROP TABLE orva"));
  EXPECT_THROW(scene.Run({ModuleRow("123456", "0016"), OutputRow(47)}), DbError);
  EXPECT_FALSE(scene.link_.link->module_read_active());
  EXPECT_TRUE(scene.records.isEmpty());
}

}  // namespace
}  // namespace orva
