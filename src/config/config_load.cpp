#include "config/config_file.h"
#include "config/decimal_text.h"
#include "config/item_text.h"
#include "config/port_field.h"
#include "config/server_access_keys.h"
#include "json/json_parser.h"
#include "json/json_writer.h"
#include "store/db_error.h"
#include "store/installation_db.h"
#include "store/reference_db.h"

#include <QFile>
#include <QStringDecoder>

namespace orva {
namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// Files written by other editors may be Latin-1, or carry a byte-order mark; neither should
// stop a load.
QString DecodedText(QByteArray bytes) {
  if (bytes.startsWith(kUtf8Bom)) bytes.remove(0, 3);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
  QString text = utf8.decode(bytes);
  if (!utf8.hasError()) return text;
  return QString::fromLatin1(bytes);
}

// The text of a field that holds a number: a number as a plain decimal, which the field's
// leading-number reading gets back whole; anything else as JSON text, so that a quoted text
// reads as no number at all.
QString NumberFieldText(const JsonValue& value) {
  return value.IsNumber() ? DecimalText15(value.ToNumber()) : JsonToText(value, true);
}

ServerFields ServerFieldsOf(const JsonValue& settings) {
  ServerFields fields;
  fields.host = JsonPlainText(settings[QStringLiteral("Host")]);
  fields.port = CorrectedPort(NumberFieldText(settings[QStringLiteral("Port")]));
  fields.database = JsonPlainText(settings[QStringLiteral("DBName")]);
  fields.scan_time = NumberFieldText(settings[QStringLiteral("ScanTime")]);
  return fields;
}

// Each row reader returns false when the element ends the load, and appends a row only when
// the whole row could be read.
bool ReadModuleRow(const JsonValue& element, const QString& scan_type, InstallationDb& installation,
                   std::vector<ScanRow>& rows) {
  ScanRow row;
  row.scan_type = scan_type;
  row.item_type = JsonPlainText(element[QStringLiteral("ModuleType")]);
  if (row.item_type.isEmpty()) return true;
  const QString serial = JsonPlainText(element[QStringLiteral("ModuleSerial")]);
  const std::optional<Module> module = installation.ModuleBySerial(serial);
  row.item_text = module ? ModuleItemText(*module) : UnknownModuleItemText(serial);
  if (row.Kind() == ScanKind::kModuleMemory) {
    const JsonValue& address = element[QStringLiteral("SRAM")];
    if (!address.IsNumber() || !IsSingleRange(address.ToNumber())) return false;
    row.sram = SingleDecimalText(address.ToNumber());
    row.value_type = JsonPlainText(element[QStringLiteral("Type")]);
  }
  rows.push_back(std::move(row));
  return true;
}

bool ReadOutputRow(const JsonValue& element, InstallationDb& installation, ReferenceDb& reference,
                   std::vector<ScanRow>& rows) {
  const JsonValue& id_value = element[QStringLiteral("OutputId")];
  if (!id_value.IsNumber()) return false;
  const qint64 id = RoundHalfEven(id_value.ToNumber());
  if (id < -32768 || id > 32767) return false;
  const std::optional<Output> output = installation.OutputById(id);
  if (!output) return true;
  ScanRow row;
  row.scan_type = QStringLiteral("Output_status");
  row.output_id = static_cast<qint32>(id);
  row.item_text = OutputEntryText(*output);
  if (output->mode_id) {
    row.item_type = reference.ModeName(*output->mode_id).value_or(QString());
  }
  rows.push_back(std::move(row));
  return true;
}

bool ReadRow(const JsonValue& element, InstallationDb& installation, ReferenceDb& reference,
             std::vector<ScanRow>& rows) {
  if (!element.IsObject()) return false;
  const QString scan_type = JsonPlainText(element[QStringLiteral("ScanType")]);
  switch (ScanKindOf(scan_type)) {
    case ScanKind::kModule:
    case ScanKind::kModuleMemory:
      return ReadModuleRow(element, scan_type, installation, rows);
    case ScanKind::kOutputStatus:
      return ReadOutputRow(element, installation, reference, rows);
    case ScanKind::kSkipped:
      break;
  }
  return true;
}

// Reads the rows into `load`; stops at the first element that ends the load.
void ReadRows(const JsonValue& config, InstallationDb& installation, ReferenceDb& reference,
              ConfigLoad& load) {
  if (!config.IsArray()) return;
  try {
    for (const JsonValue& element : config.ToArray()) {
      if (!ReadRow(element, installation, reference, load.configuration.rows)) return;
    }
  } catch (const DbError& error) {
    load.error = error.description();
    return;
  }
  load.status = ConfigLoadStatus::kLoaded;
}

}  // namespace

ConfigLoad LoadConfigFile(const QString& path, InstallationDb& installation,
                          ReferenceDb& reference) {
  ConfigLoad load;
  QFile file(path);
  QByteArray bytes;
  if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
  if (!file.isOpen() || file.error() != QFileDevice::NoError) {
    load.status = ConfigLoadStatus::kUnreadable;
    load.error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
    return load;
  }
  file.close();

  const JsonValue root = JsonParse(DecodedText(std::move(bytes)));
  if (!root.IsObject() && !root.IsArray()) {
    load.status = ConfigLoadStatus::kNotJson;
    load.error = NotJsonMessage(path);
    return load;
  }
  // A list at the top, or an "InfluxDB" that is no object, is not one of our files either:
  // leave the window as it is rather than clear its rows.
  const JsonValue& settings = root[QStringLiteral("InfluxDB")];
  if (!settings.IsObject()) {
    load.status = ConfigLoadStatus::kNoInfluxDb;
    return load;
  }
  load.status = ConfigLoadStatus::kEndedEarly;
  load.configuration.server = ServerFieldsOf(settings);
  load.configuration.access = ServerAccessOf(settings);
  ReadRows(settings[QStringLiteral("Config")], installation, reference, load);
  return load;
}

}  // namespace orva
