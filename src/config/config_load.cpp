#include "config/comm_log_days_key.h"
#include "config/config_file.h"
#include "config/decimal_text.h"
#include "config/item_text.h"
#include "config/module_kinds.h"
#include "config/port_field.h"
#include "config/server_access_keys.h"
#include "json/json_parser.h"
#include "json/json_writer.h"
#include "store/db_error.h"
#include "store/installation_db.h"
#include "store/reference_db.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <limits>

namespace orva {
namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr qint64 kMinOutputId = std::numeric_limits<qint32>::min();
constexpr qint64 kMaxOutputId = std::numeric_limits<qint32>::max();
// Some hundred bytes a row, with room for blanks and long names.
constexpr qint64 kMaxConfigBytes = kMaxConfigRows * 400;

// Windows-1252 where it differs from Latin-1: 0x80 to 0x9F; 0 for its five unused codes, which
// keep their Latin-1 meaning.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

QString FromWindows1252(const QByteArray& bytes) {
  QString text = QString::fromLatin1(bytes);
  for (QChar& c : text) {
    const char16_t code = c.unicode();
    if (code >= 0x80 && code <= 0x9F && kWindows1252High[code - 0x80] != 0) {
      c = QChar(kWindows1252High[code - 0x80]);
    }
  }
  return text;
}

// Files written by other editors may be in the Windows code page (made on Windows), or carry
// a byte-order mark; neither should stop a load.
QString DecodedText(QByteArray bytes) {
  if (bytes.startsWith(kUtf8Bom)) bytes.remove(0, 3);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
  QString text = utf8.decode(bytes);
  if (!utf8.hasError()) return text;
  return FromWindows1252(bytes);
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

// Each row reader says why the element ends the load (empty when it does not), and appends a
// row only when the whole row could be read. A row the scan cannot read is appended with its
// fault, so that the user learns of it and a save keeps it.
QString ReadModuleRow(const JsonValue& element, const QString& scan_type,
                      InstallationDb& installation, std::vector<ScanRow>& rows) {
  ScanRow row;
  row.scan_type = scan_type;
  row.item_type = JsonPlainText(element[QStringLiteral("ModuleType")]);
  const QString serial = JsonPlainText(element[QStringLiteral("ModuleSerial")]);
  const std::optional<Module> module = installation.ModuleBySerial(serial);
  row.item_text = module ? ModuleItemText(*module) : UnknownModuleItemText(serial);
  if (ScanKindOf(scan_type) == ScanKind::kModuleMemory) {
    const JsonValue& address = element[QStringLiteral("SRAM")];
    if (!address.IsNumber() || !IsSingleRange(address.ToNumber())) {
      return QStringLiteral("SRAM %1 is not a number of single precision")
          .arg(JsonToText(address, true));
    }
    row.sram = SingleDecimalText(address.ToNumber());
    row.value_type = JsonPlainText(element[QStringLiteral("Type")]);
    row.fault = MemoryRowFault(address.ToNumber(), row.value_type);
  } else if (!row.item_type.isEmpty() && ModuleKindOf(row.item_type) == ModuleKind::kNone) {
    row.fault =
        QStringLiteral("module type \"%1\" is not one the scan can read").arg(row.item_type);
  }
  if (row.item_type.isEmpty()) row.fault = QStringLiteral("no \"ModuleType\"");
  if (!module) {
    row.fault = QStringLiteral("module \"%1\" is not in the installation").arg(serial);
  }
  rows.push_back(std::move(row));
  return QString();
}

QString ReadOutputRow(const JsonValue& element, InstallationDb& installation,
                      ReferenceDb& reference, std::vector<ScanRow>& rows) {
  const JsonValue& id_value = element[QStringLiteral("OutputId")];
  const double number = id_value.ToNumber();
  if (!id_value.IsNumber() || number < kMinOutputId - 0.5 || number >= kMaxOutputId + 0.5) {
    return QStringLiteral("OutputId %1 is not a number from %2 to %3")
        .arg(JsonToText(id_value, true))
        .arg(kMinOutputId)
        .arg(kMaxOutputId);
  }
  const qint64 id = RoundHalfEven(number);
  ScanRow row;
  row.scan_type = QStringLiteral("Output_status");
  row.output_id = static_cast<qint32>(id);
  if (const std::optional<Output> output = installation.OutputById(id)) {
    row.item_text = OutputEntryText(*output);
    if (output->mode_id) {
      row.item_type = reference.ModeName(*output->mode_id).value_or(QString());
    }
  } else {
    row.item_text = QString::number(id) + QStringLiteral(" ???");
    row.fault = QStringLiteral("output %1 is not in the installation").arg(id);
  }
  rows.push_back(std::move(row));
  return QString();
}

QString ReadRow(const JsonValue& element, InstallationDb& installation, ReferenceDb& reference,
                std::vector<ScanRow>& rows) {
  if (!element.IsObject()) return QStringLiteral("not an object");
  const QString scan_type = JsonPlainText(element[QStringLiteral("ScanType")]);
  const size_t before = rows.size();
  QString why;
  switch (ScanKindOf(scan_type)) {
    case ScanKind::kModule:
    case ScanKind::kModuleMemory:
      why = ReadModuleRow(element, scan_type, installation, rows);
      break;
    case ScanKind::kOutputStatus:
      why = ReadOutputRow(element, installation, reference, rows);
      break;
    case ScanKind::kSkipped: {
      // Our files never hold the controller's own memory, which the scan does not read; a file
      // that does was written by hand, and learns so like any other row the scan skips.
      ScanRow row;
      row.scan_type = scan_type;
      row.fault = scan_type == QLatin1String("KTX_memory")
                      ? QStringLiteral("scan type \"KTX_memory\" is not one the scan can read")
                      : QStringLiteral("scan type \"%1\" is unknown").arg(scan_type);
      rows.push_back(std::move(row));
      break;
    }
  }
  if (rows.size() > before && !rows.back().fault.isEmpty()) {
    rows.back().file_text = JsonToText(element, true);
  }
  return why;
}

// Rows of one module, output, address or fault hold one text between them: a file of 10,000 rows
// names a few hundred things, and a text of its own for each row would cost more than the row.
void ShareTexts(ScanRow& row, QSet<QString>& texts) {
  for (QString* text : {&row.scan_type, &row.item_text, &row.item_type, &row.sram, &row.value_type,
                        &row.fault, &row.file_text}) {
    if (!text->isEmpty()) *text = *texts.insert(*text);
  }
}

// A scan time written as a word (NaN, Infinity): the parser ends the object there, so that
// without this the file would seem to lack its rows. Empty when the scan time was read.
QString ScanTimeWord(const QString& text, const JsonValue& settings) {
  static const QRegularExpression kWord(
      QStringLiteral(R"(["']?\bScanTime["']?\s*:\s*([-+]?[A-Za-z]\w*))"));
  if (!settings[QStringLiteral("ScanTime")].IsNothing()) return QString();
  return kWord.match(text).captured(1);
}

// The rows a file holds, counted by the key every row starts with: where the text is damaged
// the parser gives up, and this still tells the user how much was left behind.
qsizetype RowsInText(const QString& text) {
  static const QRegularExpression kRowKey(QStringLiteral(R"(["']?\bScanType["']?\s*:)"));
  qsizetype count = 0;
  for (auto it = kRowKey.globalMatch(text); it.hasNext(); it.next()) ++count;
  return count;
}

QString StoppedAtRow(const QString& path, qsizetype row, const QString& why, qsizetype not_read) {
  return QStringLiteral("%1: row %2: %3; the load stopped there, %4 %5 not read")
      .arg(path)
      .arg(row)
      .arg(why)
      .arg(not_read)
      .arg(not_read == 1 ? QStringLiteral("row") : QStringLiteral("rows"));
}

// Reads the rows into `load` up to the first that ends the load, and says why it ended.
// `parse_errors` are the text's own faults: the parser keeps the whole rows before them.
void ReadRows(const JsonValue& config, const QString& path, const QString& text,
              const QString& parse_errors, InstallationDb& installation, ReferenceDb& reference,
              ConfigLoad& load) {
  if (!config.IsArray()) {
    load.error = QStringLiteral("%1: no \"Config\" list of rows").arg(path);
    return;
  }
  const JsonArray& elements = config.ToArray();
  const qsizetype rows_in_file =
      parse_errors.isEmpty() ? elements.size() : std::max(elements.size(), RowsInText(text));
  if (rows_in_file > kMaxConfigRows) {
    load.status = ConfigLoadStatus::kUnreadable;
    load.error = QStringLiteral("%1 holds %2 rows; a configuration has at most %3")
                     .arg(path)
                     .arg(rows_in_file)
                     .arg(kMaxConfigRows);
    return;
  }
  std::vector<ScanRow>& rows = load.configuration.rows;
  rows.reserve(static_cast<size_t>(elements.size()));
  QSet<QString> texts;
  try {
    for (qsizetype i = 0; i < elements.size(); ++i) {
      const size_t before = rows.size();
      const QString why = ReadRow(elements[i], installation, reference, rows);
      if (!why.isEmpty()) {
        load.error = StoppedAtRow(path, i + 1, why, rows_in_file - i);
        return;
      }
      if (rows.size() == before) continue;
      ShareTexts(rows.back(), texts);
      if (!rows.back().fault.isEmpty()) {
        load.faults << QStringLiteral("row %1: %2").arg(i + 1).arg(rows.back().fault);
      }
    }
  } catch (const DbError& error) {
    load.error = error.description();
    return;
  }
  if (parse_errors.contains(QStringLiteral("Missing '"))) {
    load.error = QStringLiteral("%1: the file is cut short (an interrupted copy?); %2 rows read")
                     .arg(path)
                     .arg(elements.size());
  } else if (rows_in_file > elements.size()) {
    load.error = StoppedAtRow(path, elements.size() + 1, parse_errors.section(u'\r', 0, 0),
                              rows_in_file - elements.size());
  } else {
    load.status = ConfigLoadStatus::kLoaded;
  }
}

}  // namespace

std::optional<ScanConfiguration> ServerSettingsOf(const QString& text) {
  const JsonValue root = JsonParse(text);
  const JsonValue& settings = root[QStringLiteral("InfluxDB")];
  if (!settings.IsObject()) return std::nullopt;
  return ScanConfiguration{
      ServerFieldsOf(settings), {}, ServerAccessOf(settings), CommLogDaysOf(settings)};
}

ConfigLoad LoadConfigFile(const QString& path, InstallationDb& installation,
                          ReferenceDb& reference) {
  ConfigLoad load;
  QFile file(path);
  // Whatever it holds, a file this size is no configuration, and parsed whole it would take
  // many times its size in memory.
  if (file.size() > kMaxConfigBytes) {
    load.error = QStringLiteral("%1 is %2 bytes: too large for a configuration of at most %3 rows")
                     .arg(path)
                     .arg(file.size())
                     .arg(kMaxConfigRows);
    return load;
  }
  QByteArray bytes;
  if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
  if (!file.isOpen() || file.error() != QFileDevice::NoError) {
    load.status = ConfigLoadStatus::kUnreadable;
    load.error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
    return load;
  }
  file.close();

  const QString text = DecodedText(std::move(bytes));
  const JsonValue root = JsonParse(text);
  const QString parse_errors = JsonErrors();
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
  if (const QString word = ScanTimeWord(text, settings); !word.isEmpty()) {
    load.error = QStringLiteral("%1: Scan time %2 is not a number").arg(path, word);
    return load;
  }
  load.status = ConfigLoadStatus::kEndedEarly;
  load.configuration.server = ServerFieldsOf(settings);
  load.configuration.access = ServerAccessOf(settings);
  load.configuration.comm_log_days = CommLogDaysOf(settings);
  ReadRows(settings[QStringLiteral("Config")], path, text, parse_errors, installation, reference,
           load);
  return load;
}

}  // namespace orva
