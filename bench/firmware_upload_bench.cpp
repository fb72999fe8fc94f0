// A firmware image of real size uploaded with the upload control's protocol to the virtual
// printer on a pseudo-terminal that carries the bytes at the pace of a serial line: the time
// from the first byte to the printer's "written", as a ratio to the wire time of every frame
// and answer, and the printer's flash checked against the image. Full 1024-byte frames each
// wait for their answer, so the goal is the wire time plus 10%.
// Usage: firmware_upload_bench [KiB, 64] [bps, 9600] (bps: 2400 4800 9600 19200 38400)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "upload_frames.h"
#include "upload_link.h"
#include "uploader.h"
#include "virtual_devices/pty_attachment.h"
#include "virtual_devices/virtual_printer.h"

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "benchmark failed: %s\n", what.c_str());
  std::exit(1);
}

int BaudCode(int bps) {
  const int speeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
  for (int i = 0; i < 8; ++i)
    if (speeds[i] == bps) return i + 3;
  Fail("no baud code for " + std::to_string(bps) + " bps");
}

}  // namespace

int main(int argc, char** argv) {
  const size_t kib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
  const int bps = argc > 2 ? std::atoi(argv[2]) : 9600;
  if (kib == 0 || kib > 16 * 1024) Fail("the size is 1 to 16384 KiB");
  const int baud_code = BaudCode(bps);

  std::vector<uint8_t> image(kib * 1024);
  std::mt19937 random(11);
  for (uint8_t& b : image) b = static_cast<uint8_t>(random());

  const std::string dir =
      (std::filesystem::temp_directory_path() / ("firmware-bench-" + std::to_string(getpid())))
          .string();
  std::filesystem::create_directories(dir);
  vdev::VirtualPrinter printer;
  vdev::PtyAttachment pty(printer, dir + "/tty", false);
  std::string error, reply;
  if (!pty.Start(error)) Fail(error);
  if (!pty.Command("baud " + std::to_string(bps), reply)) Fail(reply);

  flashwise::SerialSettings settings;
  settings.baud_code = baud_code;
  auto link = flashwise::UploadLink::OpenPort(pty.LinkPath(), settings, error);
  if (!link) Fail(error);

  const size_t frames = (image.size() + flashwise::kMaxDataPayload - 1) / flashwise::kMaxDataPayload;
  // Enter (10) and its answer, begin (16), data frames (10 bytes of framing each), end (10),
  // and a four-byte answer to every frame.
  const size_t line_bytes = 10 + 4 + (16 + 4) + image.size() + frames * (10 + 4) + (10 + 4);
  const double wire_ms = line_bytes * 10000.0 / bps;
  std::printf("firmware upload, %zu KiB in %zu frames, line paced at %d bps; wire time %.1f s\n",
              kib, frames, bps, wire_ms / 1000);

  const auto start = Clock::now();
  size_t reported = 0;
  const int32_t result = flashwise::SendImage(
      *link, image,
      [&](uint32_t sent, uint32_t total) {
        if (sent * 10ull / total != reported) {
          reported = sent * 10ull / total;
          std::printf("  %3zu%% after %.1f s\n", reported * 10,
                      std::chrono::duration<double>(Clock::now() - start).count());
          std::fflush(stdout);
        }
      },
      flashwise::UploadTimeouts{}, error);
  const double took_ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  link.reset();
  pty.Stop();
  std::filesystem::remove_all(dir);
  if (result != 0) Fail("upload gave " + std::to_string(result) + ": " + error);

  char crc[9];
  std::snprintf(crc, sizeof crc, "%08X", flashwise::Crc32(image));
  const std::string expected =
      "firmware: " + std::to_string(image.size()) + " bytes crc32 " + crc + ", uploads 1";
  if (printer.FirmwareSummary() != expected) Fail("the flash holds " + printer.FirmwareSummary());
  const double ratio = took_ms / wire_ms;
  std::printf("took %.1f s, %.2f x the wire time (goal 1.10): %s; flash matches the image\n",
              took_ms / 1000, ratio, ratio <= 1.10 ? "met" : "missed");
  return ratio <= 1.10 ? 0 : 2;
}
