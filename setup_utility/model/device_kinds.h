// What the utility knows about the device names of this kit: which names it makes, which
// entries it shows in the normal colour, which entries are network entries.
#pragma once

#include <string>

namespace confix {

class clsOPOS;

// One of the 17 device names the kit makes (RevUduzo2S ... StandardU).
bool IsRecognisedDeviceName(const std::string& device_name);
// The test at start-up: a printer entry whose ADKConfig begins with "RevUduzo" or
// "Thermal", a drawer entry whose ADKConfig begins with "CashDrawer".
bool HasKitConfiguration(const std::string& device_class, const std::string& adk_config);
// A drawer named "StandardN" or a printer named "ThermalN": settings in the network dialog.
bool IsNetworkEntry(const clsOPOS& entry);

}  // namespace confix
