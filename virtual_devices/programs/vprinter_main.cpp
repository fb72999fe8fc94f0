// vprinter: the virtual receipt printer with its drawer as a program, attached to a TCP
// port, a pseudo-terminal or a fake USB printer node, or rendering a file of printer bytes.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "command_loop.h"
#include "platform/release.h"
#include "program_options.h"
#include "virtual_devices/receipt_renderer.h"
#include "virtual_devices/virtual_printer.h"

namespace {

using namespace vdev;

PrinterConfig ConfigFrom(const PrinterProgramOptions& options) {
  PrinterConfig config;
  config.kind = options.dot_matrix ? PrinterKind::DotMatrix : PrinterKind::Thermal;
  config.columns = options.columns;
  config.pin3_when_open = options.pin3_high_open ? Pin3Level::High : Pin3Level::Low;
  switch (options.attach.kind) {
    case AttachmentChoice::Kind::Tcp:
      config.link = PrinterLink::Network;
      break;
    case AttachmentChoice::Kind::Usb:
      config.link = PrinterLink::Usb;
      break;
    default:
      config.link = PrinterLink::Serial;
      break;
  }
  config.capture_path = options.output.capture_file;
  config.log_path = options.output.log_file;
  return config;
}

// The printer opens these itself; checking first turns a bad path into a clear message.
bool CheckWritable(const std::string& path, std::string& error) {
  if (path.empty()) return true;
  std::ofstream probe(path, std::ios::binary | std::ios::trunc);
  if (!probe) return error = "cannot write " + path, false;
  return true;
}

int RenderFile(const PrinterProgramOptions& options, VirtualPrinter& printer,
               const ReceiptRenderer& renderer) {
  std::ifstream in(options.render_file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "vprinter: cannot read %s\n", options.render_file.c_str());
    return 1;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  printer.Receive(bytes);
  printer.Finish();
  std::printf("rendered %d receipt(s) from %zu byte(s)\n", renderer.ReceiptCount(), bytes.size());
  for (const auto& receipt : renderer.Receipts()) {
    if (!receipt.png_path.empty()) std::printf("png %s\n", receipt.png_path.c_str());
  }
  return renderer.Problems().empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  BlockTerminationSignals();
  PrinterProgramOptions options;
  std::string error;
  if (!ParsePrinterOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "vprinter: %s\n%s", error.c_str(), kPrinterUsage);
    return 2;
  }
  if (options.help) {
    std::printf("%s", kPrinterUsage);
    return 0;
  }
  if (options.version) {
    std::printf("vprinter %s\n", platform::kReleaseVersion);
    return 0;
  }
  if (!CheckWritable(options.output.capture_file, error) ||
      !CheckWritable(options.output.log_file, error)) {
    std::fprintf(stderr, "vprinter: %s\n", error.c_str());
    return 1;
  }
  VirtualPrinter printer(ConfigFrom(options));
  std::unique_ptr<ReceiptRenderer> renderer;
  if (!options.output.png_dir.empty() || !options.output.text_file.empty() ||
      !options.render_file.empty()) {
    RendererOptions render;
    render.paper = printer.Geometry();
    render.png_directory = options.output.png_dir;
    render.transcript_path = options.output.text_file;
    renderer = std::make_unique<ReceiptRenderer>(render);
    printer.SetPrintSink(renderer.get());
  }
  if (!options.render_file.empty()) return RenderFile(options, printer, *renderer);

  auto attachment = MakeAttachment(options.attach, printer);
  if (options.baud > 0) {
    std::string reply;
    attachment->Command("baud " + std::to_string(options.baud), reply);
  }
  const int status = ServeDevice(
      "vprinter", *attachment,
      "printer commands: cover open|close, paper out|in, power off|on, offline, online,\n"
      "drawer open|close, pin3 high-open|low-open, answers off|on, status");
  printer.Finish();  // closes the receipt in progress
  return status;
}
