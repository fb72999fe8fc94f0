// The USB build, Tandor_POSPrinterSOU.
#include "build_differences.h"
#include "usb_printer_port.h"

namespace service_core {

std::unique_ptr<CPrinterPort> NewPrinterPort() { return std::make_unique<UsbPrinterPort>(); }

const BuildDifferences& ThisBuild() {
  static constexpr BuildDifferences kUsb{
      .configuration = LinkConfiguration::Usb,
      .printer_prog_id = "RecPrinter.POSPrinter.SOU",
      .printer_clsid = "{8E6D24B1-95C3-4F70-B2A8-3D1E7C5F0964}",
      .drawer_prog_id = "Standard.CashDrawer.SOU",
      .drawer_clsid = "{1F9C7E42-A60B-4D38-85E1-6B2D9A3C4F70}",
      .printer_device_description = "OLE OPOS POSPrinter",
      .printer_service_description = "OLE OPOS POSPrinter Service Object",
      .drawer_device_name = "Tandor.CashDrawer.SOU",
      .drawer_device_description = "Tandor OPOS Cash Drawer",
      .drawer_service_description = "Tandor OPOS Cash Drawer Service Object",
      .service_object_version = 1003000,
      .minimum_claim_timeout_ms = 3000,
      .printer_retries_open = true,
      .illegal_result_messages = false,
      .rotate_on_any_model = true,
      .nv_logo_by_alignment_number = true,
      .dot_matrix_settle_ms = 500,
      .pause_after_error_ms = 1000,
      .error_while_releasing_discards_output = true,
      .short_bitmap_file_fails = true,
      .test_page_lines = {"Tandor ZERI ZIZ\n", "Service Object Version : 1.3\n",
                          "Device Name : ZR-100\n"},
      .drawer_open_settle_ms = 2000,
      .drawer_close_pauses = 4,
  };
  return kUsb;
}

}  // namespace service_core
