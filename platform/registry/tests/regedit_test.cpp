#include <string>
#include <vector>

#include "platform/registry.h"
#include "registry_fixture.h"

namespace platform::registry {
namespace {

using RegeditTest = RegistryTest;

void FillSample() {
  Key dev, clsid, empty;
  ASSERT_EQ(Key::Create(Root::LocalMachine,
                        "SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\ThermalS", dev),
            kSuccess);
  ASSERT_EQ(dev.SetString("", "RecPrinter.POSPrinter.SO"), kSuccess);
  ASSERT_EQ(dev.SetDword("Baudrate", 10), kSuccess);
  ASSERT_EQ(dev.SetString("Path", "C:\\dir \"x\""), kSuccess);
  ASSERT_EQ(dev.SetString("Multi\"Line", "one\r\ntwo"), kSuccess);
  ASSERT_EQ(dev.SetString("Tab", "a\tb"), kSuccess);
  std::vector<uint8_t> logo;
  for (int i = 0; i < 70; ++i) logo.push_back(static_cast<uint8_t>(i * 7));
  ASSERT_EQ(dev.SetBinary("Logo", logo), kSuccess);
  ASSERT_EQ(dev.SetBinary("Nothing", {}), kSuccess);
  ASSERT_EQ(dev.SetDword("Max", 0xffffffffu), kSuccess);
  ASSERT_EQ(Key::Create(Root::LocalMachine,
                        "SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\alpha", empty),
            kSuccess);
  ASSERT_EQ(Key::Create(Root::ClassesRoot, "CLSID\\{ABC}\\InprocServer32", clsid), kSuccess);
  ASSERT_EQ(clsid.SetString("", "/usr/lib/libx.so"), kSuccess);
}

TEST_F(RegeditTest, ExportIsExactAndRoundTripsThroughAnotherStore) {
  FillSample();
  std::string text;
  ASSERT_EQ(
      ExportRegedit("HKEY_LOCAL_MACHINE\\software\\OLEforRetail\\ServiceOPOS\\POSPrinter\\thermals",
                    text),
      kSuccess);
  EXPECT_EQ(text.substr(0, text.find("\"Logo\"")),
            "REGEDIT4\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\ThermalS]\n"
            "@=\"RecPrinter.POSPrinter.SO\"\n"
            "\"Baudrate\"=dword:0000000a\n"
            "\"Path\"=\"C:\\\\dir \\\"x\\\"\"\n"
            "\"Multi\\\"Line\"=hex(1):6f,6e,65,0d,0a,74,77,6f\n"
            "\"Tab\"=\"a\tb\"\n");
  EXPECT_NE(text.find("\"Nothing\"=hex:\n\"Max\"=dword:ffffffff\n"), std::string::npos);
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    EXPECT_LE(end - start, 80u) << "long line at " << start;
  }

  std::string everything;
  ASSERT_EQ(ExportRegedit("", everything), kSuccess);
  EXPECT_NE(
      everything.find("[HKEY_CLASSES_ROOT\\CLSID\\{ABC}\\InprocServer32]\n@=\"/usr/lib/libx.so\""),
      std::string::npos);
  // Subkeys come sorted by lower-cased name: "alpha" before "ThermalS".
  EXPECT_LT(everything.find("POSPrinter\\alpha]"), everything.find("POSPrinter\\ThermalS]"));

  UseDatabase(dir_ + "/copy.sqlite");
  std::string error;
  ASSERT_EQ(ImportRegedit(everything, &error), kSuccess) << error;
  std::string again;
  ASSERT_EQ(ExportRegedit("", again), kSuccess);
  EXPECT_EQ(again, everything);

