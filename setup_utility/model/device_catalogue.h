// The Add New Device dialog's lists: the device information files of a folder, their type
// names filtered by class, and the Temp catalogue of device names per type.
#pragma once

#include <string>
#include <vector>

#include "cls_opos.h"

namespace confix {

// At most this many types stay listed after filtering.
inline constexpr size_t kMaxListedTypes = 11;

struct TypeList {
  std::vector<std::string> types;  // "Thermal", "Standard", ...
  std::vector<std::string> paths;  // the file of each type, index-aligned
};

// The "*.inf" files of the folder, by name.
std::vector<std::string> InfFilesIn(const std::string& dir);

// Lists the type of every file that has a serial device name, and writes each of its
// variants into the Temp catalogue.
TypeList ScanInfFiles(clsOPOS& device, const std::string& dir);
// Keeps the printer types (printers true) or the drawer type "Standard", at most
// kMaxListedTypes of them.
void FilterTypes(TypeList& list, bool printers);
// The device names of the Temp catalogue whose type is `type`, in catalogue order.
std::vector<std::string> DeviceNamesOf(clsOPOS& device, const std::string& type);

enum class BrowseOutcome { Added, NotDeviceFile, AlreadyListed };
// Adds a file chosen by the user (not filtered yet).
BrowseOutcome AddInfFile(clsOPOS& device, const std::string& path, TypeList& list);
inline constexpr const char* kNotDeviceFileMessage = "File information is Different. This job is Cancel.";
inline constexpr const char* kAlreadyListedMessage = "This Device has already been used.";

void DeleteTempCatalogue();

// The file in `dir` that describes `device_name` among its variants; empty when none.
std::string FindInfFor(const std::string& dir, const std::string& device_name);

}  // namespace confix
