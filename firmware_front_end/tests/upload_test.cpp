// Uploads through the control created by its ProgID, to the virtual printer on a
// pseudo-terminal (a COM port through the port map) and on a loopback TCP port, and over
// links that fail.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "platform/registry.h"
#include "test_support/temp_registry.h"
#include "upload_frames.h"
#include "upload_request.h"
#include "virtual_devices/pty_attachment.h"
#include "virtual_devices/tcp_attachment.h"
#include "virtual_devices/virtual_printer.h"

namespace flashwise {
namespace {

namespace automation = platform::automation;

class FlashwiseUploadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test_support::RegisterServerLibrary(FLASHWISE_CONTROL_PATH));
    std::string error;
    control_ = CreateUploadControl(error);
    ASSERT_TRUE(control_) << error;
    std::string start_error;
    ASSERT_TRUE(pty_.Start(start_error)) << start_error;
    MapPort("COM5", pty_.LinkPath());
    firmware_ = registry_.Dir() + "/printer.bin";
    WriteImage(firmware_, 5000);
  }
  void TearDown() override { pty_.Stop(); }

  static void MapPort(const std::string& name, const std::string& path) {
    namespace reg = platform::registry;
    reg::Key map;
    ASSERT_EQ(reg::Key::Create(reg::Root::LocalMachine, "SOFTWARE\\OLEforRetail\\PortMap", map),
              reg::kSuccess);
    ASSERT_EQ(map.SetString(name, path), reg::kSuccess);
  }

  // `size` bytes of a fixed pseudo-random pattern; returns their crc32.
  static uint32_t WriteImage(const std::string& path, size_t size) {
    std::vector<uint8_t> image(size);
    std::mt19937 random(7);
    for (uint8_t& b : image) b = static_cast<uint8_t>(random());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(size));
    return Crc32(image);
  }

  // The control's account of its last failure (dispatch identifier 4).
  std::string LastError() const {
    automation::Variant text;
    control_->Invoke(4, automation::InvokeKind::PropertyGet, {}, &text);
    return text.ToString();
  }

  // Uploads `size` bytes over COM5 with the line paced at `bps`, as a serial cable carries
  // them, and checks that the printer's flash holds exactly that image.
  void UploadOverPacedLine(int bps, int32_t baud_code, size_t size) {
    std::string reply;
    ASSERT_TRUE(pty_.Command("baud " + std::to_string(bps), reply)) << reply;
    const uint32_t crc = WriteImage(firmware_, size);
    UploadRequest request = SerialRequest("COM5");
    request.baud_code = baud_code;
    int32_t frames = 0;
    const int32_t result =
        CallUploadControl(control_.get(), request, [&](int32_t, int32_t) { ++frames; });
    EXPECT_EQ(result, 0) << LastError();
    EXPECT_EQ(frames, static_cast<int32_t>((size + 1023) / 1024));
    char crc_text[9];
    std::snprintf(crc_text, sizeof crc_text, "%08X", crc);
    EXPECT_EQ(printer_.FirmwareSummary(), "firmware: " + std::to_string(size) + " bytes crc32 " +
                                              crc_text + ", uploads 1");
  }

  UploadRequest SerialRequest(const std::string& port) const {
    UploadRequest request;
    request.port = port;
    request.baud_code = 6;
    request.file = firmware_;
    return request;
  }

  test_support::TempRegistry registry_{"flashwise"};
  vdev::VirtualPrinter printer_;
  vdev::PtyAttachment pty_{printer_, registry_.Dir() + "/ttyFW"};
  automation::DispatchPtr control_;
  std::string firmware_;
};

TEST_F(FlashwiseUploadTest, SerialUploadIsVerifiedAndWrittenWithProgress) {
  const uint32_t crc = WriteImage(firmware_, 5000);
  std::vector<std::pair<int32_t, int32_t>> progress;
  const int32_t result =
      CallUploadControl(control_.get(), SerialRequest("COM5"),
                        [&](int32_t sent, int32_t total) { progress.emplace_back(sent, total); });
  EXPECT_EQ(result, 0);
  char crc_text[9];
  std::snprintf(crc_text, sizeof crc_text, "%08X", crc);
  EXPECT_EQ(printer_.FirmwareSummary(),
            "firmware: 5000 bytes crc32 " + std::string(crc_text) + ", uploads 1");
  // 1024-byte frames: 1024, 2048, 3072, 4096, 5000.
  ASSERT_EQ(progress.size(), 5u);
  EXPECT_EQ(progress.front(), std::make_pair(1024, 5000));
  EXPECT_EQ(progress.back(), std::make_pair(5000, 5000));

  // The printer takes ordinary commands again afterwards.
  std::string reply;
  EXPECT_TRUE(printer_.Command("status", reply));
  EXPECT_NE(printer_.DecodedLog().find("firmware written: 5000 bytes"), std::string::npos);
}

// Full 1024-byte frames take 4.3 s each on a 2400 bps line, longer than the 3 s the printer
// has to answer; the answer is awaited from when a frame has crossed the line. About 10 s.
TEST_F(FlashwiseUploadTest, FullFramesAt2400BpsTheDefaultRate) {
  UploadOverPacedLine(2400, 4, 2300);
}

// The same at 9600 bps with more frames. About 9 s.
TEST_F(FlashwiseUploadTest, FullFramesAt9600Bps) { UploadOverPacedLine(9600, 6, 8500); }

