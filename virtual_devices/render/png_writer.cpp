#include "virtual_devices/png_writer.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vdev {
namespace {

void RaiseError(png_structp png, png_const_charp message) {
  auto* error = static_cast<std::string*>(png_get_error_ptr(png));
  *error = message;
  png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// Runs libpng on an open file; kept free of C++ objects with destructors because libpng
// reports errors by longjmp.
bool Encode(FILE* file, const Raster& raster, bool with_red, std::string& error,
            std::vector<png_bytep>& rows) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, RaiseError, IgnoreWarning);
  if (png == nullptr) {
    error = "out of memory";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    error = "out of memory";
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  if (with_red) {
    png_set_IHDR(png, info, raster.width(), raster.height(), 8, PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[3] = {{255, 255, 255}, {0, 0, 0}, {204, 0, 0}};
    png_set_PLTE(png, info, palette, 3);
  } else {
    png_set_IHDR(png, info, raster.width(), raster.height(), 1, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  }
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

std::string WritePng(const Raster& raster, const std::string& path) {
  if (raster.width() <= 0 || raster.height() <= 0) return path + ": empty image";
  const bool with_red = raster.CountInk(Ink::Red) > 0;
  const size_t stride = with_red ? raster.width() : (raster.width() + 7) / 8;
  std::vector<uint8_t> pixels(stride * raster.height(), 0);
  std::vector<png_bytep> rows(raster.height());
  for (int y = 0; y < raster.height(); ++y) {
    uint8_t* row = pixels.data() + stride * y;
    rows[y] = row;
    for (int x = 0; x < raster.width(); ++x) {
      const Ink ink = raster.At(x, y);
      if (with_red) {
        row[x] = static_cast<uint8_t>(ink);
      } else if (ink == Ink::White) {
        row[x / 8] |= 0x80 >> (x % 8);  // grey level 1 is white
      }
    }
  }
  const std::string temporary = path + ".part";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return temporary + ": " + std::strerror(errno);
  std::string error;
  const bool encoded = Encode(file, raster, with_red, error, rows);
  const bool closed = std::fclose(file) == 0;
  if (!encoded || !closed) {
    std::remove(temporary.c_str());
    return path + ": " + (error.empty() ? std::strerror(errno) : error);
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    std::remove(temporary.c_str());
    return path + ": " + reason;
  }
  return {};
}

}  // namespace vdev
