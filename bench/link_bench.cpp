// One controller transaction at a time through the link, over TCP on loopback against ktx-sim,
// the communication log written as in the program. Two questions:
//  - with 50 ms answer latency, the CPU a transaction costs this process (the link must block
//    on the socket, not spin): target < 1 ms;
//  - with no latency, transactions per second: target >= 5,000/s.
// Module-memory reads (command 40) and output status reads (command 56) alike. "Time" is wall
// time per transaction, "CPU" the CPU of the whole benchmark process per transaction.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "ktx_sim_process.h"
#include "link/link.h"
#include "link/login.h"
#include "link/serial_transport.h"
#include "link/steady_clock.h"
#include "link/tcp_transport.h"
#include "link_harness.h"
#include "scan/serial_bytes.h"

namespace orva {
namespace {

test::KtxSimProcess* simulator = nullptr;

constexpr int kModuleMemory = 40;
constexpr int kOutputStatus = 56;

// A link with its own program folder and databases, as a scan thread holds it.
class SimLink : public test::LinkDatabases {
 public:
  explicit SimLink(const QString& address) : link(Context(address), LinkPorts{tcp, serial, clock}) {
    SetSettings({{QStringLiteral("SerOfEth"), QStringLiteral(" E ")}});
  }

  TcpTransport tcp;
  SerialTransport serial;
  SteadyClock clock;
  Link link;
};

// The living-room sensor and output of the simulator's demo model, known to answer.
struct Request {
  int command;
  quint8 parameter1;
  int count;
  QByteArray data;
  int answer_size;  // result code included
};

Request RequestFor(int command) {
  if (command == kModuleMemory) {
    return {kModuleMemory, 2, 16, SerialBytes(QStringLiteral("160012")), 36};
  }
  return {kOutputStatus, 12, 4, {}, 5};
}

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Arguments: command, answer latency in ms.
void BM_Transaction(benchmark::State& state) {
  const Request request = RequestFor(static_cast<int>(state.range(0)));
  const int latency_ms = static_cast<int>(state.range(1));
  if (!simulator->SetFault(QStringLiteral("latency"), QString::number(latency_ms))) {
    state.SkipWithError(qPrintable(simulator->error()));
    return;
  }
  SimLink sim_link(simulator->address());
  // Connecting and logging in are not part of a transaction.
  if (sim_link.link.EnsureConnected(kFactoryPassword, kFactoryPassword) != Link::kViaTcp) {
    state.SkipWithError("no TCP link to ktx-sim");
    return;
  }

  const double cpu_start = ProcessCpuSeconds();
  const double wall_start = WallSeconds();
  for (auto _ : state) {
    int count = request.count;
    const QByteArray answer =
        sim_link.link.LinkTransact(static_cast<Command>(request.command), Direction::kRead,
                                   request.parameter1, 0, count, request.data);
    if (answer.size() != request.answer_size || answer.at(0) != 0) {
      state.SkipWithError(qPrintable(QStringLiteral("transaction failed: ") +
                                     QString::fromLatin1(answer.toHex(' '))));
      break;
    }
  }
  const double cpu = ProcessCpuSeconds() - cpu_start;
  const double wall = WallSeconds() - wall_start;
  const double transactions = static_cast<double>(state.iterations());
  state.SetLabel(QStringLiteral("command %1, latency %2 ms")
                     .arg(request.command)
                     .arg(latency_ms)
                     .toStdString());
  state.counters["cpu_us/tx"] = transactions > 0 ? cpu * 1e6 / transactions : 0;
  state.counters["tx/s"] = wall > 0 ? transactions / wall : 0;
}
BENCHMARK(BM_Transaction)
    ->ArgNames({"command", "latency_ms"})
    ->Args({kModuleMemory, 50})
    ->Args({kOutputStatus, 50})
    ->Args({kModuleMemory, 0})
    ->Args({kOutputStatus, 0})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(2.0)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orva

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  orva::test::KtxSimProcess sim;
  // Frozen values: every read answers the same bytes, so that runs compare.
  if (!sim.Start({QStringLiteral("--freeze-time")})) {
    std::fprintf(stderr, "cannot start ktx-sim: %s\n", qPrintable(sim.error()));
    return 1;
  }
  orva::simulator = &sim;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
