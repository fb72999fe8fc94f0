// Helpers shared by the rendering tests: a fresh temporary directory and ops builders.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "virtual_devices/print_ops.h"
#include "virtual_devices/raster.h"

namespace vdev::test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vdev-render-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const {
    return (std::filesystem::path(path_) / name).string();
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline TextLine Line(const std::string& text, TextStyle style = {},
                     Alignment alignment = Alignment::Left) {
  TextLine line;
  line.runs.push_back({text, style});
  line.alignment = alignment;
  return line;
}

inline Image Checkerboard(int width, int height) {
  Image image;
  image.width = width;
  image.height = height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.pixels.push_back(((x / 4 + y / 4) % 2) == 0);
  return image;
}

}  // namespace vdev::test
