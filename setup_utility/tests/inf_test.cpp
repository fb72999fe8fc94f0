// Device information files: value cleaning, numbers, entries made from them, the shipped
// files and the Add New Device lists.
#include <gtest/gtest.h>

#include <fstream>

#include "cls_opos.h"
#include "device_catalogue.h"
#include "device_kinds.h"
#include "inf_file.h"
#include "mod_regedit.h"
#include "test_support/temp_registry.h"

namespace confix {
namespace {

using namespace modRegedit;

TEST(ConfixInfValue, CommentsTagsAndQuotesAreCleanedWherePossible) {
  EXPECT_EQ(CleanInfText("INT:9600 ; baud rate"), "9600");
  EXPECT_EQ(CleanInfText("\"COM2\" ; the port"), "COM2");
  EXPECT_EQ(CleanInfText("; only a comment"), "");
  EXPECT_EQ(CleanInfText("STRING:\"Thermal\tprinter\""), "Thermal printer");
  EXPECT_EQ(CleanInfText("a int:b INT:c"), "a  b  c");  // inner tags become spaces
  EXPECT_EQ(CleanInfText("Int:5"), "Int:5");           // only the listed spellings
}

TEST(ConfixInfValue, NumbersTakeTheLeadingNumberWithHalvesToEven) {
  EXPECT_EQ(ParseLeadingNumber("500"), 500);
  EXPECT_EQ(ParseLeadingNumber("9600 bps"), 9600);
  EXPECT_EQ(ParseLeadingNumber("2.5"), 2);
  EXPECT_EQ(ParseLeadingNumber("3.5"), 4);
  EXPECT_EQ(ParseLeadingNumber("-2.5"), -2);
  EXPECT_EQ(ParseLeadingNumber("2.51"), 3);
  EXPECT_EQ(ParseLeadingNumber(".5"), 0);
  EXPECT_EQ(ParseLeadingNumber("1.5e3"), 2);  // the number ends at the letter
  EXPECT_EQ(ParseLeadingNumber("abc"), 0);
  EXPECT_EQ(ParseLeadingNumber(""), 0);
  EXPECT_EQ(ParseLeadingNumber("-"), 0);
  EXPECT_EQ(ParseLeadingNumber("99999999999"), 2147483647);
  EXPECT_EQ(ParseLeadingNumber("-99999999999"), -2147483647 - 1);
  EXPECT_EQ(ParseLeadingNumber("2147483647.5"), 2147483647);
}

class ConfixInfFiles : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    std::string path = registry_.Dir() + "/" + name;
    std::ofstream(path) << text;
    return path;
  }
  test_support::TempRegistry registry_{"confix-inf"};
};

const char* kTwoVariants = R"([COMMNumber]
Cnumber=INT:2 ; S and P only
[SMAIN]
DeviceClass="POSPrinter"
DeviceName=STRING:"TestS"
DeviceDesc=Test printer
SOName=RecPrinter.POSPrinter.SO
ADKConfig=ThermalTest
[PMAIN]
DeviceClass=POSPrinter
DeviceName=TestP
[UMAIN]
DeviceClass=POSPrinter
DeviceName=TestU
[NMAIN]
DeviceClass=POSPrinter
DeviceName=TestN
SOName=RecPrinter.POSPrinter.SON
[SPORT]
Port="COM2" ; second port
Baudrate=INT:7
Timeout=INT:500
BaudrateSel=3,4,5
[NPORT]
IP=10.0.0.7
Port=9101
InputBuf=2048
Timeout=250.5
Baudrate=7
[SOPTION]
IdleSleep=3.5
InputSleep=24
)";

