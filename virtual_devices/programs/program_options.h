// Command-line options of vprinter and vdisplay.
#pragma once

#include <string>
#include <vector>

namespace vdev {

struct AttachmentChoice {
  enum class Kind { None, Tcp, Pty, Usb };
  Kind kind = Kind::None;
  std::string address = "127.0.0.1";  // TCP only
  int port = 9100;                    // TCP only; 0 picks a free port
  std::string path;                   // pseudo-terminal link, or the fake USB root
};

struct OutputChoice {
  std::string png_dir;
  std::string text_file;
  std::string capture_file;
  std::string log_file;
};

struct PrinterProgramOptions {
  AttachmentChoice attach;
  OutputChoice output;
  bool dot_matrix = false;
  int columns = 42;             // thermal: 42 or 56
  bool pin3_high_open = false;  // the drawer raises pin 3 when open
  std::string render_file;      // render this file of printer bytes, no attachment
  int baud = 0;                 // pace the line at this many bits a second (0: full speed)
  bool help = false;
  bool version = false;
};

struct DisplayProgramOptions {
  AttachmentChoice attach;
  OutputChoice output;
  bool help = false;
  bool version = false;
};

// False with a message for unknown options, missing or malformed values, conflicting choices.
bool ParsePrinterOptions(const std::vector<std::string>& args, PrinterProgramOptions& options,
                         std::string& error);
bool ParseDisplayOptions(const std::vector<std::string>& args, DisplayProgramOptions& options,
                         std::string& error);

// "[ADDR:]PORT" of --tcp.
bool ParseTcpEndpoint(const std::string& text, AttachmentChoice& choice, std::string& error);

extern const char* const kPrinterUsage;
extern const char* const kDisplayUsage;

}  // namespace vdev
