// The test from the settings dialogs: a test page on a printer entry, or opening the drawer
// of a drawer entry, through the OPOS control objects, late-bound by dispatch identifier.
// Each failing step shows its message (caption "ERR") through the user-interface provider
// and undoes the steps before it.
#pragma once

#include <string>

namespace confix {

class clsOPOS;

// The lines of the test page, joined by carriage return and line feed.
std::string TestPageText(const std::string& device_name, bool network_dialog);

// Opens the entry by its device name key. True when every step succeeded.
bool RunPrinterTest(const clsOPOS& entry, bool network_dialog);
bool RunDrawerTest(const clsOPOS& entry);
// The printer or the drawer test, by the entry's class.
bool RunDeviceTest(const clsOPOS& entry, bool network_dialog);

}  // namespace confix
