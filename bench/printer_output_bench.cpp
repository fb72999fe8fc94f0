// Time the printer service object adds to printing one line, through the control object
// against the virtual printer on a pseudo-terminal that reads at the pace of a 9600-baud
// line (a pseudo-terminal alone carries bytes at once):
//   - the synchronous PrintNormal call itself, and when its last byte reached the printer,
//     against the wire time of its bytes;
//   - asynchronous: the call, its last data byte, and the completion answer to the
//     output-complete event;
//   - CPU time of a claimed, enabled, idle printer per minute.
// Every call must succeed and every wait is bounded: a lost byte or event ends the run with
// an error. Usage: printer_output_bench [rounds] [idle seconds] [baud, 0 for no pacing]
#include <sys/resource.h>

#include <algorithm>
#include <vector>

#include "bench_rig.h"

namespace {

using bench::Clock;
using bench::Ms;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Stats {
  std::vector<double> values;
  void Print(const char* what) {
    std::sort(values.begin(), values.end());
    std::printf("%-46s median %8.3f ms   min %8.3f ms   max %8.3f ms\n", what,
                values[values.size() / 2], values.front(), values.back());
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
  const int idle_seconds = argc > 2 ? std::max(1, atoi(argv[2])) : 20;
  const int baud = argc > 3 ? std::max(0, atoi(argv[3])) : 9600;
  bench::Rig rig(baud);
  auto& printer = rig.printer();

  const std::string line = "Receipt line with some text for the benchmark 0123456789\n";
  Stats sync_call, sync_arrival, async_call, async_arrival, complete;

  // What one print puts on the line, learnt from a first one.
  size_t length = rig.Received();
  bench::Check(printer.PrintNormal(2, line), "PrintNormal");
  platform::PumpMessages(300);
  length = rig.Received() - length;
  for (int i = 0; i < rounds; ++i) {
    const size_t before = rig.Received();
    const auto called = Clock::now();
    bench::Check(printer.PrintNormal(2, line), "PrintNormal");
    const auto returned = Clock::now();
    sync_call.values.push_back(Ms(returned - called));
    sync_arrival.values.push_back(Ms(rig.WaitForBytes(before + length) - called));
  }

  printer.SetAsyncMode(true);
  bench::Check(printer.ResultCode(), "AsyncMode");
  Clock::time_point completed{};
  printer.on_output_complete = [&](int32_t) { completed = Clock::now(); };
  constexpr size_t kCompletionRequestBytes = 11;
  for (int i = 0; i < rounds; ++i) {
    completed = {};
    const size_t before = rig.Received();
    const auto called = Clock::now();
    bench::Check(printer.PrintNormal(2, line), "PrintNormal");
    async_call.values.push_back(Ms(Clock::now() - called));
    const auto data_arrived = rig.WaitForBytes(before + length);
    // The virtual printer answers the completion request as soon as it has it.
    const auto answered = rig.WaitForBytes(before + length + kCompletionRequestBytes);
    async_arrival.values.push_back(Ms(data_arrived - called));
    bench::PumpUntil([&] { return completed != Clock::time_point{}; }, "output complete");
    complete.values.push_back(Ms(completed - answered));
  }

  std::printf("printer output benchmark, %d rounds, thermal model, line paced at %d baud\n",
              rounds, baud);
  std::printf("one print: %zu bytes, wire time %.1f ms\n", length,
              baud ? bench::WireMs(length, baud) : 0.0);
  sync_call.Print("sync: PrintNormal call");
  sync_arrival.Print("sync: call -> last byte at the printer");
  async_call.Print("async: PrintNormal call");
  async_arrival.Print("async: call -> last data byte at the printer");
  complete.Print("async: completion answer -> output complete");
  std::printf("  (the last includes the link's 50 ms read interval while it waits)\n");

  const double cpu_before = CpuSeconds();
  const auto idle_start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(idle_seconds));
  const double cpu = CpuSeconds() - cpu_before;
  const double wall = std::chrono::duration<double>(Clock::now() - idle_start).count();
  std::printf("idle claimed enabled printer: %.1f ms CPU per minute (%.4f%% of one core)\n",
              cpu / wall * 60000.0, cpu / wall * 100.0);
  return 0;
}
