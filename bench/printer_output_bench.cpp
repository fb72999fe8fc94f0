// Time the printer service object adds to printing, measured against the virtual printer on
// a pseudo-terminal through the control object:
//   - PrintNormal returning to the last byte reaching the printer (synchronous, asynchronous);
//   - the printer's completion answer to the output-complete event;
//   - CPU time of a claimed, enabled, idle printer per minute.
// Usage: printer_output_bench [rounds] [idle seconds]
#include <dlfcn.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "control_objects/pos_printer.h"
#include "platform/class_factory.h"
#include "platform/message_queue.h"
#include "platform/registry.h"
#include "virtual_devices/pty_attachment.h"
#include "virtual_devices/virtual_printer.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

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
    const double median = values[values.size() / 2];
    std::printf("%-48s median %8.3f ms   min %8.3f ms   max %8.3f ms\n", what, median,
                values.front(), values.back());
  }
};

bool Setup(const std::string& dir, const std::string& link) {
  platform::registry::UseDatabase(dir + "/registry.db");
  void* library = dlopen(PRINTER_SO_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!library) return false;
  auto register_server = reinterpret_cast<platform::automation::RegisterServerFn>(
      dlsym(library, platform::automation::kRegisterServerExport));
  const bool registered = register_server && register_server() == 0;
  dlclose(library);
  const std::string key =
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\Receipt1";
  const std::string entry = "REGEDIT4\n\n[" + key +
                            "]\n@=\"RecPrinter.POSPrinter.SO\"\n\"Baudrate\"=dword:00000006\n"
                            "\"BitLength\"=dword:00000008\n\"HandShake\"=dword:00000000\n"
                            "\"Parity\"=dword:00000000\n\"Stop\"=dword:00000001\n"
                            "\"XonXoff\"=dword:00000000\n\"Port\"=\"" +
                            link + "\"\n\"DeviceName\"=\"Thermal42\"\n";
  return registered && platform::registry::ImportRegedit(entry) == platform::registry::kSuccess;
}

// Waits (without pumping) until the printer holds `size` bytes; the moment they were there.
Clock::time_point WaitForBytes(const vdev::VirtualPrinter& printer, size_t size) {
  while (printer.Capture().size() < size) std::this_thread::sleep_for(std::chrono::microseconds(50));
  return Clock::now();
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
  const int idle_seconds = argc > 2 ? std::max(1, atoi(argv[2])) : 20;

  std::string dir = (std::filesystem::temp_directory_path() / "printer-bench-XXXXXX").string();
  if (!mkdtemp(dir.data())) return 1;
  vdev::VirtualPrinter device;
  vdev::PtyAttachment attachment(device, dir + "/ttyP0");
  std::string error;
  if (!attachment.Start(error) || !Setup(dir, attachment.LinkPath())) {
    std::fprintf(stderr, "setup failed %s\n", error.c_str());
    return 1;
  }

  auto printer = opos::control::POSPrinter::Create();
  if (printer->Open("Receipt1") != 0 || printer->ClaimDevice(1000) != 0) {
    std::fprintf(stderr, "open or claim failed\n");
    return 1;
  }
  printer->SetDeviceEnabled(true);
  platform::PumpMessages(1500);  // the first status reports

  const std::string line = "Receipt line with some text for the benchmark 0123456789\n";
  Stats sync_stats, async_stats, complete_stats;

  // What one print puts on the line, learnt from a first one.
  size_t length = device.Capture().size();
  printer->PrintNormal(2, line);
  platform::PumpMessages(300);
  length = device.Capture().size() - length;
  for (int i = 0; i < rounds; ++i) {
    const size_t before = device.Capture().size();
    printer->PrintNormal(2, line);
    const auto returned = Clock::now();
    sync_stats.values.push_back(Ms(WaitForBytes(device, before + length) - returned));
  }

  printer->SetAsyncMode(true);
  Clock::time_point completed{};
  printer->on_output_complete = [&](int32_t) { completed = Clock::now(); };
  constexpr size_t kCompletionRequestBytes = 11;
  size_t async_length = 0;
  for (int i = 0; i < rounds; ++i) {
    completed = {};
    const size_t before = device.Capture().size();
    printer->PrintNormal(2, line);
    const auto returned = Clock::now();
    if (async_length == 0) {
      while (completed == Clock::time_point{}) platform::PumpMessages(1);
      async_length = device.Capture().size() - before;
      continue;
    }
    const auto data_arrived = WaitForBytes(device, before + async_length - kCompletionRequestBytes);
    // The virtual printer answers the completion request as soon as it has it.
    const auto answered = WaitForBytes(device, before + async_length);
    async_stats.values.push_back(Ms(data_arrived - returned));
    while (completed == Clock::time_point{}) platform::PumpMessages(1);
    complete_stats.values.push_back(Ms(completed - answered));
  }

  std::printf("printer output benchmark, %d rounds, thermal model, 9600 baud pseudo-terminal\n",
              rounds);
  sync_stats.Print("sync: PrintNormal return -> last byte");
  async_stats.Print("async: PrintNormal return -> last data byte");
  complete_stats.Print("async: completion answer -> output complete");
  std::printf("  (protocol waits in the last: link monitor poll up to 50 ms, 100 ms settle)\n");

  const double cpu_before = CpuSeconds();
  const auto idle_start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(idle_seconds));
  const double cpu = CpuSeconds() - cpu_before;
  const double wall = std::chrono::duration<double>(Clock::now() - idle_start).count();
  std::printf("idle claimed enabled printer: %.1f ms CPU per minute (%.4f%% of one core)\n",
              cpu / wall * 60000.0, cpu / wall * 100.0);

  printer->Close();
  attachment.Stop();
  std::filesystem::remove_all(dir);
  return 0;
}
