#include "program_options.h"

#include <gtest/gtest.h>

namespace vdev {
namespace {

TEST(ProgramOptionsTest, PrinterModelAttachmentAndOutputs) {
  PrinterProgramOptions o;
  std::string error;
  ASSERT_TRUE(ParsePrinterOptions({"--thermal56", "--pin3", "high-open", "--tcp", "0.0.0.0:9101",
                                   "--png", "out", "--capture", "c.bin", "--baud", "9600"},
                                  o, error))
      << error;
  EXPECT_EQ(o.columns, 56);
  EXPECT_FALSE(o.dot_matrix);
  EXPECT_TRUE(o.pin3_high_open);
  EXPECT_EQ(o.baud, 9600);
  EXPECT_EQ(o.attach.kind, AttachmentChoice::Kind::Tcp);
  EXPECT_EQ(o.attach.address, "0.0.0.0");
  EXPECT_EQ(o.attach.port, 9101);
  EXPECT_EQ(o.output.png_dir, "out");
  EXPECT_EQ(o.output.capture_file, "c.bin");

  PrinterProgramOptions defaults;
  ASSERT_TRUE(ParsePrinterOptions({}, defaults, error));
  EXPECT_EQ(defaults.attach.kind, AttachmentChoice::Kind::Tcp);  // loopback 9100
  EXPECT_EQ(defaults.attach.address, "127.0.0.1");
  EXPECT_EQ(defaults.attach.port, 9100);
  EXPECT_EQ(defaults.columns, 42);

  PrinterProgramOptions dot;
  ASSERT_TRUE(ParsePrinterOptions({"--dotmatrix", "--pty", "/tmp/x"}, dot, error));
  EXPECT_TRUE(dot.dot_matrix);
  EXPECT_EQ(dot.columns, 33);
  EXPECT_EQ(dot.attach.path, "/tmp/x");

  DisplayProgramOptions display;
  ASSERT_TRUE(ParseDisplayOptions({"--version"}, display, error)) << error;
  EXPECT_TRUE(display.version);
}

TEST(ProgramOptionsTest, MistakesAreRefusedWithAReason) {
  const std::vector<std::vector<std::string>> wrong = {
      {"--tcp"},                             // missing value
      {"--tcp", "99999"},                    // port out of range
      {"--tcp", "12ab"},                     // not a number
      {"--tcp", ":9100"},                    // empty address
      {"--tcp", "9100", "--pty", "/tmp/x"},  // two attachments
      {"--pin3", "sideways"},
      {"--baud", "fast"},
      {"--baud", "10"},
      {"--thermal42", "--dotmatrix"},
      {"--render-file", "f.bin"},                              // nowhere to render to
      {"--render-file", "f.bin", "--png", "d", "--tcp", "0"},  // offline means no attachment
      {"--colour"},
  };
  for (const auto& args : wrong) {
    PrinterProgramOptions o;
    std::string error;
    EXPECT_FALSE(ParsePrinterOptions(args, o, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
  DisplayProgramOptions d;
  std::string error;
  EXPECT_FALSE(ParseDisplayOptions({"--png", "d"}, d, error));  // no attachment
  EXPECT_FALSE(ParseDisplayOptions({"--thermal42", "--pty", "p"}, d, error));
  DisplayProgramOptions ok;
  EXPECT_TRUE(ParseDisplayOptions({"--pty", "p", "--text", "t"}, ok, error)) << error;
}

}  // namespace
}  // namespace vdev
