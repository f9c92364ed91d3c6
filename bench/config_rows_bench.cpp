// What a row of a configuration file costs in memory: 10,000 rows (the most a file may hold) of
// every kind the demo installation has, one in ten of them faulty (kept with its file text), are
// loaded and kept as the load hands them to the window; per row once loaded, the resident bytes
// (target: a few hundred) and the heap's bytes in use, and the resident bytes at the peak of the
// load, which parses the whole file.
#include "config/config_file.h"
#include "store/installation_db.h"
#include "store/reference_db.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <malloc.h>

namespace orva {
namespace {

constexpr int kRows = 10'000;

const char* const kRowKinds[] = {
    R"({"ScanType":"Module","ModuleType":"0016","ModuleSerial":"160012"})",
    R"({"ScanType":"Module","ModuleType":"0001","ModuleSerial":"0A1234"})",
    R"({"ScanType":"Module","ModuleType":"0017","ModuleSerial":"175310"})",
    R"({"ScanType":"Module","ModuleType":"MD-1 motion detector indoor","ModuleSerial":"C40101"})",
    R"({"ScanType":"Module_memory","ModuleType":"0005","ModuleSerial":"B1C2D3","SRAM":100,)"
    R"("Type":"Byte"})",
    R"({"ScanType":"Module_memory","ModuleType":"0005","ModuleSerial":"B1C2D3","SRAM":102,)"
    R"("Type":"Integer"})",
    R"({"ScanType":"Output_status","OutputId":1})",
    R"({"ScanType":"Output_status","OutputId":2})",
    R"({"ScanType":"Output_status","OutputId":3})",
    R"({"ScanType":"Module","ModuleType":"0016","ModuleSerial":"999999"})",  // not installed
};

// This process's resident memory in bytes, now ("VmRSS:") or at its peak ("VmHWM:").
qint64 ResidentBytes(const char* key) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith(key)) return line.mid(6).trimmed().split(' ').front().toLongLong() * 1024;
  }
  return 0;
}

// Resident memory with what the heap has freed given back, so that only what is kept counts.
qint64 KeptBytes() {
  malloc_trim(0);
  return ResidentBytes("VmRSS:");
}

void BM_KeepTenThousandRows(benchmark::State& state) {
  QTemporaryDir dir;
  const QString installation_path = dir.filePath(QStringLiteral("installation.orva"));
  QFile::copy(QStringLiteral(ORVA_BIN_DIR "/demo-installation.orva"), installation_path);
  QFile::setPermissions(installation_path, QFile::ReadOwner | QFile::WriteOwner);
  InstallationDb installation = InstallationDb::Open(installation_path);
  ReferenceDb reference = ReferenceDb::Open(QStringLiteral(ORVA_BIN_DIR "/init2.orva"));
  // Memory rows read every address, and the faulty rows name a module each of their own, so that
  // their texts differ as in a real file.
  QStringList rows;
  for (int i = 0; i < kRows; ++i) {
    rows << QString::fromLatin1(kRowKinds[i % std::size(kRowKinds)])
                .replace(QStringLiteral("\"SRAM\":100"), QStringLiteral("\"SRAM\":%1").arg(i % 254))
                .replace(QStringLiteral("999999"),
                         QStringLiteral("9%1").arg(i, 5, 10, QLatin1Char('0')));
  }
  const QString path = dir.filePath(QStringLiteral("rows.JSON"));
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  file.write((QStringLiteral(R"({"InfluxDB":{"Host":"localhost","Port":8086,"DBName":"orva",)"
                             R"("ScanTime":0.5,"Config":[)") +
              rows.join(QLatin1Char(',')) + QStringLiteral("]}}\r\n"))
                 .toUtf8());
  file.close();
  rows.clear();

  std::vector<ScanRow> kept;
  qint64 before = 0;
  qint64 peak = 0;
  qint64 live_before = 0;
  for (auto _ : state) {
    kept.clear();
    kept.shrink_to_fit();
    before = KeptBytes();
    live_before = static_cast<qint64>(mallinfo2().uordblks);
    // Writing 5 to clear_refs starts the peak anew from what is resident now.
    QFile clear_refs(QStringLiteral("/proc/self/clear_refs"));
    if (clear_refs.open(QIODevice::WriteOnly)) clear_refs.write("5");
    clear_refs.close();
    ConfigLoad load = LoadConfigFile(path, installation, reference);
    if (load.status != ConfigLoadStatus::kLoaded || load.configuration.rows.size() != kRows) {
      state.SkipWithError("the rows did not load");
      return;
    }
    kept = std::move(load.configuration.rows);
    peak = ResidentBytes("VmHWM:");
  }
  state.counters["row_struct_bytes"] = sizeof(ScanRow);
  state.counters["heap_bytes_per_row"] =
      static_cast<double>(static_cast<qint64>(mallinfo2().uordblks) - live_before) / kRows;
  state.counters["kept_bytes_per_row"] = static_cast<double>(KeptBytes() - before) / kRows;
  state.counters["peak_bytes_per_row"] = static_cast<double>(peak - before) / kRows;
}
// The last of three loads counts: the first also fills the caches of the databases.
BENCHMARK(BM_KeepTenThousandRows)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orva

BENCHMARK_MAIN();
