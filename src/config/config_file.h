#pragma once

#include "config/scan_configuration.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace orva {

class InstallationDb;
class ReferenceDb;

// The whole content of a configuration file: one line of JSON without blanks, then CR LF.
// Keys in a fixed order; rows that read nothing ("KTX_memory", an empty scan type) are left
// out. Texts are escaped, so that any host, database name or type text reads back as written.
QString ConfigFileText(const ScanConfiguration& configuration);

// Writes ConfigFileText as UTF-8 without a byte-order mark. The text goes to a temporary file
// that then replaces the target, so a failed write leaves an existing file as it was. On
// failure returns false and, when `error` is given, a text for the user.
bool SaveConfigFile(const QString& path, const ScanConfiguration& configuration,
                    QString* error = nullptr);

enum class ConfigLoadStatus {
  // Fields and rows replace what the window shows.
  kLoaded,
  // The file's text is neither a JSON object nor a list: `error` holds the message to show;
  // nothing changes.
  kNotJson,
  // No "InfluxDB" object (also when the top level is a list): nothing changes, no message.
  kNoInfluxDb,
  // Malformed content stopped the load part way: the server fields and the rows read before
  // that point replace what the window shows, exactly as for kLoaded. `error` names the row,
  // what is wrong with it and how many rows were not read, or says that the file is cut short,
  // or is the installation database's failure.
  kEndedEarly,
  // The file could not be read, holds more than kMaxConfigRows rows, or its scan time is no
  // number: nothing changes; `error` says why.
  kUnreadable,
};

// The most rows a configuration file may hold: a larger one is refused whole.
inline constexpr qsizetype kMaxConfigRows = 10000;

struct ConfigLoad {
  ConfigLoadStatus status = ConfigLoadStatus::kUnreadable;
  // For kLoaded and kEndedEarly: the server fields (port already corrected) and the scan rows.
  // The rows never include the new-row slot; the grid appends its own after them in both cases.
  ScanConfiguration configuration;
  QString error;
  // "row N: why" for each row the scan cannot read (see ScanRow::fault), in file order.
  QStringList faults;

  // Whether the window takes the configuration over (kLoaded or kEndedEarly).
  bool TakesOver() const {
    return status == ConfigLoadStatus::kLoaded || status == ConfigLoadStatus::kEndedEarly;
  }
};

// Reads a configuration file. The file gives the values; each row's Item and Item type are
// rebuilt from the installation (a module's current location, an output's current name and
// mode), so that a row looks as if it had just been picked. A row the scan cannot read (a module
// serial or output Id the installation does not hold, shown with " ???"; a module type none of
// the scan's; no module type; a memory value of an unknown type or outside the module's 256
// bytes; an unknown scan type, "KTX_memory" too) keeps its place with its fault, named in
// `faults`. The text is read as UTF-8 (a byte-order mark is skipped) unless it is not valid
// UTF-8, then as Windows-1252.
ConfigLoad LoadConfigFile(const QString& path, InstallationDb& installation,
                          ReferenceDb& reference);

// A configuration's server settings (fields, "More…" keys, log days) as one line of text in the
// file's own form, without rows; and back, nullopt for a text that holds none. Settings edited
// since a file was opened or saved are kept this way for the next start.
QString ServerSettingsText(const ScanConfiguration& configuration);
std::optional<ScanConfiguration> ServerSettingsOf(const QString& text);

// The message for a file whose text is not JSON.
QString NotJsonMessage(const QString& path);

// The name the save dialog proposes: "Influx_YYYYMMDD_HHMMSS.JSON" for the given local time.
// It carries the extension, so the name is complete whether or not a dialog adds a default one.
QString ProposedConfigFileName(const QDateTime& now);

}  // namespace orva
