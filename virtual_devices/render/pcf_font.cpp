// PCF, the X server's compiled bitmap font format: a table of contents pointing at
// tables (metrics, bitmaps, encodings, accelerators), each starting with its own format
// word that gives byte order, bit order, row padding and scan unit.
#include <algorithm>
#include <string>

#include "byte_reader.h"
#include "virtual_devices/bitmap_font.h"

namespace vdev {
namespace {

constexpr uint32_t kAccelerators = 1u << 1;
constexpr uint32_t kMetrics = 1u << 2;
constexpr uint32_t kBitmaps = 1u << 3;
constexpr uint32_t kEncodings = 1u << 5;
constexpr uint32_t kBdfAccelerators = 1u << 8;

constexpr uint32_t kCompressedMetrics = 0x100;
constexpr uint32_t kMaxGlyphs = 65536;
constexpr int kMaxCell = 64;

struct Table {
  uint32_t format = 0;
  uint32_t offset = 0;
  uint32_t size = 0;
  bool found = false;
};

struct Metrics {
  int left = 0, right = 0, ascent = 0, descent = 0;
};

bool BigEndian(uint32_t format) { return (format & (1u << 2)) != 0; }
bool MsbFirst(uint32_t format) { return (format & (1u << 3)) != 0; }
uint32_t RowPad(uint32_t format) { return 1u << (format & 3); }
uint32_t ScanUnit(uint32_t format) { return 1u << ((format >> 4) & 3); }

FontLoad Fail(const std::string& name, const std::string& why) {
  return {std::nullopt, name + ": " + why};
}

bool ReadMetrics(ByteReader& in, const Table& t, std::vector<Metrics>& out) {
  const uint32_t format = in.U32(t.offset, false);
  const bool be = BigEndian(format);
  size_t at = t.offset + 4;
  if (format & kCompressedMetrics) {
    const uint32_t count = in.U16(at, be);
    at += 2;
    if (!in.ok() || !in.Has(at, static_cast<size_t>(count) * 5)) return false;
    out.resize(count);
    for (uint32_t i = 0; i < count; ++i, at += 5) {
      out[i] = {in.U8(at) - 0x80, in.U8(at + 1) - 0x80, in.U8(at + 3) - 0x80, in.U8(at + 4) - 0x80};
    }
  } else {
    const uint32_t count = in.U32(at, be);
    at += 4;
    if (!in.ok() || count > kMaxGlyphs || !in.Has(at, static_cast<size_t>(count) * 12))
      return false;
    out.resize(count);
    for (uint32_t i = 0; i < count; ++i, at += 12) {
      out[i] = {in.S16(at, be), in.S16(at + 2, be), in.S16(at + 6, be), in.S16(at + 8, be)};
    }
  }
  return in.ok();
}

// Dot (x, y) of a glyph row laid out by the bitmap table's format.
bool BitmapDot(std::span<const uint8_t> row, int x, uint32_t format) {
  size_t byte = static_cast<size_t>(x / 8);
  const uint32_t unit = ScanUnit(format);
  if (unit > 1 && BigEndian(format) != MsbFirst(format)) {
    // Bytes within each scan unit are stored in the opposite order to the bits.
    byte = (byte / unit) * unit + (unit - 1 - byte % unit);
  }
  if (byte >= row.size()) return false;
  const int bit = MsbFirst(format) ? 7 - x % 8 : x % 8;
  return (row[byte] >> bit) & 1;
}

}  // namespace

FontLoad ParsePcf(std::span<const uint8_t> data, const std::string& name) {
  ByteReader in(data);
  if (in.U32(0, false) != 0x70636601) return Fail(name, "not a PCF font");
  const uint32_t table_count = in.U32(4, false);
  if (!in.ok() || table_count > 64) return Fail(name, "bad PCF table of contents");
  Table metrics, bitmaps, encodings, accel;
  for (uint32_t i = 0; i < table_count; ++i) {
    const size_t at = 8 + static_cast<size_t>(i) * 16;
    const uint32_t type = in.U32(at, false);
    Table t{in.U32(at + 4, false), in.U32(at + 12, false), in.U32(at + 8, false), true};
    if (!in.ok()) return Fail(name, "file truncated in the table of contents");
    // Sizes in the contents may overstate the last table, so only the start is checked
    // here; every read inside a table is bounds-checked on its own.
    if (!in.Has(t.offset, 4)) return Fail(name, "table outside the file");
    if (type == kMetrics) metrics = t;
    if (type == kBitmaps) bitmaps = t;
    if (type == kEncodings) encodings = t;
    if (type == kBdfAccelerators || (type == kAccelerators && !accel.found)) accel = t;
  }
  if (!metrics.found || !bitmaps.found || !encodings.found || !accel.found)
    return Fail(name, "PCF tables missing");

  std::vector<Metrics> glyph_metrics;
  if (!ReadMetrics(in, metrics, glyph_metrics)) return Fail(name, "bad metrics table");

  const uint32_t accel_format = in.U32(accel.offset, false);
  const int ascent = in.S32(accel.offset + 12, BigEndian(accel_format));
  const int descent = in.S32(accel.offset + 16, BigEndian(accel_format));
  int cell_width = 0;
  for (const Metrics& m : glyph_metrics) cell_width = std::max(cell_width, m.right);
  if (!in.ok() || ascent < 0 || descent < 0 || ascent > kMaxCell || descent > kMaxCell ||
      ascent + descent <= 0 || ascent + descent > kMaxCell || cell_width <= 0 ||
      cell_width > kMaxCell)
    return Fail(name, "bad font metrics");

  const uint32_t bm_format = in.U32(bitmaps.offset, false);
  const bool bm_be = BigEndian(bm_format);
  const uint32_t glyphs = in.U32(bitmaps.offset + 4, bm_be);
  if (!in.ok() || glyphs != glyph_metrics.size())
    return Fail(name, "bitmap count differs from metrics");
  const size_t offsets_at = bitmaps.offset + 8;
  const size_t data_at = offsets_at + static_cast<size_t>(glyphs) * 4 + 16;
  const uint32_t data_size =
      in.U32(offsets_at + static_cast<size_t>(glyphs) * 4 + 4 * (bm_format & 3), bm_be);
  if (!in.ok() || !in.Has(data_at, data_size)) return Fail(name, "file truncated in the bitmaps");
  const auto bitmap_data = data.subspan(data_at, data_size);

  BitmapFont font(cell_width, ascent + descent, name);
  std::vector<uint8_t> cell;
  for (uint32_t g = 0; g < glyphs; ++g) {
    const Metrics& m = glyph_metrics[g];
    const int w = m.right - m.left, h = m.ascent + m.descent;
    const uint32_t start = in.U32(offsets_at + static_cast<size_t>(g) * 4, bm_be);
    const size_t row_bytes = (static_cast<size_t>(std::max(w, 0)) + 7) / 8;
    const size_t stride =
        (row_bytes + RowPad(bm_format) - 1) / RowPad(bm_format) * RowPad(bm_format);
    cell.assign(static_cast<size_t>(cell_width) * (ascent + descent), 0);
    if (w > 0 && h > 0 && w <= kMaxCell && h <= kMaxCell && start <= data_size &&
        static_cast<size_t>(h) * stride <= data_size - start) {
      for (int y = 0; y < h; ++y) {
        const auto row = bitmap_data.subspan(start + y * stride, stride);
        const int cy = ascent - m.ascent + y;
        for (int x = 0; x < w; ++x) {
          const int cx = m.left + x;
          if (cx >= 0 && cx < cell_width && cy >= 0 && cy < ascent + descent)
            cell[static_cast<size_t>(cy) * cell_width + cx] = BitmapDot(row, x, bm_format);
        }
      }
    }
    font.AddGlyph(cell);  // glyph g gets index g + 1; index 0 is the placeholder box
  }

  const uint32_t enc_format = in.U32(encodings.offset, false);
  const bool enc_be = BigEndian(enc_format);
  const uint32_t min2 = in.U16(encodings.offset + 4, enc_be),
                 max2 = in.U16(encodings.offset + 6, enc_be);
  const uint32_t min1 = in.U16(encodings.offset + 8, enc_be),
                 max1 = in.U16(encodings.offset + 10, enc_be);
  if (!in.ok() || min2 > max2 || min1 > max1 || max2 > 255 || max1 > 255)
    return Fail(name, "bad encoding table");
  const size_t per_row = max2 - min2 + 1;
  const size_t indexes_at = encodings.offset + 14;
  if (!in.Has(indexes_at, per_row * (max1 - min1 + 1) * 2))
    return Fail(name, "file truncated in the encodings");
  for (uint32_t b1 = min1; b1 <= max1; ++b1) {
    for (uint32_t b2 = min2; b2 <= max2; ++b2) {
      const uint32_t glyph = in.U16(indexes_at + ((b1 - min1) * per_row + (b2 - min2)) * 2, enc_be);
      if (glyph < glyphs) font.MapCodePoint(b1 << 8 | b2, static_cast<int>(glyph) + 1);
    }
  }
  return {std::move(font), {}};
}

}  // namespace vdev