  Key dev;
  ASSERT_EQ(
      Key::Open(Root::LocalMachine, "SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\ThermalS",
                Access::Read, dev),
      kSuccess);
  std::string value;
  ASSERT_EQ(dev.QueryString("multi\"line", value), kSuccess);
  EXPECT_EQ(value, "one\r\ntwo");
  Value logo;
  ASSERT_EQ(dev.QueryValue("Logo", logo), kSuccess);
  EXPECT_EQ(logo.data.size(), 70u);
  EXPECT_EQ(logo.data[69], static_cast<uint8_t>(69 * 7));
}

TEST_F(RegeditTest, ImportAcceptsWindowsTextAndAppliesDeletions) {
  Key old;
  ASSERT_EQ(Key::Create(Root::LocalMachine, "SOFTWARE\\Old\\Deep", old), kSuccess);
  ASSERT_EQ(Key::Create(Root::LocalMachine, "SOFTWARE\\Dev", old), kSuccess);
  ASSERT_EQ(old.SetString("Gone", "x"), kSuccess);

  std::string text =
      "\xEF\xBB\xBFREGEDIT4\r\n"
      "\r\n"
      "; device written by hand\r\n"
      "[HKLM\\SOFTWARE\\Dev]\r\n"
      "@=\"RecPrinter.POSPrinter.SON\"\r\n"
      "\"Gone\"=-\r\n"
      "\"Port\" = \"9100\"\r\n"
      "\"Data\"=hex:01,02,\\\r\n"
      "  03,0a\r\n"
      "\"Width\"=DWORD:1F\r\n"
      "\"Raw\"=hex(4):10,00,00,00\r\n"
      "[-HKEY_LOCAL_MACHINE\\software\\OLD]\r\n"
      "[-HKLM\\SOFTWARE\\NeverExisted]\r\n"
      "[hkcr\\Display.LineDisplay.SO2]\r\n"
      "@=\"\"\r\n";
  std::string error;
  ASSERT_EQ(ImportRegedit(text, &error), kSuccess) << error;

  Key dev;
  ASSERT_EQ(Key::Open(Root::LocalMachine, "SOFTWARE\\Dev", Access::Read, dev), kSuccess);
  std::string value;
  uint32_t number = 0;
  Value data;
  EXPECT_EQ(dev.QueryString("", value), kSuccess);
  EXPECT_EQ(value, "RecPrinter.POSPrinter.SON");
  EXPECT_EQ(dev.QueryString("Gone", value), kNotFound);
  EXPECT_EQ(dev.QueryString("Port", value), kSuccess);
  EXPECT_EQ(value, "9100");
  ASSERT_EQ(dev.QueryValue("Data", data), kSuccess);
  EXPECT_EQ(data.data, (std::vector<uint8_t>{1, 2, 3, 10}));
  EXPECT_EQ(dev.QueryDword("Width", number), kSuccess);
  EXPECT_EQ(number, 31u);
  EXPECT_EQ(dev.QueryDword("Raw", number), kSuccess);
  EXPECT_EQ(number, 16u);
  Key gone, display;
  EXPECT_EQ(Key::Open(Root::LocalMachine, "SOFTWARE\\Old", Access::Read, gone), kNotFound);
  ASSERT_EQ(Key::Open(Root::ClassesRoot, "display.linedisplay.so2", Access::Read, display),
            kSuccess);
  EXPECT_EQ(display.QueryString("", value), kSuccess);
  EXPECT_EQ(value, "");
}

TEST_F(RegeditTest, MalformedTextIsRejectedWholeAndNamesTheLine) {
  struct Case {
    const char* text;
    int line;
  };
  const Case cases[] = {
      {"REGEDIT5\n[HKLM\\A]\n", 1},
      {"REGEDIT4\n[HKLM\\A]\n\"v\"=\"ok\"\n\"w\"=\"unterminated\n", 4},
      {"REGEDIT4\n[HKLM\\A]\n\"v\"=\"ok\"\n\"w\"=dword:123456789\n", 4},
      {"REGEDIT4\n[HKLM\\A]\n\"w\"=dword:xyz\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"w\"=hex:01,zz\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"w\"=hex:01,\\\n  02,,03\n", 4},
      {"REGEDIT4\n[HKLM\\A]\n\"w\"=hex:01,\\\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"w\"=hex(2):41,00\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"w\"=hex(4):01,02\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"w\"=\"bad \\escape\"\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"w\"\"x\"\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"w\"=\"x\" trailing\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"w\"=number\n", 3},
      {"REGEDIT4\n\"w\"=\"no key yet\"\n", 2},
      {"REGEDIT4\n[HKLM\\A]\n[-HKLM\\B]\n\"w\"=\"under a deletion\"\n", 4},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n", 2},
      {"REGEDIT4\n[HKLM\\A\\\\B]\n", 2},
      {"REGEDIT4\n[HKLM\\A\n", 2},
      {"REGEDIT4\n[-HKLM]\n", 2},
      {"REGEDIT4\n[HKLM\\A]\njunk\n", 3},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(ImportRegedit(c.text, &error), kInvalidParameter) << c.text;
    EXPECT_EQ(error.rfind("line " + std::to_string(c.line) + ":", 0), 0u)
        << c.text << " gave: " << error;
    EXPECT_EQ(LastErrorMessage(), error);
  }
  Key key;
  EXPECT_EQ(Key::Open(Root::LocalMachine, "A", Access::Read, key), kNotFound);
  std::string text;
  ASSERT_EQ(ExportRegedit("", text), kSuccess);
  EXPECT_EQ(text, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE]\n\n[HKEY_CLASSES_ROOT]\n\n");
}

TEST_F(RegeditTest, ExportOfMissingOrInvalidPathFails) {
  std::string text = "unchanged";
  EXPECT_EQ(ExportRegedit("HKLM\\Missing", text), kNotFound);
  EXPECT_EQ(ExportRegedit("HKEY_USERS\\X", text), kInvalidParameter);
  EXPECT_EQ(text, "unchanged");
  EXPECT_EQ(ExportRegedit("HKCR", text), kSuccess);
  EXPECT_EQ(text, "REGEDIT4\n\n[HKEY_CLASSES_ROOT]\n\n");
}

}  // namespace
}  // namespace platform::registry
