// vdisplay: the virtual 2 x 20 customer display as a program, normally on a pseudo-terminal
// that the display driver opens as its serial port.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "command_loop.h"
#include "display_png.h"
#include "platform/release.h"
#include "program_options.h"
#include "virtual_devices/virtual_display.h"

int main(int argc, char** argv) {
  using namespace vdev;
  BlockTerminationSignals();
  DisplayProgramOptions options;
  std::string error;
  if (!ParseDisplayOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "vdisplay: %s\n%s", error.c_str(), kDisplayUsage);
    return 2;
  }
  if (options.help) {
    std::printf("%s", kDisplayUsage);
    return 0;
  }
  if (options.version) {
    std::printf("vdisplay %s\n", platform::kReleaseVersion);
    return 0;
  }
  VirtualDisplay display;
  const auto& out = options.output;
  if (!display.SetCaptureFile(out.capture_file, error) ||
      !display.SetLogFile(out.log_file, error) || !display.SetTextFile(out.text_file, error)) {
    std::fprintf(stderr, "vdisplay: %s\n", error.c_str());
    return 1;
  }
  std::unique_ptr<DisplayPng> png;
  std::string png_path;
  if (!out.png_dir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(out.png_dir, ec);
    png = std::make_unique<DisplayPng>();
    png_path = (std::filesystem::path(out.png_dir) / "display.png").string();
    if (const std::string problem = png->Write(display, png_path); !problem.empty()) {
      std::fprintf(stderr, "vdisplay: %s\n", problem.c_str());
      return 1;
    }
    display.SetScreenChanged([&] {
      if (const std::string problem = png->Write(display, png_path); !problem.empty())
        std::fprintf(stderr, "vdisplay: %s\n", problem.c_str());
    });
  }
  auto attachment = MakeAttachment(options.attach, display);
  const int status =
      ServeDevice("vdisplay", *attachment, "display commands: dsr on|off, power on|off, show");
  display.SetScreenChanged(nullptr);
  return status;
}
