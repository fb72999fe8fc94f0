// The serial build, Tandor_POSPrinterSO.
#include "build_differences.h"
#include "serial_printer_port.h"

namespace service_core {

std::unique_ptr<CPrinterPort> NewPrinterPort() { return std::make_unique<SerialPrinterPort>(); }

const BuildDifferences& ThisBuild() {
  static constexpr BuildDifferences kSerial{
      .configuration = LinkConfiguration::Serial,
      .printer_prog_id = "RecPrinter.POSPrinter.SO",
      .printer_clsid = "{95498E43-DF23-4FC7-A946-67487F70B264}",
      .drawer_prog_id = "Standard.CashDrawer.SO",
      .drawer_clsid = "{4B1E7F52-8C3A-4D19-B6E2-0A9C5D7F3E61}",
      .printer_device_description = "OPOS POSPrinter",
      .printer_service_description = "OPOS POSPrinter Service Object",
      .drawer_device_name = "Tandor.CashDrawer.SO",
      .drawer_device_description = "OPOS Cash Drawer",
      .drawer_service_description = "OPOS Cash Drawer Service Object",
      .service_object_version = 1003001,
      .minimum_claim_timeout_ms = 1000,
      .printer_retries_open = true,
      .illegal_result_messages = false,
      .rotate_on_any_model = false,
      .nv_logo_by_alignment_number = false,
      .dot_matrix_settle_ms = 1500,
      .pause_after_error_ms = 0,
      .error_while_releasing_discards_output = false,
      .short_bitmap_file_fails = false,
      .test_page_lines = {"ZERI ZIZ\n", "Service Object Version : 1.3.0\n", "Device Name : Thermal\n"},
      .drawer_open_settle_ms = 1000,
      .drawer_close_pauses = 6,
  };
  return kSerial;
}

}  // namespace service_core
