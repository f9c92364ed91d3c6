// The rules of one scan tick, over a link whose controller is a script: which transactions each
// row makes, what is posted, what the status line says, and when the tick ends.
#include <gtest/gtest.h>

#include <QMap>
#include <map>

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
using test::ScriptedLink;
using test::ScriptedTransport;

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

// One command frame as the controller saw it.
struct Request {
  int command = 0;
  int parameter1 = 0;
  int parameter2 = 0;
  int count_byte = 0;
  QByteArray data;
  bool module_read_active = false;

  friend bool operator==(const Request&, const Request&) = default;
};

void PrintTo(const Request& r, std::ostream* os) {
  *os << "{" << r.command << ", " << r.parameter1 << ", " << r.parameter2 << ", " << r.count_byte
      << ", " << r.data.toHex().toStdString() << ", " << r.module_read_active << "}";
}

// A controller with module memories (by serial bytes) and output statuses (by address) that
// answers as the real one does over TCP, and fails the requests it is told to.
class ScriptedController {
 public:
  explicit ScriptedController(Link& link) : link_(link) {}

  void SetMemory(const QByteArray& serial, int offset, const QByteArray& bytes) {
    QByteArray& memory = memories_[serial];
    if (memory.isEmpty()) memory = QByteArray(256, '\0');
    memory.replace(offset, bytes.size(), bytes);
  }
  void SetStatus(int address, const QByteArray& status) { statuses_[address] = status; }
  // Requests of this command and first parameter (and serial, for memory reads) get `status`.
  void Fail(int command, int parameter1, int status, const QByteArray& serial = {}) {
    faults_[{command, parameter1, serial}] = status;
  }

  ScriptedTransport::Responder Responder() {
    return [this](const QByteArray& sent) -> ScriptedTransport::Reply {
      const QByteArray frame = sent.mid(kEnvelopeLength);
      // Logging in again after a failure that dropped the link is the harness's business.
      const int command = frame.size() > 1 ? static_cast<quint8>(frame.at(1)) & 0x7F : 0;
      if (sent.size() == kLoginPacketLength || (command != 40 && command != 56)) {
        return connect_(sent);
      }
      Request request{static_cast<quint8>(frame.at(1)) & 0x7F, static_cast<quint8>(frame.at(2)),
                      static_cast<quint8>(frame.at(3)),        static_cast<quint8>(frame.at(4)),
                      frame.mid(5, frame.size() - 6),          link_.module_read_active()};
      requests.push_back(request);
      if (on_request) on_request(request);
      const QByteArray answer = Answer(request, frame.left(5));
      return {{0, test::AnswerEnvelope(answer) + answer}};
    };
  }

  std::vector<Request> requests;
  std::function<void(const Request&)> on_request;

 private:
  QByteArray Answer(const Request& request, const QByteArray& echo) const {
    const QByteArray serial = request.command == 40 ? request.data : QByteArray();
    const auto fault = faults_.find({request.command, request.parameter1, serial});
    const auto any_serial = faults_.find({request.command, request.parameter1, QByteArray()});
    int status = fault != faults_.end()        ? fault->second
                 : any_serial != faults_.end() ? any_serial->second
                                               : 0;
    if (status == 0 && request.command == 40 && !memories_.contains(serial)) status = 255;
    if (status == 0 && request.command == 56 && !statuses_.contains(request.parameter1))
      status = 112;
    if (status != 0) {
      QByteArray tail = request.command == 40 ? serial + char(request.parameter1) : QByteArray();
      return echo + char(status) + tail + '#';
    }
    const int items = request.count_byte + 1;
    if (request.command == 40) {
      const QByteArray header = serial + char(request.parameter1) + QByteArray(15, '\0');
      return echo + '\0' + char(request.count_byte) + header +
             memories_[serial].mid(16 * request.parameter1, items) + '#';
    }
    return echo + '\0' + char(request.count_byte) +
           statuses_[request.parameter1].leftJustified(items, '\0', true) + '#';
  }

