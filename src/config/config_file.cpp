#include "config/config_file.h"

#include "config/comm_log_days_key.h"
#include "config/decimal_text.h"
#include "config/server_access_keys.h"
#include "json/json_writer.h"
#include "json/leading_number.h"

#include <QSaveFile>
#include <QStringList>

#include <algorithm>

namespace orva {
namespace {

QString Quoted(const QString& text) {
  return QLatin1Char('"') + JsonEscape(text) + QLatin1Char('"');
}

// The port field admits digits only when typed, and those go out as they stand; a text that
// got past that (pasted, or set by a program) goes out as its leading number, so that the
// file stays readable JSON whatever the field held.
QString PortText(const QString& port) {
  const bool digits_only = !port.isEmpty() && std::all_of(port.begin(), port.end(), [](QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
  });
  return digits_only ? port : DecimalText15(LeadingNumber(port));
}

QString ModuleMembers(const ScanRow& row) {
  return QStringLiteral(",\"ModuleType\":") + Quoted(row.item_type) +
         QStringLiteral(",\"ModuleSerial\":") + Quoted(row.ModuleSerial());
}

// The row's object, or an empty text for a row that is not written.
QString RowObject(const ScanRow& row) {
  if (!row.fault.isEmpty()) return row.file_text;
  const QString head = QStringLiteral("{\"ScanType\":") + Quoted(row.scan_type);
  switch (row.Kind()) {
    case ScanKind::kModule:
      return head + ModuleMembers(row) + QLatin1Char('}');
    case ScanKind::kModuleMemory:
      return head + ModuleMembers(row) + QStringLiteral(",\"SRAM\":") +
             DecimalText15(LeadingNumber(row.sram)) + QStringLiteral(",\"Type\":") +
             Quoted(row.value_type) + QLatin1Char('}');
    case ScanKind::kOutputStatus:
      return head + QStringLiteral(",\"OutputId\":") + QString::number(row.output_id) +
             QLatin1Char('}');
    case ScanKind::kSkipped:
      break;
  }
  return {};
}

}  // namespace

QString ConfigFileText(const ScanConfiguration& configuration) {
  const ServerFields& server = configuration.server;
  QStringList objects;
  for (const ScanRow& row : configuration.rows) {
    QString object = RowObject(row);
    if (!object.isEmpty()) objects.append(std::move(object));
  }
  return QStringLiteral("{\"InfluxDB\":{\"Host\":") + Quoted(server.host) +
         QStringLiteral(",\"Port\":") + PortText(server.port) + QStringLiteral(",\"DBName\":") +
         Quoted(server.database) + QStringLiteral(",\"ScanTime\":") +
         DecimalText15(LeadingNumber(server.scan_time)) +
         ServerAccessMembers(configuration.access) +
         CommLogDaysMember(configuration.comm_log_days) + QStringLiteral(",\"Config\":[") +
         objects.join(QLatin1Char(',')) + QStringLiteral("]}}\r\n");
}

QString ServerSettingsText(const ScanConfiguration& configuration) {
  ScanConfiguration server = configuration;
  server.rows.clear();
  return ConfigFileText(server).trimmed();
}

bool SaveConfigFile(const QString& path, const ScanConfiguration& configuration, QString* error) {
  QSaveFile file(path);
  const QByteArray bytes = ConfigFileText(configuration).toUtf8();
  const bool saved =
      file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
  if (!saved && error != nullptr) {
    *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
  }
  return saved;
}

QString NotJsonMessage(const QString& path) {
  return QStringLiteral("Error: ") + path + QStringLiteral(" is not a valid JSON file");
}

QString ProposedConfigFileName(const QDateTime& now) {
  const QDate date = now.date();
  const QTime time = now.time();
  const auto two = [](int number) {
    return QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
  };
  return QStringLiteral("Influx_%1%2%3_%4%5%6.JSON")
      .arg(QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0')), two(date.month()),
           two(date.day()), two(time.hour()), two(time.minute()), two(time.second()));
}

}  // namespace orva
