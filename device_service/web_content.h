// The files of the service's page, built into the program from device_service/web/.
#pragma once

#include <string_view>

namespace oposd {

struct WebFile {
  std::string_view path;          // "/", "/opos.js", ...
  std::string_view content_type;
  std::string_view body;
};

// nullptr for a path that is not one of the page's files.
const WebFile* FindWebFile(std::string_view path);

}  // namespace oposd