  Link& link_;
  ScriptedTransport::Responder connect_ = test::ControllerResponder(true);
  QMap<QByteArray, QByteArray> memories_;
  QMap<int, QByteArray> statuses_;
  std::map<std::tuple<int, int, QByteArray>, int> faults_;
};

ScanRow SkippedRow() {
  return {QStringLiteral("KTX_memory"), QStringLiteral("1"), {}, QStringLiteral("10"), {}, 0};
}

const QByteArray kMulti = Hex("0C2238");    // 0016 Living room
const QByteArray kWeather = Hex("140001");  // 0001 Roof (serial 200001)
const QByteArray kAttic = Hex("412B15");    // 000B Attic (serial 654321)
const QByteArray kMeter = Hex("110001");    // 0017 Cellar
const QByteArray kMotion = Hex("A10C22");   // motion detector Hall (serial A11234)

struct Status {
  QString text;
  bool red;
  friend bool operator==(const Status&, const Status&) = default;
};

void PrintTo(const Status& s, std::ostream* os) {
  *os << "{" << s.text.toStdString() << ", " << (s.red ? "red" : "normal") << "}";
}

class ScanTickTest : public testing::Test {
 protected:
  void SetUp() override {
    SqliteDb db = SqliteDb::OpenExisting(link_.folder.working_copy());
    db.Exec(QStringLiteral(
        "INSERT INTO modules VALUES (4, '170001', '0017', 'Cellar'),"
        " (5, 'A11234', 'MD-1 motion detector indoor', 'Hall');"
        "INSERT INTO outputs VALUES (46, 'Meter', 280, 30, 1), (47, 'Hall, east', 151, 20, 1);"));
    link_.ConnectTcp();
    link_.tcp.SetResponder(controller_.Responder());

    controller_.SetMemory(kMulti, 32, Hex("0898119401 2C01C20001"));
    controller_.SetMemory(kWeather, 32, Hex("00D7012C00200C00280000"));
    controller_.SetMemory(kAttic, 47, Hex("012C"));
    controller_.SetMemory(kAttic, 100, Hex("25000000 0186A0"));
    controller_.SetMemory(kMeter, 32, Hex("FFFFFF"));
    controller_.SetMemory(kMeter, 32 + 27, Hex("00090F"));
    controller_.SetMemory(kMotion, 92, Hex("01"));
    controller_.SetStatus(30, Hex("000000 0001F4"));
    controller_.SetStatus(20, Hex("01804000FF"));
    controller_.SetStatus(12, Hex("2A002903"));
  }

  TickEnd Run(const QList<ScanRow>& rows) {
    ScanTickHooks hooks{[this](const QString& record) {
                          records_ << record;
                          if (outcomes_.empty()) return Sent();
                          const PostResult result = outcomes_.front();
                          outcomes_.pop_front();
                          return result;
                        },
                        [this](const QString& text, bool red) {
                          statuses_.push_back({text, red});
                        },
                        [this](int row) { rows_seen_ << row; }, [this] { return scanning_; }};
    return ScanTick(*link_.link, link_.installation, hooks).Run(rows);
  }

  static PostResult Sent() {
    return {PostOutcome::kSent, QStringLiteral("InfluxDB data sent"), false, 204, {}};
  }
  static PostResult Rejected() {
    return {PostOutcome::kRecordRejected, QStringLiteral("InfluxDB server error 404: nope"), true,
            404, QStringLiteral("nope")};
  }
  static PostResult ServerDown() {
    return {PostOutcome::kServerFailed, QStringLiteral("InfluxDB server error"), true, 0, {}};
  }

  std::vector<int> Commands() const {
    std::vector<int> commands;
    for (const Request& request : controller_.requests) commands.push_back(request.command);
    return commands;
  }

  ScriptedLink link_;
  ScriptedController controller_{*link_.link};
  QStringList records_;
  std::deque<PostResult> outcomes_;
  std::vector<Status> statuses_;
  QList<int> rows_seen_;
  bool scanning_ = true;
};

