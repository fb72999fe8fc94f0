// The ProgIDs this test library serves.
#include "platform/inproc_server.h"
#include "test_service_object.h"

namespace opos_test_so {

class TestPrinter : public TestServiceObject {
 public:
  TestPrinter() : TestServiceObject("Test.POSPrinter.SO") {}
};
class TestDrawer : public TestServiceObject {
 public:
  TestDrawer() : TestServiceObject("Test.CashDrawer.SO") {}
};
class TestDisplay : public TestServiceObject {
 public:
  TestDisplay() : TestServiceObject("Test.LineDisplay.SO") {}
};

}  // namespace opos_test_so

namespace platform::automation {

std::span<const ClassInfo> ServerClasses() {
  static constexpr ClassInfo kClasses[] = {
      {"Test.POSPrinter.SO", "{0E7A4C11-5D2B-4B8E-9F01-7C3D2A6B5E01}",
       "Test POS printer service object", &NewServerObject<opos_test_so::TestPrinter>},
      {"Test.CashDrawer.SO", "{0E7A4C11-5D2B-4B8E-9F01-7C3D2A6B5E02}",
       "Test cash drawer service object", &NewServerObject<opos_test_so::TestDrawer>},
      {"Test.LineDisplay.SO", "{0E7A4C11-5D2B-4B8E-9F01-7C3D2A6B5E03}",
       "Test line display service object", &NewServerObject<opos_test_so::TestDisplay>},
  };
  return kClasses;
}

}  // namespace platform::automation