TEST_F(ConfixInfFiles, ReadFillsTheVariantsSectionsAndSavesANewEntry) {
  std::string path = Write("Test.inf", kTwoVariants);
  clsOPOS d;
  ASSERT_TRUE(d.Read(path, "TestS")) << d.LastErrorText();
  EXPECT_EQ(d.mstrKeyName, "TestS");
  EXPECT_EQ(d.mstrPort, "COM2");
  EXPECT_EQ(d.mlngBaudrate, 7);
  EXPECT_EQ(d.mlngTimeout, 500);
  EXPECT_EQ(d.mlngIdleSleep, 4);
  EXPECT_EQ(d.mstrDescription, "OLE POS Printer OPOS Service Object");
  EXPECT_EQ(d.mstrVersion, "1.0");
  EXPECT_EQ(RegReadString(std::string(kPosPrinterKeyPath) + "\\TestS", ""),
            "RecPrinter.POSPrinter.SO");
  ASSERT_TRUE(d.Read(path, "TestS"));
  EXPECT_EQ(d.mstrKeyName, "TestS_2");

  ASSERT_TRUE(d.Read(path, "TestN"));  // the network variant: NPORT only, no serial numbers
  EXPECT_EQ(d.mstrIP, "10.0.0.7");
  EXPECT_EQ(d.mstrPort, "9101");
  EXPECT_EQ(d.mlngInputBuf, 2048);
  EXPECT_EQ(d.mlngTimeout, 250);
  EXPECT_EQ(d.mlngBaudrate, 0);
  EXPECT_EQ(d.mlngIdleSleep, 0);
  EXPECT_EQ(RegReadDword(std::string(kPosPrinterKeyPath) + "\\TestN", "Baudrate"), 0);
}

TEST_F(ConfixInfFiles, ReadWithoutALinkLetterOrAClassCreatesNothing) {
  std::string path = Write("Test.inf", kTwoVariants);
  std::string no_class = Write("NoClass.inf", "[SMAIN]\nDeviceName=OddS\n");
  clsOPOS d;
  for (const char* type : {"", "Tests", "TestX"}) {
    EXPECT_FALSE(d.Read(path, type)) << type;
    EXPECT_EQ(d.LastError(), EntryError::NoSection);
  }
  EXPECT_FALSE(d.Read(no_class, "OddS"));
  EXPECT_EQ(d.LastError(), EntryError::InfNoDevice);
  EXPECT_EQ(d.mstrDeviceName, "");  // the main window adds no node for it
  EXPECT_TRUE(RegEnumSubKeys(kPosPrinterKeyPath).empty());
  EXPECT_TRUE(RegEnumSubKeys(kCashDrawerKeyPath).empty());
}

TEST_F(ConfixInfFiles, AFileThatDescribesNoSuchDeviceIsNamedWithWhatIsWrong) {
  const std::string thermal = std::string(OPOS_BUILD_BIN) + "/Thermal.inf";
  struct Case {
    std::string file, device;
    EntryError error;
    std::string says;
  };
  const Case cases[] = {
      {registry_.Dir() + "/missing.inf", "ThermalS", EntryError::InfMissing, "does not exist"},
      {registry_.Dir(), "ThermalS", EntryError::InfNotAFile, "is a directory"},
      {Write("Empty.inf", ""), "ThermalS", EntryError::InfNoDevice, "has no section SMAIN"},
      {Write("Garbage.inf", "\x7f\x01ELF\xff\xfe junk\n[[[\n"), "ThermalS",
       EntryError::InfNoDevice, "has no section SMAIN"},
      {thermal, "ThermalX2S", EntryError::InfOtherDevice, "describes ThermalS in its section SMAIN"},
      // Only the last letter chose the section: a drawer name got a printer entry.
      {thermal, "StandardS", EntryError::InfOtherDevice, "not StandardS"},
  };
  for (const Case& c : cases) {
    clsOPOS d;
    EXPECT_FALSE(d.Read(c.file, c.device)) << c.file;
    EXPECT_EQ(d.LastError(), c.error) << c.file;
    EXPECT_NE(d.LastErrorText().find(c.file), std::string::npos) << d.LastErrorText();
    EXPECT_NE(d.LastErrorText().find(c.says), std::string::npos) << d.LastErrorText();
  }
  EXPECT_TRUE(RegEnumSubKeys(kPosPrinterKeyPath).empty());
  EXPECT_TRUE(RegEnumSubKeys(kCashDrawerKeyPath).empty());
}