const Status kDataSent{QStringLiteral("InfluxDB data sent"), false};

TEST_F(ScanTickTest, EveryRowKindMakesItsTransactionsAndPostsWhatTheMemoryHolds) {
  const QList<ScanRow> rows = {ModuleRow("123456", "0016"),
                               ModuleRow("200001", "0001"),
                               ModuleRow("170001", "0017"),
                               ModuleRow("A11234", "MD motion detector"),
                               MemoryRow("654321", "100", "Byte"),
                               MemoryRow("654321", "47", "Integer"),
                               MemoryRow("654321", "104", "24-bit"),
                               OutputRow(46),
                               OutputRow(47),
                               OutputRow(42)};
  EXPECT_EQ(Run(rows), TickEnd::kCompleted);

  // Module-memory reads in row order (the energy meter takes blocks 2 to 6), then one
  // status read per output.
  std::vector<Request> expected;
  const std::pair<QByteArray, std::vector<int>> reads[] = {{kMulti, {2}},
                                                           {kWeather, {2}},
                                                           {kMeter, {2, 3, 4, 5, 6}},
                                                           {kMotion, {5}},
                                                           {kAttic, {6, 2, 3, 6}}};
  for (const auto& [serial, blocks] : reads) {
    for (const int block : blocks) expected.push_back({40, block, 0, 15, serial, true});
  }
  expected.insert(
      expected.end(),
      {{56, 30, 0, 23, {}, false}, {56, 20, 255, 4, {}, false}, {56, 12, 255, 3, {}, false}});
  EXPECT_EQ(controller_.requests, expected);

  ASSERT_EQ(records_.size(), 8);
  EXPECT_EQ(records_[0], "123456 temperature=22,humidity=45,light=300,voc=450,motion=1");
  EXPECT_EQ(records_[1],
            "200001 temperature=21.5,daylight=300,wind=3.2,light_east=12,light_west=0,"
            "light_south=40,twilight=0,rain=0");
  EXPECT_TRUE(records_[2].startsWith("170001 Consumption_Total=1.677722E+07,Injection_Total=0,"))
      << records_[2].toStdString();
  EXPECT_TRUE(records_[2].contains(",Voltage_L1=231.9,Voltage_L2=0,")) << records_[2].toStdString();
  EXPECT_EQ(records_[2].count('='), 23);
  EXPECT_EQ(records_[3], "A11234 motion=1");
  EXPECT_EQ(records_[4], "654321 SRAM100=37");
  EXPECT_EQ(records_[5], "654321 SRAM47=300");
  EXPECT_EQ(records_[6], "654321 SRAM104=100000");
  EXPECT_EQ(records_[7],
            "123456 Meter=500,Hall\\,_east=64,Living_room_Settemp=21,Living_room_Roomtemp=20.5,"
            "Living_room_Program=1.5");
  EXPECT_EQ(rows_seen_, QList<int>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(statuses_, std::vector<Status>(8, kDataSent));
  EXPECT_FALSE(link_.link->module_read_active());
}

TEST_F(ScanTickTest, EnergyMeterFailingAtBlockFourReadsNoFurtherBlock) {
  controller_.Fail(40, 4, 127, kMeter);
  const QList<ScanRow> rows = {ModuleRow("170001", "0017"), ModuleRow("123456", "0016")};
  EXPECT_EQ(Run(rows), TickEnd::kCompleted);

  std::vector<std::pair<int, QByteArray>> blocks;
  for (const Request& request : controller_.requests)
    blocks.emplace_back(request.parameter1, request.data);
  EXPECT_EQ(blocks, (std::vector<std::pair<int, QByteArray>>{
                        {2, kMeter}, {3, kMeter}, {4, kMeter}, {2, kMulti}}));
  ASSERT_EQ(records_.size(), 1);
  EXPECT_TRUE(records_[0].startsWith("123456 "));
  EXPECT_EQ(statuses_, (std::vector<Status>{{"Bus receive error (Err127)", true}, kDataSent}));
}

TEST_F(ScanTickTest, UntickingWhileTheLinkWaitsFinishesTheRowAndPostsTheOutputsSoFar) {
  controller_.on_request = [this](const Request& request) {
    if (request.command == 40) scanning_ = false;
  };
  const QList<ScanRow> rows = {OutputRow(47), ModuleRow("123456", "0016"),
                               ModuleRow("200001", "0001")};
  EXPECT_EQ(Run(rows), TickEnd::kCompleted);

  EXPECT_EQ(Commands(), (std::vector<int>{56, 40}));
  EXPECT_EQ(rows_seen_, QList<int>({1, 2}));
  EXPECT_EQ(records_, QStringList({"123456 temperature=22,humidity=45,light=300,voc=450,motion=1",
                                   "123456 Hall\\,_east=64"}));
}

TEST_F(ScanTickTest, FailedPostEndsTheTickAndTheNextTickRunsAgain) {
  const QList<ScanRow> rows = {OutputRow(47), ModuleRow("123456", "0016"),
                               ModuleRow("200001", "0001")};
  outcomes_ = {ServerDown()};
  EXPECT_EQ(Run(rows), TickEnd::kPostFailed);
  EXPECT_EQ(Commands(), (std::vector<int>{56, 40}));
  EXPECT_EQ(records_.size(), 1);  // neither the weather station nor the outputs record
  EXPECT_EQ(statuses_.back(), (Status{"InfluxDB server error", true}));

  records_.clear();
  controller_.requests.clear();
  EXPECT_EQ(Run(rows), TickEnd::kCompleted);
  EXPECT_EQ(Commands(), (std::vector<int>{56, 40, 40}));
  EXPECT_EQ(records_.size(), 3);
}

TEST_F(ScanTickTest, RejectedRecordGoesOnWithTheNextRow) {
  outcomes_ = {Rejected()};
  const QList<ScanRow> rows = {ModuleRow("123456", "0016"), ModuleRow("200001", "0001"),
                               OutputRow(47)};
  EXPECT_EQ(Run(rows), TickEnd::kCompleted);
  EXPECT_EQ(records_.size(), 3);
  EXPECT_EQ(statuses_,
            (std::vector<Status>{{"InfluxDB server error 404: nope", true}, kDataSent, kDataSent}));
}

TEST_F(ScanTickTest, OutputsReadArePostedAlthoughALaterTransactionFailed) {
  controller_.Fail(56, 12, 112);
  const QList<ScanRow> rows = {OutputRow(42), OutputRow(47), OutputRow(46), OutputRow(42)};
  EXPECT_EQ(Run(rows), TickEnd::kCompleted);
  EXPECT_EQ(records_, QStringList({"123456 Hall\\,_east=64,Meter=500"}));
  const Status failed{"Invalid address (Err112)", true};
  EXPECT_EQ(statuses_, (std::vector<Status>{failed, failed, kDataSent, failed}));
}

TEST_F(ScanTickTest, OutputsAreKeptWhenAModuleRowAfterThemFails) {
  const QList<ScanRow> rows = {OutputRow(47), MemoryRow("200001", "40", "Byte")};
  controller_.Fail(40, 2, 255, kWeather);
  EXPECT_EQ(Run(rows), TickEnd::kCompleted);
  EXPECT_EQ(records_, QStringList({"123456 Hall\\,_east=64"}));
  const Status failed{"Module 200001: Roof not found (Err255)", true};
  EXPECT_EQ(statuses_, (std::vector<Status>{failed, kDataSent, failed}));
}

TEST_F(ScanTickTest, Code255NamesTheModuleOfItsOwnRow) {
  // Neither module answers; each message names the row's own module.
  controller_.Fail(40, 6, 255);
  const QList<ScanRow> rows = {MemoryRow("654321", "100", "Byte"),
                               MemoryRow("200001", "100", "Byte"),
                               MemoryRow("999999", "100", "Byte")};
  Run(rows);
  EXPECT_EQ(statuses_, (std::vector<Status>{{"Module 654321: Attic not found (Err255)", true},
                                            {"Module 200001: Roof not found (Err255)", true},
                                            {"Module not found (Err255)", true},
                                            {"Module not found (Err255)", true}}));
  EXPECT_TRUE(records_.isEmpty());
}

TEST_F(ScanTickTest, RowsWithoutATransactionRepeatTheLatestFailure) {
  controller_.Fail(40, 2, 127, kMulti);
  const QList<ScanRow> rows = {ModuleRow("123456", "0016"),
                               SkippedRow(),
                               ModuleRow("654321", "000B"),
                               OutputRow(0),
                               OutputRow(999),
                               ModuleRow("200001", "0001"),
                               SkippedRow()};
  EXPECT_EQ(Run(rows), TickEnd::kCompleted);
  EXPECT_EQ(Commands(), (std::vector<int>{40, 40}));
  const Status failed{"Bus receive error (Err127)", true};
  EXPECT_EQ(statuses_, (std::vector<Status>{failed, failed, failed, failed, failed, kDataSent}));
  EXPECT_EQ(rows_seen_.size(), 7);
}

TEST_F(ScanTickTest, RowsThatCannotBeReadSayWhyAndSendNothing) {
  SqliteDb db = SqliteDb::OpenExisting(link_.folder.working_copy());
  db.Exec(
      QStringLiteral("INSERT INTO outputs VALUES (48, 'Far', 151, 300, 0),"
                     " (49, 'Deep', 151, 20, 9)"));
  const QList<ScanRow> rows = {MemoryRow("654321", "255", "Integer"),
                               MemoryRow("654321", "4096", "Byte"),
                               MemoryRow("654321", "100", "Word"), OutputRow(48), OutputRow(49)};
  EXPECT_EQ(Run(rows), TickEnd::kCompleted);
  // Only the output whose sub-address lies past its answer was read.
  EXPECT_EQ(Commands(), (std::vector<int>{56}));
  EXPECT_TRUE(records_.isEmpty());
  ASSERT_EQ(statuses_.size(), 5u);
  for (const Status& status : statuses_) {
    EXPECT_TRUE(status.red);
    EXPECT_FALSE(status.text.contains("Err")) << status.text.toStdString();
  }
  EXPECT_TRUE(statuses_[0].text.contains("SRAM255")) << statuses_[0].text.toStdString();
  EXPECT_TRUE(statuses_[3].text.contains("Far")) << statuses_[3].text.toStdString();
  EXPECT_TRUE(statuses_[4].text.contains("Deep")) << statuses_[4].text.toStdString();
}

// The log write of a module read fails (its table is gone): the tick ends with the error, and
// the link must not be left believing a module read is still under way, or it would never drop
// a dead connection again.
TEST_F(ScanTickTest, ADatabaseFailureDuringAModuleReadLeavesNoModuleReadBehind) {
  SqliteDb::OpenExisting(link_.folder.File(QStringLiteral("CommLog.orva")))
      .Exec(QStringLiteral("DROP TABLE CommLog"));
  EXPECT_THROW(Run({ModuleRow("123456", "0016"), OutputRow(47)}), DbError);
  EXPECT_FALSE(link_.link->module_read_active());
  EXPECT_TRUE(records_.isEmpty());
}

// Outputs the record cannot carry, or whose status cannot be asked for, are left out with a red
// reason and no transaction; the other outputs still reach the server.
TEST_F(ScanTickTest, OutputsWithoutAKeyOrAnAddressAreLeftOutOfTheRecord) {
  SqliteDb db = SqliteDb::OpenExisting(link_.folder.working_copy());
  db.Exec(QStringLiteral(
      "INSERT INTO outputs VALUES (50, NULL, 151, 20, 1), (51, '  ', 280, 30, 1),"
      " (52, 'Lamp\\', 151, 20, 1), (53, 'Porch', 151, NULL, 1), (54, 'Gate', 280, 30, NULL),"
      " (55, 'Den', 60, 12, NULL), (56, 'Back\\door', 151, 20, 3)"));
  const QList<ScanRow> rows = {OutputRow(50), OutputRow(51), OutputRow(52), OutputRow(53),
                               OutputRow(54), OutputRow(55), OutputRow(56)};
  EXPECT_EQ(Run(rows), TickEnd::kCompleted);

  std::vector<int> addresses;
  for (const Request& request : controller_.requests) addresses.push_back(request.parameter1);
  EXPECT_EQ(addresses, (std::vector<int>{12, 20}));
  ASSERT_EQ(records_.size(), 1);
  EXPECT_EQ(records_[0], "123456 Den_Settemp=21,Den_Roomtemp=20.5,Den_Program=1.5,Back\\door=255")
      << records_[0].toStdString();
  const char* reasons[] = {"Output \"\": a name that is empty, ends in a backslash",
                           "Output \"\": a name that is empty, ends in a backslash",
                           "Output \"Lamp\\\": a name that is empty, ends in a backslash",
                           "Output Porch: the installation database gives no address",
                           "Output Gate: the installation database gives no sub-address"};
  ASSERT_EQ(statuses_.size(), std::size(reasons) + 1);
  for (size_t i = 0; i < std::size(reasons); ++i) {
    EXPECT_TRUE(statuses_[i].red);
    EXPECT_TRUE(statuses_[i].text.startsWith(reasons[i])) << statuses_[i].text.toStdString();
  }
  EXPECT_EQ(statuses_.back(), kDataSent);
}

// Unticked before the tick starts, an empty grid, or modules whose type is no kind the scan
// reads: nothing is read, and the outputs record, holding no output, is not posted.
TEST_F(ScanTickTest, NothingIsReadUntickedForAnEmptyGridOrForModulesOfAnUnknownKind) {
  const struct {
    bool ticked;
    QList<ScanRow> rows;
  } cases[] = {{false, {OutputRow(47)}},
               {true, {}},
               {true, {ModuleRow("654321", "000B"), ModuleRow("123456", "0016 ")}}};
  for (const auto& c : cases) {
    scanning_ = c.ticked;
    EXPECT_EQ(Run(c.rows), TickEnd::kCompleted);
    EXPECT_TRUE(controller_.requests.empty()) << c.rows.size();
    EXPECT_TRUE(records_.isEmpty()) << c.rows.size();
    EXPECT_TRUE(statuses_.empty()) << c.rows.size();
  }
}

// A failed output row before a module row that reads well: the module record goes out at once,
// and the outputs record after the last row holds the outputs that were read, if any.
TEST_F(ScanTickTest, AFailedOutputRowHoldsBackNeitherTheModuleNorTheOtherOutputs) {
  controller_.Fail(56, 12, 112);
  const QString multi = "123456 temperature=22,humidity=45,light=300,voc=450,motion=1";
  const Status failed{"Invalid address (Err112)", true};
  const struct {
    QList<ScanRow> rows;
    QStringList records;
    std::vector<Status> statuses;
  } cases[] = {
      {{OutputRow(42), ModuleRow("123456", "0016")}, {multi}, {failed, kDataSent}},
      {{OutputRow(47), OutputRow(42), ModuleRow("123456", "0016")},
       {multi, "123456 Hall\\,_east=64"},
       {failed, kDataSent, kDataSent}},
  };
  for (const auto& c : cases) {
    records_.clear();
    statuses_.clear();
    EXPECT_EQ(Run(c.rows), TickEnd::kCompleted);
    EXPECT_EQ(records_, c.records) << c.rows.size();
    EXPECT_EQ(statuses_, c.statuses) << c.rows.size();
  }
}

}  // namespace
}  // namespace orva
