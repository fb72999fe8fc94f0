// What a till costs while nothing happens: the printer, its cash drawer and the line display
// claimed and enabled through their control objects, nothing printing and no marquee
// running. The virtual printer (with its drawer) and the virtual display run in a child
// process on pseudo-terminals, so every thread measured belongs to the application and the
// service objects. Over the idle time it prints the CPU seconds and the wake-ups (times a
// thread was put on a processor, from /proc/self/task/*/schedstat), in total and per thread.
// Usage: idle_devices_bench [idle seconds, 60]
#include <dirent.h>
#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "control_objects/cash_drawer.h"
#include "control_objects/line_display.h"
#include "control_objects/pos_printer.h"
#include "platform/class_factory.h"
#include "platform/message_queue.h"
#include "platform/registry.h"
#include "virtual_devices/pty_attachment.h"
#include "virtual_devices/virtual_display.h"
#include "virtual_devices/virtual_printer.h"

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "benchmark failed: %s\n", what.c_str());
  std::exit(1);
}

void Check(int32_t result, const char* call) {
  if (result != 0) Fail(std::string(call) + " returned " + std::to_string(result));
}

// The devices' process: attaches both, says so on `ready`, and stops when `quit` closes.
[[noreturn]] void RunDevices(const std::string& dir, int ready, int quit) {
  vdev::VirtualPrinter printer;
  vdev::VirtualDisplay display;
  vdev::PtyAttachment printer_pty(printer, dir + "/ttyP0");
  vdev::PtyAttachment display_pty(display, dir + "/ttyD0");
  std::string error;
  if (!printer_pty.Start(error) || !display_pty.Start(error)) {
    std::fprintf(stderr, "virtual devices: %s\n", error.c_str());
    _exit(1);
  }
  const char ok = 1;
  if (write(ready, &ok, 1) != 1) _exit(1);
  char byte;
  while (read(quit, &byte, 1) > 0) {
  }
  display_pty.Stop();
  printer_pty.Stop();
  _exit(0);
}

void Register(const char* library_path) {
  void* library = dlopen(library_path, RTLD_NOW | RTLD_LOCAL);
  if (!library) Fail(std::string("cannot load ") + library_path);
  auto register_server = reinterpret_cast<platform::automation::RegisterServerFn>(
      dlsym(library, platform::automation::kRegisterServerExport));
  const bool registered = register_server && register_server() == 0;
  dlclose(library);
  if (!registered) Fail(std::string("cannot register ") + library_path);
}

void WriteEntries(const std::string& dir) {
  const std::string root = "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\";
  const std::string serial =
      "\"Baudrate\"=dword:00000006\n\"BitLength\"=dword:00000008\n"
      "\"HandShake\"=dword:00000000\n\"Parity\"=dword:00000000\n\"Stop\"=dword:00000001\n"
      "\"XonXoff\"=dword:00000000\n";
  const std::string entries =
      "REGEDIT4\n\n[" + root + "POSPrinter\\Receipt1]\n@=\"RecPrinter.POSPrinter.SO\"\n" + serial +
      "\"Port\"=\"" + dir + "/ttyP0\"\n\"DeviceName\"=\"Thermal42\"\n\n[" + root +
      "CashDrawer\\Drawer1]\n@=\"Standard.CashDrawer.SO\"\n" + serial + "\"Port\"=\"" + dir +
      "/ttyP0\"\n\"ConnectorPinNo\"=dword:00000002\n\"OpenLevel\"=dword:00000001\n"
      "\"DeviceName\"=\"StandardS\"\n\n[" +
      root + "LineDisplay\\Display1]\n@=\"Display.LineDisplay.SO2\"\n" + serial + "\"Port\"=\"" +
      dir + "/ttyD0\"\n\"DeviceName\"=\"XV-310K\"\n";
  if (platform::registry::ImportRegedit(entries) != platform::registry::kSuccess)
    Fail("cannot write the device entries");
}

struct ThreadCost {
  double cpu_seconds = 0;
  uint64_t wakeups = 0;
};

