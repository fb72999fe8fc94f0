// What differs between the three builds of the printer and drawer library besides the link
// itself. Each link library defines ThisBuild() once, as one table; the service objects
// read it instead of asking which transport they run on.
#pragma once

#include <cstdint>

#include "device_config.h"
#include "printer_port.h"

namespace service_core {

struct BuildDifferences {
  LinkConfiguration configuration;  // which values the device entries hold

  // Identities: ProgIDs, class identifiers and the fixed texts of the properties.
  const char* printer_prog_id;
  const char* printer_clsid;
  const char* drawer_prog_id;
  const char* drawer_clsid;
  const char* printer_device_description;
  const char* printer_service_description;
  const char* drawer_device_name;
  const char* drawer_device_description;
  const char* drawer_service_description;
  int32_t service_object_version;

  // ClaimDevice: shorter time-outs are raised to this; whether the printer retries a
  // failed OpenPort until its time-out (or fails at once with 112).
  int32_t minimum_claim_timeout_ms;
  bool printer_retries_open;

  // The network build tells the user in a message box whenever a printer method refuses
  // with OPOS_E_ILLEGAL.
  bool illegal_result_messages;

  // Printing.
  bool rotate_on_any_model;           // RotatePrint does not refuse the dot-matrix model
  // DirectIO 111: thermal printers only, the OPOS alignment as a number in pString, and
  // no line feed after the image.
  bool nv_logo_by_alignment_number;
  uint32_t dot_matrix_settle_ms;      // output worker, after a request, before the status
  // The output worker pauses this long after each answered error event before it goes on.
  uint32_t pause_after_error_ms;
  // An error met while ReleaseDevice waits for queued output discards all of it instead of
  // raising an error event.
  bool error_while_releasing_discards_output;
  // SetBitmap of a file whose headers or pixel data end too soon: OPOS_E_FAILURE instead of
  // OPOS_E_ILLEGAL.
  bool short_bitmap_file_fails;
  // The three lines of the test page after its first one.
  const char* test_page_lines[3];

  // Drawer.
  uint32_t drawer_open_settle_ms;  // the pause at the end of OpenDrawer
  int drawer_close_pauses;         // 200 ms pauses at the start of WaitForDrawerClose
};

const BuildDifferences& ThisBuild();

// What a link needs of an entry's configuration; each link takes its own part.
inline PortSettings PortSettingsFor(const SerialConfiguration& config) {
  return {config.port, config.baudrate,     config.parity,    config.stop,
          config.ip,   config.tcp_port,     config.usb_serial};
}

}  // namespace service_core