TEST_F(ConfixInfFiles, TheShippedFilesDescribeEveryRecognisedDeviceName) {
  const std::string dir = OPOS_BUILD_BIN;
  std::vector<std::string> made;
  for (const std::string& file : InfFilesIn(dir)) {
    std::string path = dir + "/" + file;
    for (int k = 0; k < VariantCount(path); ++k) {
      clsOPOS d;
      ASSERT_TRUE(d.Read(path, VariantDeviceName(path, k))) << file << " " << k;
      made.push_back(d.mstrDeviceName);
      EXPECT_TRUE(IsRecognisedDeviceName(d.mstrDeviceName)) << d.mstrDeviceName;
      EXPECT_TRUE(HasKitConfiguration(d.mstrDeviceClass, d.mstrADKConfig)) << d.mstrDeviceName;
      EXPECT_FALSE(d.mstrSOName.empty());
      EXPECT_FALSE(d.mstrPort.empty());
      if (d.mstrDeviceClass == kCashDrawerClass) {
        EXPECT_TRUE(d.mlngConnectorPinNo == 2 || d.mlngConnectorPinNo == 5) << d.mstrDeviceName;
      }
      if (d.mstrDeviceName.back() == 'S') {
        EXPECT_EQ(d.mlngBaudrate, 6);
        EXPECT_EQ(d.mstrBaudrateSel, "3,4,5,6,7,8,10");
      }
    }
  }
  EXPECT_EQ(made.size(), 17u);
}

TEST_F(ConfixInfFiles, TheAddDialogListsFilterByClassAndCatalogueEachFilesVariants) {
  const std::string dir = registry_.Dir();
  Write("Test.inf", kTwoVariants);
  Write("Drawer.inf",
        "[COMMNumber]\nCnumber=1\n[SMAIN]\nDeviceClass=CashDrawer\nDeviceName=StandardS\n");
  Write("Aaa.inf", "[COMMNumber]\nCnumber=1\n");  // no serial device name: not listed
  clsOPOS d;
  TypeList all = ScanInfFiles(d, dir);
  EXPECT_EQ(all.types, (std::vector<std::string>{"Standard", "Test"}));
  EXPECT_EQ(DeviceNamesOf(d, "Test"), (std::vector<std::string>{"TestS", "TestP"}));
  EXPECT_EQ(DeviceNamesOf(d, "Standard"), (std::vector<std::string>{"StandardS"}));

  TypeList printers = all;
  FilterTypes(printers, true);
  EXPECT_EQ(printers.types, (std::vector<std::string>{"Test"}));
  EXPECT_EQ(printers.paths, (std::vector<std::string>{dir + "/Test.inf"}));
  TypeList drawers = all;
  FilterTypes(drawers, false);
  EXPECT_EQ(drawers.types, (std::vector<std::string>{"Standard"}));

  EXPECT_EQ(AddInfFile(d, dir + "/Aaa.inf", printers), BrowseOutcome::Added);  // listed as ""
  EXPECT_EQ(AddInfFile(d, dir + "/Test.inf", printers), BrowseOutcome::AlreadyListed);
  Write("Empty.inf", "[SMAIN]\nDeviceName=XS\n");
  EXPECT_EQ(AddInfFile(d, dir + "/Empty.inf", printers), BrowseOutcome::NotDeviceFile);

  TypeList many;
  for (int i = 0; i < 15; ++i) {
    many.types.push_back("Type" + std::to_string(i));
    many.paths.push_back("p" + std::to_string(i));
  }
  FilterTypes(many, true);
  EXPECT_EQ(many.types.size(), kMaxListedTypes);
  EXPECT_EQ(many.paths.back(), "p10");
  DeleteTempCatalogue();
  EXPECT_TRUE(DeviceNamesOf(d, "Test").empty());
  EXPECT_EQ(FindInfFor(dir, "TestP"), dir + "/Test.inf");
  EXPECT_EQ(FindInfFor(dir, "TestU"), "");  // beyond Cnumber
}

}  // namespace
}  // namespace confix
