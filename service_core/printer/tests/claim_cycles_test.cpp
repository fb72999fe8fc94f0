// Many claim and release cycles leave no thread and no descriptor behind. Four printers
// on four pseudo-terminals cycle at once, each on its own application thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "control_objects/opos_codes.h"
#include "platform/message_queue.h"
#include "platform/object_factory.h"
#include "printer_fixture.h"

namespace service_core::testing {
namespace {

constexpr int kPrinters = 4;  // the open-port table holds four ports
constexpr int kCyclesEach = 50;

TEST(ClaimCyclesTest, TwoHundredCyclesLeaveNothingBehind) {
  PrinterRig rig;
  for (int i = 0; i < kPrinters; ++i) {
    auto& device = rig.AddVirtualPrinter("ttyP" + std::to_string(i));
    rig.AddDeviceEntry("Printer" + std::to_string(i), device.attachment.LinkPath());
  }
  // One full cycle first, so that what is created once per process (the loaded library,
  // the registry connection) is in place before counting.
  {
    auto printer = OpenPrinter("Printer0");
    ASSERT_EQ(printer->ClaimDevice(1000), 0);
    ASSERT_EQ(printer->ReleaseDevice(), 0);
    // Keep the library loaded for the whole test: one object stays open.
    auto keeper = OpenPrinter("Printer1");
    printer->Close();
    const int threads_before = CountThreads();
    const int descriptors_before = CountOpenDescriptors();

    std::atomic<int> failures{0};
    std::vector<std::thread> apps;
    for (int i = 0; i < kPrinters; ++i) {
      apps.emplace_back([i, &failures] {
        auto p = opos::control::POSPrinter::Create();
        if (p->Open("Printer" + std::to_string(i)) != 0) ++failures;
        for (int cycle = 0; cycle < kCyclesEach; ++cycle) {
          if (p->ClaimDevice(1000) != 0) ++failures;
          p->SetDeviceEnabled(true);
          if (p->ReleaseDevice() != 0) ++failures;
        }
        p->Close();
      });
    }
    for (auto& t : apps) t.join();
    EXPECT_EQ(failures, 0);
    // A joined thread may stay listed for a moment while the kernel finishes removing it; a
    // thread left running would stay for good.
    EXPECT_TRUE(PumpUntil([&] { return CountThreads() == threads_before; }, 5000))
        << CountThreads() << " threads, " << threads_before << " before";
    EXPECT_EQ(CountOpenDescriptors(), descriptors_before);
    keeper->Close();
  }
  platform::automation::FreeUnusedLibraries();
}

}  // namespace
}  // namespace service_core::testing
