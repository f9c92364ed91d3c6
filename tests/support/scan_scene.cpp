#include "scan_scene.h"

#include <QDir>

#include "store/settings_db.h"
#include "store/sqlite_db.h"

namespace orva::test {
namespace {

constexpr char kModules[] = R"(
    {"serial": "160012", "type": "0016",
     "raw": [{"offset": 32, "hex": "08 98 11 94 01 2C 01 C2 00 01"}]},
    {"serial": "0A1234", "type": "0001",
     "raw": [{"offset": 32, "hex": "00 D7 01 2C 00 20 0C 00 28 00 00"}]},
    {"serial": "175310", "type": "0017",
     "raw": [{"offset": 32, "hex": "FF FF FF"}, {"offset": 59, "hex": "00 09 0F"},
             {"offset": 98, "hex": "00 01 5E"}]},
    {"serial": "C40101", "type": "MD-1 motion detector indoor",
     "raw": [{"offset": 92, "hex": "01"}]},
    {"serial": "B1C2D3", "type": "0005",
     "raw": [{"offset": 47, "hex": "01 2C"}, {"offset": 100, "hex": "25 00 00 00 01 86 A0"}]})";

constexpr char kInstallation[] = R"sql(
  CREATE TABLE config (Id INTEGER PRIMARY KEY, IPAddress VARCHAR(50), webport INTEGER,
                       ethuser VARCHAR(40), rxctlversie VARCHAR(6), rxethversie VARCHAR(4),
                       ctltype VARCHAR(2), CTLSerial VARCHAR(6));
  INSERT INTO config VALUES (1, '127.0.0.1', 8446, 'ORVA', NULL, NULL, NULL, '123456');
  CREATE TABLE modules (Id INTEGER PRIMARY KEY, serienr VARCHAR(6), Type VARCHAR(50),
                        plaats VARCHAR(50));
  INSERT INTO modules VALUES (1, '160012', '0016', 'Living room'), (2, '0A1234', '0001', 'Roof'),
    (3, '175310', '0017', 'Meter cupboard'), (4, 'C40101', 'MD-1 motion detector indoor', 'Hall'),
    (5, 'B1C2D3', '0005', 'Kitchen'), (6, '654321', '000B', 'Attic');
  CREATE TABLE outputs (Id INTEGER PRIMARY KEY, Naam VARCHAR(50), ModeId INTEGER,
                        Adres INTEGER, SubAdres INTEGER);
  INSERT INTO outputs VALUES (1, 'Water', 280, 30, 1), (2, 'Hall, east', 151, 20, 1),
    (3, 'Living room', 82, 12, 0), (4, 'Gone', 151, 99, 0);
)sql";

// A ktx-sim model: controller 123456, the scene's modules and three outputs, one of each answer
// length (24, 5 and 4 status bytes).
QByteArray SimModel() {
  return QByteArray(R"({
  "controller": {"serial": "123456", "type": 12, "version": "3.20.32",
                 "interface_version": "2.15"},
  "modules": [)") +
         kModules + R"(],
  "outputs": [
    {"name": "Meters", "address": 30, "sub_address": 0, "mode": 280,
     "status": "00 30 39 00 01 F4 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 07"},
    {"name": "Hall", "address": 20, "mode": 151, "status": "01 80 40 00 FF"},
    {"name": "Living room", "address": 12, "mode": 82, "status": "2A 00 29 03"}
  ]
})";
}

}  // namespace

QString WriteScanScene(const ProgramFolder& folder) {
  QDir().mkpath(folder.temp_folder());
  SqliteDb::Create(folder.working_copy()).Exec(QLatin1String(kInstallation));
  SettingsDb::Open(folder.File(QStringLiteral("config2.orva")))
      .Update({{QStringLiteral("SerOfEth"), QStringLiteral(" E ")}});
  const QString model = folder.program_dir() + QStringLiteral("/model.json");
  WriteFile(model, SimModel());
  return model;
}

ScanRow ModuleRow(const char* serial, const char* type) {
  return {QStringLiteral("Module"),
          QLatin1String(serial) + QStringLiteral(" Somewhere"),
          QString::fromLatin1(type),
          {},
          {},
          0};
}

ScanRow MemoryRow(const char* serial, const char* sram, const char* value_type) {
  return {QStringLiteral("Module_memory"), QLatin1String(serial) + QStringLiteral(" Somewhere"),
          QStringLiteral("000B"),          QString::fromLatin1(sram),
          QString::fromLatin1(value_type), 0};
}

ScanRow OutputRow(int id) { return {QStringLiteral("Output_status"), {}, {}, {}, {}, id}; }

QList<ScanRow> SceneRows() {
  return {ModuleRow("160012", "0016"),
          ModuleRow("0A1234", "0001"),
          ModuleRow("175310", "0017"),
          ModuleRow("C40101", "MD motion detector"),
          MemoryRow("B1C2D3", "100", "Byte"),
          MemoryRow("B1C2D3", "47", "Integer"),
          MemoryRow("B1C2D3", "104", "24-bit"),
          OutputRow(1),
          OutputRow(2),
          OutputRow(3)};
}

}  // namespace orva::test
