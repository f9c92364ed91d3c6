#pragma once

#include "config/scan_row.h"

#include <QString>

#include <optional>
#include <vector>

namespace orva {

// Which write endpoint the server offers: InfluxDB 1.x (and what speaks its protocol), 2.x, 3.x.
enum class InfluxApi { kV1, kV2, kV3 };

// "buffered": each record carries the time it was read and goes through the outbox, which a
// sender posts in batches; "direct": one post per record without a time, the tick waits.
enum class DeliveryMode { kBuffered, kDirect };
// The unit of the time stamps the records carry and the server is told of.
enum class TimePrecision { kMilliseconds, kSeconds, kMicroseconds, kNanoseconds };

// How records travel to the server. A key is held only when the file had it or the user set
// it, so a file is written back with the keys it had and no others.
struct DeliverySettings {
  std::optional<DeliveryMode> mode;
  std::optional<TimePrecision> precision;
  std::optional<qint64> outbox_limit;   // records the outbox keeps at most
  std::optional<qint64> batch_size;     // records per post at most
  std::optional<double> flush_seconds;  // the longest a record waits for a batch to fill

  DeliveryMode Mode() const { return mode.value_or(DeliveryMode::kBuffered); }
  TimePrecision Precision() const { return precision.value_or(TimePrecision::kMilliseconds); }
  qint64 OutboxLimit() const { return outbox_limit.value_or(1'000'000); }
  qint64 BatchSize() const { return batch_size.value_or(5'000); }
  double FlushSeconds() const { return flush_seconds.value_or(1.0); }

  friend bool operator==(const DeliverySettings&, const DeliverySettings&) = default;
};

// The tags each module record gets from what the installation knows of its module; none by
// default, so that a record stays what dashboards written for it expect.
struct RecordTags {
  bool name = false;  // the module's place in the installation, e.g. "Kitchen"
  bool kind = false;  // the module kind's English name, e.g. "energy meter"; outputs: "outputs"

  bool any() const { return name || kind; }
  friend bool operator==(const RecordTags&, const RecordTags&) = default;
};

// How to reach and log in to the server, beyond its address, and how records travel to it. The
// defaults are a plain InfluxDB 1.x without login, which is what a file without these keys has
// always meant.
struct ServerAccess {
  InfluxApi api = InfluxApi::kV1;
  bool tls = false;
  QString ca_file;  // PEM certificates to trust instead of the system's; empty: the system's
  bool tls_verify = true;
  QString user;         // 1.x login name
  QString org;          // 2.x organisation
  QString secret_file;  // password (1.x) or token (2.x, 3.x); empty: from the environment
  // 1.x: a database that does not exist is created at the first post (the login needs the right)
  bool create_database = true;
  DeliverySettings delivery = {};
  RecordTags tags = {};

  friend bool operator==(const ServerAccess&, const ServerAccess&) = default;
};

// The server settings as the window's fields hold them: free text, read back unchanged by the
// writer and the file. The defaults are what a fresh window shows.
struct ServerFields {
  QString host = QStringLiteral("localhost");
  QString port = QStringLiteral("8086");
  QString database = QStringLiteral("orva");
  QString scan_time = QStringLiteral("0.5");

  friend bool operator==(const ServerFields&, const ServerFields&) = default;
};

// How many days the communication log keeps its rows, when the file does not say.
inline constexpr double kDefaultCommLogDays = 14;

// Everything a configuration file keeps. The rows are the scan rows only: neither the grid's
// header nor its new-row slot.
struct ScanConfiguration {
  ServerFields server;
  std::vector<ScanRow> rows;
  ServerAccess access = {};
  // Rows of the communication log older than this many days are deleted while scanning; 0
  // keeps every row.
  double comm_log_days = kDefaultCommLogDays;

  friend bool operator==(const ScanConfiguration&, const ScanConfiguration&) = default;
};

}  // namespace orva