TEST_F(FlashwiseUploadTest, NetworkUploadThroughIdentifierTwo) {
  vdev::VirtualPrinter network_printer;
  vdev::TcpAttachment tcp(network_printer, vdev::TcpOptions{"127.0.0.1", 0});
  std::string error;
  ASSERT_TRUE(tcp.Start(error)) << error;
  std::string file = firmware_;
  automation::Variant args[] = {automation::Variant(std::string("127.0.0.1")),
                                automation::Variant(std::to_string(tcp.Port())),
                                automation::Variant::StringRef(&file)};
  automation::Variant result;
  ASSERT_EQ(control_->Invoke(2, automation::InvokeKind::Method, args, &result), automation::kOk);
  EXPECT_EQ(result.ToInt32(), 0);
  EXPECT_EQ(network_printer.FirmwareSummary().rfind("firmware: 5000 bytes", 0), 0u);
  tcp.Stop();
}

// A port that cannot be opened, a file that cannot be read, a printer that does not
// answer and a cable pulled in the middle: each is a communication error, and the
// printer keeps no image from them.
TEST_F(FlashwiseUploadTest, BrokenLinksAreCommunicationErrors) {
  MapPort("COM7", registry_.Dir() + "/no-such-port");
  EXPECT_EQ(CallUploadControl(control_.get(), SerialRequest("COM7"), nullptr), -1);

  UploadRequest missing = SerialRequest("COM5");
  missing.file = registry_.Dir() + "/gone.bin";
  EXPECT_EQ(CallUploadControl(control_.get(), missing, nullptr), -2);
  // A folder named as the firmware file is told as such, not as a file too large.
  UploadRequest folder = SerialRequest("COM5");
  folder.file = registry_.Dir();
  EXPECT_EQ(CallUploadControl(control_.get(), folder, nullptr), -2);
  EXPECT_EQ(LastError(), registry_.Dir() + " is a folder, not a file");

  UploadRequest bad_baud = SerialRequest("COM5");
  bad_baud.baud_code = 0;
  EXPECT_EQ(CallUploadControl(control_.get(), bad_baud, nullptr), -1);

  std::string reply;
  printer_.Command("answers off", reply);
  EXPECT_EQ(CallUploadControl(control_.get(), SerialRequest("COM5"), nullptr), -3);
  printer_.Command("answers on", reply);

  bool pulled = false;
  const int32_t result =
      CallUploadControl(control_.get(), SerialRequest("COM5"), [&](int32_t, int32_t) {
        if (pulled) return;
        pulled = true;
        std::string r;
        pty_.Command("disconnect", r);
      });
  EXPECT_TRUE(pulled);
  EXPECT_EQ(result, -3);
  EXPECT_EQ(printer_.FirmwareSummary(), "firmware: none");

  EXPECT_EQ(CallUploadControl(nullptr, SerialRequest("COM5"), nullptr), -1);
}

// The printer's side of the protocol on its own: a damaged frame is refused and taken
// when sent again, an image that does not match is refused, and a host that gives up
// leaves the printer printing.
TEST(FlashwiseFirmwareReceiving, DamagedFramesAndAbandonedUploads) {
  vdev::VirtualPrinter printer;
  std::vector<uint8_t> answers;
  printer.SetAnswerSink([&](std::span<const uint8_t> bytes) {
    answers.insert(answers.end(), bytes.begin(), bytes.end());
  });
  auto send = [&](const std::vector<uint8_t>& bytes) {
    answers.clear();
    printer.Receive(bytes);
    return answers;
  };
  using Bytes = std::vector<uint8_t>;
  const Bytes image = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(send(EnterCommand()), (Bytes{kAck, 0xFF, 0xFF, 'R'}));
  EXPECT_EQ(send(Frame(kBegin, 0, BeginPayload(9, Crc32(image)))), (Bytes{kAck, 0, 0, 0}));
  Bytes damaged = Frame(kData, 1, image);
  damaged[8] ^= 0x40;
  EXPECT_EQ(send(damaged), (Bytes{kNak, 1, 0, kBadCrc}));
  EXPECT_EQ(send(Frame(kData, 1, image)), (Bytes{kAck, 1, 0, 0}));
  EXPECT_EQ(send(Frame(kData, 3, image)), (Bytes{kNak, 3, 0, kBadSeq}));
  EXPECT_EQ(send(Frame(kEnd, 2, {})), (Bytes{kAck, 2, 0, kWritten}));
  EXPECT_EQ(
      printer.FirmwareSummary(), "firmware: 9 bytes crc32 " + [&] {
        char t[9];
        std::snprintf(t, sizeof t, "%08X", Crc32(image));
        return std::string(t);
      }() + ", uploads 1");

  // An image whose checksum does not match is not written.
  send(EnterCommand());
  send(Frame(kBegin, 0, BeginPayload(9, Crc32(image) ^ 1)));
  send(Frame(kData, 1, image));
  EXPECT_EQ(send(Frame(kEnd, 2, {})), (Bytes{kNak, 2, 0, kBadImage}));
  EXPECT_NE(printer.FirmwareSummary().find("uploads 1"), std::string::npos);

  // A host that gives up half way and prints: the text is printed, not swallowed.
  send(EnterCommand());
  send(Frame(kBegin, 0, BeginPayload(9, Crc32(image))));
  const std::string text = "after\n";
  printer.Receive(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  EXPECT_EQ(printer.Status().lines, 1u);
  EXPECT_NE(printer.DecodedLog().find("firmware upload abandoned"), std::string::npos);
}

}  // namespace
}  // namespace flashwise
