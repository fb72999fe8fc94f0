// What the printer model prints, as a sequence of operations handed to a print sink
// (the receipt renderer). The interpreter decides what is printed; the sink decides how it
// looks on paper.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace vdev {

enum class PrinterKind { Thermal, DotMatrix };

struct PaperGeometry {
  PrinterKind kind = PrinterKind::Thermal;
  int columns = 42;           // font A characters per line: 42 or 56 thermal, 33 dot-matrix
  int dots_per_line = 512;    // printable width in dots
};

enum class Alignment : uint8_t { Left = 0, Center = 1, Right = 2 };

struct TextStyle {
  uint8_t font = 0;          // 0 font A (12x24 thermal), 1 font B (9x17)
  bool bold = false;         // ESC E / ESC ! bit 3 (double strike counts as bold)
  uint8_t underline = 0;     // 0 off, 1 one dot, 2 two dots
  bool reverse = false;      // GS B
  uint8_t width = 1;         // 1..8 (ESC ! double width, GS !)
  uint8_t height = 1;        // 1..8
  uint8_t color = 0;         // 0 black, 1 red (dot-matrix second colour, ESC r)
  bool operator==(const TextStyle&) const = default;
};

struct TextRun {
  std::string bytes;  // characters as received, in `code_page`
  TextStyle style;
  int gap_dots = 0;   // blank dots in front of the characters (ESC $, ESC \ positioning)
};

// One printed line of text, ended by LF (or CR on a printer that treats it as a line end,
// or forced out by a cut or an image).
struct TextLine {
  std::vector<TextRun> runs;
  Alignment alignment = Alignment::Left;
  int line_spacing_dots = 30;  // advance after the line (ESC 3 n, ESC 2 default)
  int code_page = 0;           // ESC t n
};

struct Feed {
  int dots = 0;
};

// A bit image: ESC * (one band), GS / (downloaded with GS *), FS p (stored NV image).
struct Image {
  int width = 0;                 // dots
  int height = 0;                // dots
  std::vector<uint8_t> pixels;   // width*height, row-major, 1 = printed dot
  int scale_x = 1, scale_y = 1;  // doubling modes
  Alignment alignment = Alignment::Left;
  uint8_t color = 0;
  std::string source;            // "ESC *", "GS /", "FS p 1", ...: for the transcript
  // Paper advance after the image: -1 advances by the image's printed height (GS /, FS p,
  // GS v 0); an ESC * band sits on a print line and advances by that line's feed instead.
  int advance_dots = -1;
};

// GS k with the settings of GS w / GS h / GS H / GS f in force.
struct Barcode {
  uint8_t system = 73;         // GS k m (65..73 form)
  std::string data;
  int module_width = 3;        // GS w
  int height = 162;            // GS h, dots
  uint8_t hri_position = 0;    // GS H: 0 none, 1 above, 2 below, 3 both
  uint8_t hri_font = 0;        // GS f
  Alignment alignment = Alignment::Left;
};

struct Cut {
  bool partial = true;
};

struct PageBlock;
// An operation; PageBlock nests operations laid out in the page-mode print area.
struct PrintOp;

// Page mode (ESC L ... ESC FF): contents laid out in the area, then rotated by direction.
struct PageBlock {
  int x = 0, y = 0, width = 512, height = 0;  // ESC W print area in dots
  uint8_t direction = 0;                      // ESC T: 0..3, quarter turns counter-clockwise
  std::vector<PrintOp> contents;
};

struct PrintOp : std::variant<TextLine, Feed, Image, Barcode, Cut, PageBlock> {
  using variant::variant;
};

class PrintSink {
 public:
  virtual ~PrintSink() = default;
  virtual void Print(const PrintOp& op) = 0;  // a Cut closes the receipt in progress
  virtual void Finish() = 0;                  // the end: closes an uncut receipt
};

}  // namespace vdev
