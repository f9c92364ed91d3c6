#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace orva {

struct StartupState;

// How `orva-influx --headless` runs: the scan of one configuration file, without a window.
struct HeadlessOptions {
  QString config_path;
  // Stop after this many ticks; scan until a signal when absent.
  std::optional<int> ticks;
  // The answer to the controller's echo-error question (cancel programming and retry).
  bool echo_error_answer = false;
};

// Reads our "--" options; on bad input gives the message for the user instead.
std::variant<HeadlessOptions, QString> ParseHeadlessOptions(const QStringList& arguments);

// Loads the configuration file into the started program and scans it until the ticks are done
// or SIGINT/SIGTERM/SIGHUP arrives; then finishes the current row, posts what it holds and returns
// 0, or 4 when the last of the ticks asked for failed. Status lines go to stdout with a local
// time stamp, errors to stderr as well. Returns non-zero without scanning when the file is
// unusable or names nothing to scan.
int RunHeadless(StartupState& state, const HeadlessOptions& options);

}  // namespace orva
