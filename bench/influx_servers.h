#pragma once

// The two private influxd servers that the posting benchmarks compare. influxd syncs its
// write-ahead log on every write, so with its data on disk the disk's sync time bounds what any
// client gets; with its data in memory (/dev/shm) the figures are this program's own.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <string>

#include "influxd_process.h"

namespace orva::bench {

class InfluxServers {
 public:
  // Starts both and creates `database` in each; the one in memory only where /dev/shm takes
  // its folder.
  bool Start(const QString& database, QString* error) {
    return StartOne(on_disk_, database, error) &&
           (!in_memory_.valid() || StartOne(in_memory_, database, error));
  }

  // The server a benchmark case asks for, or nullptr with the case skipped when it is not there.
  const test::InfluxdProcess* For(benchmark::State& state, bool in_memory) const {
    const test::InfluxdProcess& server = in_memory ? in_memory_ : on_disk_;
    if (server.running()) return &server;
    state.SkipWithError("no influxd with its data in /dev/shm");
    return nullptr;
  }

  static std::string Label(bool keep_alive, bool in_memory) {
    return std::string(keep_alive ? "keep-alive" : "fresh connection per post") +
           (in_memory ? ", server data in memory" : ", server data on disk");
  }

 private:
  static bool StartOne(test::InfluxdProcess& server, const QString& database, QString* error) {
    return server.Start(error) && server.CreateDatabase(database);
  }

  test::InfluxdProcess on_disk_;
  test::InfluxdProcess in_memory_{QStringLiteral("/dev/shm")};
};

// The main() of a posting benchmark: starts the servers with `database`, points `*servers` at
// them for the cases, and runs the cases asked for on the command line.
inline int RunWithInfluxServers(int argc, char** argv, const QString& database,
                                InfluxServers** servers) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  InfluxServers started;
  QString error;
  if (!started.Start(database, &error)) {
    std::fprintf(stderr, "influxd did not start: %s\n", qPrintable(error));
    return 1;
  }
  *servers = &started;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  *servers = nullptr;
  return 0;
}

}  // namespace orva::bench
