#include "device_catalogue.h"

#include <algorithm>
#include <filesystem>

#include "inf_file.h"
#include "mod_regedit.h"

namespace confix {

namespace fs = std::filesystem;

namespace {

bool HasInfExtension(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".inf";
}

void CatalogueVariants(clsOPOS& device, const std::string& path, const std::string& type) {
  int count = std::clamp<int32_t>(VariantCount(path), 0, 4);
  for (int k = 0; k < count; ++k) device.ListPrinter(VariantDeviceName(path, k), type);
}

}  // namespace

std::vector<std::string> InfFilesIn(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec)) {
    std::string name = entry.path().filename().string();
    if (HasInfExtension(name) && entry.is_regular_file(ec)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TypeList ScanInfFiles(clsOPOS& device, const std::string& dir) {
  TypeList list;
  for (const std::string& name : InfFilesIn(dir)) {
    std::string path = dir + "/" + name;
    std::string type = InfTypeName(path);
    if (type.empty()) continue;
    list.types.push_back(type);
    list.paths.push_back(path);
  }
  // Each type's variants come from its own file, also when a file without a serial
  // device name was skipped above.
  for (size_t i = 0; i < list.types.size(); ++i) CatalogueVariants(device, list.paths[i], list.types[i]);
  return list;
}

void FilterTypes(TypeList& list, bool printers) {
  TypeList kept;
  for (size_t i = 0; i < list.types.size() && kept.types.size() < kMaxListedTypes; ++i) {
    if ((list.types[i] != "Standard") == printers) {
      kept.types.push_back(list.types[i]);
      kept.paths.push_back(list.paths[i]);
    }
  }
  list = std::move(kept);
}

std::vector<std::string> DeviceNamesOf(clsOPOS& device, const std::string& type) {
  std::vector<std::string> names, types, found;
  device.GetListPrinter(names, types);
  for (size_t i = 0; i < names.size(); ++i) {
    if (types[i] == type) found.push_back(names[i]);
  }
  return found;
}

BrowseOutcome AddInfFile(clsOPOS& device, const std::string& path, TypeList& list) {
  if (VariantCount(path) == 0) return BrowseOutcome::NotDeviceFile;
  std::string type = InfTypeName(path);
  if (std::find(list.types.begin(), list.types.end(), type) != list.types.end()) {
    return BrowseOutcome::AlreadyListed;
  }
  list.types.push_back(type);
  list.paths.push_back(path);
  CatalogueVariants(device, path, type);
  return BrowseOutcome::Added;
}

void DeleteTempCatalogue() { modRegedit::RegRemoveKey(kTempCataloguePath); }

std::string FindInfFor(const std::string& dir, const std::string& device_name) {
  for (const std::string& name : InfFilesIn(dir)) {
    std::string path = dir + "/" + name;
    int count = std::clamp<int32_t>(VariantCount(path), 0, 4);
    for (int k = 0; k < count; ++k) {
      if (VariantDeviceName(path, k) == device_name) return path;
    }
  }
  return {};
}

}  // namespace confix
