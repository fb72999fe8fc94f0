// The network build, Tandor_POSPrinterSON.
#include "build_differences.h"
#include "tcp_printer_port.h"

namespace service_core {

std::unique_ptr<CPrinterPort> NewPrinterPort() { return std::make_unique<TcpPrinterPort>(); }

const BuildDifferences& ThisBuild() {
  static constexpr BuildDifferences kNetwork{
      .configuration = LinkConfiguration::Network,
      .printer_prog_id = "RecPrinter.POSPrinter.SON",
      .printer_clsid = "{5B0E3C8A-7F41-4D2B-A6E9-1C84D3F0B527}",
      .drawer_prog_id = "Standard.CashDrawer.SON",
      .drawer_clsid = "{C2A91F60-3E7D-4B85-9D14-8F6B0A2E7C39}",
      .printer_device_description = "OPOS POSPrinter",
      .printer_service_description = "OPOS POSPrinter Service Object",
      .drawer_device_name = "Standard.CashDrawer.SON",
      .drawer_device_description = "OPOS Cash Drawer",
      .drawer_service_description = "OPOS Cash Drawer Service Object",
      .service_object_version = 1003000,
      .minimum_claim_timeout_ms = 3000,
      .printer_retries_open = false,
      .illegal_result_messages = true,
      .rotate_on_any_model = true,
      .nv_logo_by_alignment_number = true,
      .dot_matrix_settle_ms = 500,
      .pause_after_error_ms = 0,
      .error_while_releasing_discards_output = false,
      .short_bitmap_file_fails = false,
      .test_page_lines = {"ZERI ZIZ\n", "Service Object Version : 1.3\n", "Device Name : Thermal\n"},
      .drawer_open_settle_ms = 2000,
      .drawer_close_pauses = 4,
  };
  return kNetwork;
}

}  // namespace service_core
