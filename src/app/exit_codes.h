#pragma once

namespace orva {

// How orva-influx ends, for scripts and service managers; the README lists them.
constexpr int kStartupFailed = 1;   // start-up failed, or another instance runs on the folders
constexpr int kUsageError = 2;      // bad options or a controller address that cannot be one
constexpr int kConfigError = 3;     // an unusable configuration file
constexpr int kLastTickFailed = 4;  // the last of the --ticks failed
constexpr int kNotRunning = 5;      // --status: no orva-influx runs on the folder

}  // namespace orva