// Per thread: time on a processor (ns) and how often it was put on one.
std::map<int, ThreadCost> ReadThreads() {
  std::map<int, ThreadCost> threads;
  DIR* tasks = opendir("/proc/self/task");
  if (!tasks) Fail("no /proc/self/task");
  while (dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream stat(std::string("/proc/self/task/") + entry->d_name + "/schedstat");
    uint64_t run_ns = 0, wait_ns = 0, slices = 0;
    if (stat >> run_ns >> wait_ns >> slices) {
      threads[std::atoi(entry->d_name)] = {run_ns / 1e9, slices};
    }
  }
  closedir(tasks);
  return threads;
}

std::string ThreadName(int tid) {
  std::ifstream comm("/proc/self/task/" + std::to_string(tid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  const int idle_seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
  std::string dir = (std::filesystem::temp_directory_path() / "idle-bench-XXXXXX").string();
  if (!mkdtemp(dir.data())) Fail("no temporary directory");

  // The devices' process first, before this one has threads.
  int ready[2], quit[2];
  if (pipe(ready) != 0 || pipe(quit) != 0) Fail("pipe");
  const pid_t devices = fork();
  if (devices < 0) Fail("fork");
  if (devices == 0) {
    close(ready[0]);
    close(quit[1]);
    RunDevices(dir, ready[1], quit[0]);
  }
  close(ready[1]);
  close(quit[0]);
  char byte;
  if (read(ready[0], &byte, 1) != 1) Fail("the virtual devices did not start");

  platform::registry::UseDatabase(dir + "/registry.db");
  Register(PRINTER_SO_PATH);
  Register(DISPLAY_SO_PATH);
  WriteEntries(dir);

  auto printer = opos::control::POSPrinter::Create();
  Check(printer->Open("Receipt1"), "printer Open");
  Check(printer->ClaimDevice(1000), "printer ClaimDevice");
  printer->SetDeviceEnabled(true);
  Check(printer->ResultCode(), "printer DeviceEnabled");
  auto drawer = opos::control::CashDrawer::Create();
  Check(drawer->Open("Drawer1"), "drawer Open");
  Check(drawer->ClaimDevice(1000), "drawer ClaimDevice");
  drawer->SetDeviceEnabled(true);
  Check(drawer->ResultCode(), "drawer DeviceEnabled");
  auto display = opos::control::LineDisplay::Create();
  Check(display->Open("Display1"), "display Open");
  Check(display->ClaimDevice(1000), "display ClaimDevice");
  display->SetDeviceEnabled(true);
  Check(display->ResultCode(), "display DeviceEnabled");
  Check(display->DisplayText("Welcome", 0), "DisplayText");
  platform::PumpMessages(2000);  // the first status reports and the text's redraw

  const auto before = ReadThreads();
  const auto start = std::chrono::steady_clock::now();
  // The application waits in its message loop, as a till between customers does.
  platform::PumpMessages(static_cast<uint32_t>(idle_seconds) * 1000);
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto after = ReadThreads();

  ThreadCost total;
  std::printf("idle %.1f s; printer, drawer and display claimed and enabled\n", wall);
  std::printf("%-8s %-16s %12s %10s %10s\n", "thread", "name", "CPU s", "wake-ups", "per s");
  for (const auto& [tid, now] : after) {
    const auto was = before.find(tid);
    const ThreadCost base = was == before.end() ? ThreadCost{} : was->second;
    const ThreadCost used{now.cpu_seconds - base.cpu_seconds, now.wakeups - base.wakeups};
    total.cpu_seconds += used.cpu_seconds;
    total.wakeups += used.wakeups;
    std::printf("%-8d %-16s %12.6f %10llu %10.2f\n", tid, ThreadName(tid).c_str(), used.cpu_seconds,
                static_cast<unsigned long long>(used.wakeups), used.wakeups / wall);
  }
  std::printf(
      "total: %.4f CPU s (%.4f%% of one core), %llu wake-ups (%.2f a second) over %zu "
      "threads\n",
      total.cpu_seconds, 100.0 * total.cpu_seconds / wall,
      static_cast<unsigned long long>(total.wakeups), total.wakeups / wall, after.size());

  display->Close();
  drawer->Close();
  printer->Close();
  close(quit[1]);
  int status = 0;
  waitpid(devices, &status, 0);
  std::filesystem::remove_all(dir);
  return 0;
}
