// The device entry model on a temporary registry store.
#include <gtest/gtest.h>

#include "cls_opos.h"
#include "mod_regedit.h"
#include "platform/registry.h"
#include "test_support/temp_registry.h"

namespace confix {
namespace {

namespace reg = platform::registry;
using namespace modRegedit;

const std::string kPrinters = kPosPrinterKeyPath;
const std::string kDrawers = kCashDrawerKeyPath;

class ConfixEntryModel : public ::testing::Test {
 protected:
  // A serial thermal printer entry saved as new under `key`.
  clsOPOS Printer(const std::string& key = "ThermalS") {
    clsOPOS d;
    d.mstrDeviceClass = "POSPrinter";
    d.mstrKeyName = key;
    d.mstrDeviceName = "ThermalS";
    d.mstrSOName = "RecPrinter.POSPrinter.SO";
    d.mstrPort = "COM1";
    d.mlngBaudrate = 6;
    d.mstrBaudrateSel = "3,4,5,6,7,8,10";
    EXPECT_TRUE(d.Save(true)) << d.LastErrorText();
    return d;
  }
  std::vector<std::string> Values(const std::string& path) {
    std::vector<std::string> names, data;
    RegEnumValues(path, names, data);
    return names;
  }
  test_support::TempRegistry registry_{"confix-model"};
};

TEST_F(ConfixEntryModel, NewEntriesOfTheSameNameGetSuffixesFromTwoUpwardsNeverStacked) {
  EXPECT_EQ(Printer().mstrKeyName, "ThermalS");
  EXPECT_EQ(Printer().mstrKeyName, "ThermalS_2");
  EXPECT_EQ(Printer().mstrKeyName, "ThermalS_3");
  clsOPOS d;
  d.Load("POSPrinter", "ThermalS_2");
  EXPECT_EQ(d.mstrDeviceName, "ThermalS");  // the device name keeps the kind
  d.mstrKeyName = "ThermalS_2";
  ASSERT_TRUE(d.Save(true));
  EXPECT_EQ(d.mstrKeyName, "ThermalS_2_2");  // made from the name given, "ThermalS_2"
  // A name differing only in letter case is the same key.
  EXPECT_EQ(Printer("thermals").mstrKeyName, "thermals_4");
}

TEST_F(ConfixEntryModel, SaveWritesEveryValueAndDrawerValuesOnlyForDrawers) {
  clsOPOS printer = Printer();
  std::vector<std::string> names = Values(kPrinters + "\\ThermalS");
  EXPECT_EQ(names.size(), 26u);
  EXPECT_EQ(names.front(), "");  // the default value comes first
  EXPECT_EQ(std::count(names.begin(), names.end(), "IP"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "OpenLevel"), 0);

  clsOPOS drawer;
  drawer.mstrDeviceClass = "CashDrawer";
  drawer.mstrKeyName = "StandardS";
  drawer.mlngOpenLevel = 1;
  drawer.mlngConnectorPinNo = 5;
  drawer.mlngPulseOnTime = 100;
  drawer.mlngPulseOffTime = -1;
  ASSERT_TRUE(drawer.Save(true));
  EXPECT_EQ(Values(kDrawers + "\\StandardS").size(), 30u);
  clsOPOS back;
  back.Load("CashDrawer", "StandardS");
  EXPECT_EQ(back.mlngConnectorPinNo, 5);
  EXPECT_EQ(back.mlngPulseOffTime, -1);  // written as a signed 32-bit number
  // Loading a drawer entry as a printer does not fill the drawer values.
  back.Load("POSPrinter", "StandardS");
  EXPECT_EQ(back.mlngConnectorPinNo, 0);
}

TEST_F(ConfixEntryModel, LoadOfAKeyWithMissingValuesGivesEmptyAndZero) {
  ASSERT_EQ(RegWriteString(kPrinters + "\\Sparse", "Port", "COM3"), 0);
  ASSERT_EQ(RegWriteString(kPrinters + "\\Sparse", "Baudrate", "6"), 0);  // a string, not a number
  clsOPOS d;
  d.mstrDeviceName = "left over";
  d.Load("POSPrinter", "Sparse");
  EXPECT_EQ(d.mstrPort, "COM3");
  EXPECT_EQ(d.mlngBaudrate, 0);
  EXPECT_EQ(d.mstrDeviceName, "");
  EXPECT_EQ(d.mstrKeyName, "Sparse");
  d.Load("POSPrinter", "NoSuchKey");
  EXPECT_EQ(d.mstrPort, "");
}

TEST_F(ConfixEntryModel, StringsReadBackExactlyWithoutATerminatorStoredByAnotherProgram) {
  for (std::string text : {"", "A", "COM1", "caf\xC3\xA9 \xE3\x81\x82"}) {
    ASSERT_EQ(RegWriteString(kPrinters + "\\K", "V", text), 0);
    EXPECT_EQ(RegReadString(kPrinters + "\\K", "V"), text);
  }
  reg::Key key;
  ASSERT_EQ(reg::Key::Create(reg::Root::LocalMachine, kPrinters + "\\K", key), 0);
  reg::Value with_zero{reg::ValueType::String, {'C', 'O', 'M', '2', 0}};
  ASSERT_EQ(key.SetValue("Port", with_zero), 0);
  EXPECT_EQ(RegReadString(kPrinters + "\\K", "Port"), "COM2");
  std::vector<std::string> names, data;
  ASSERT_EQ(RegEnumValues(kPrinters + "\\K", names, data), 0);
  EXPECT_EQ(data.back(), "COM2");
  ASSERT_EQ(key.SetDword("N", 0x0102A0FF), 0);
  RegEnumValues(kPrinters + "\\K", names, data);
  EXPECT_EQ(data.back(), "0102A0FF");
  EXPECT_EQ(RegReadString(kPrinters + "\\K", "N"), "");  // a number is no string
  EXPECT_EQ(RegReadDword(kPrinters + "\\K", "Port"), 0);
  EXPECT_EQ(RegEnumValues(kPrinters + "\\Empty", names, data), -1);
}

TEST_F(ConfixEntryModel, RenameRepointsTheEntrysLdnsAndMovesEveryValue) {
  clsOPOS d = Printer();
  Printer("ThermalS2");
  ASSERT_TRUE(d.AddLDN("Receipt"));
  ASSERT_TRUE(d.AddLDN("Kitchen"));
  clsOPOS other;
  other.Load("POSPrinter", "ThermalS2");
  ASSERT_TRUE(other.AddLDN("Other"));

  ASSERT_TRUE(d.RenameKey("Front")) << d.LastErrorText();
  EXPECT_EQ(d.mstrKeyName, "Front");
  EXPECT_EQ(RegReadString(kPrinters, "Receipt"), "Front");
  EXPECT_EQ(RegReadString(kPrinters, "Kitchen"), "Front");
  EXPECT_EQ(RegReadString(kPrinters, "Other"), "ThermalS2");
  EXPECT_FALSE(RegKeyExists(kPrinters + "\\ThermalS"));
  clsOPOS moved;
  moved.Load("POSPrinter", "Front");
  EXPECT_EQ(moved.mstrDeviceName, "ThermalS");
  EXPECT_EQ(moved.mlngBaudrate, 6);
  EXPECT_EQ(moved.mstrBaudrateSel, "3,4,5,6,7,8,10");
}

TEST_F(ConfixEntryModel, RenameOntoATakenNameIsRefusedAndChangesNothing) {
  clsOPOS d = Printer();
  Printer("Front");
  ASSERT_TRUE(d.AddLDN("Receipt"));
  EXPECT_FALSE(d.RenameKey("FRONT"));
  EXPECT_EQ(d.LastError(), EntryError::NameTaken);
  EXPECT_EQ(d.mstrKeyName, "ThermalS");
  EXPECT_EQ(RegReadString(kPrinters, "Receipt"), "ThermalS");
  EXPECT_TRUE(RegKeyExists(kPrinters + "\\ThermalS"));
  for (const char* bad : {"", "a\\b", "tab\there"}) {
    EXPECT_FALSE(d.RenameKey(bad)) << bad;
    EXPECT_EQ(d.LastError(), EntryError::BadName);
  }
  // A change of letter case of the entry's own name is a rename, not a clash.
  ASSERT_TRUE(d.RenameKey("THERMALS"));
  EXPECT_EQ(RegReadString(kPrinters, "Receipt"), "THERMALS");
  EXPECT_EQ(RegEnumSubKeys(kPrinters), (std::vector<std::string>{"Front", "THERMALS"}));
}

TEST_F(ConfixEntryModel, RemoveDeletesTheKeyAndExactlyItsOwnLdns) {
  clsOPOS d = Printer();
  Printer("ThermalS_2");
  clsOPOS other;
  other.Load("POSPrinter", "ThermalS_2");
  ASSERT_TRUE(other.AddLDN("Second"));
  ASSERT_TRUE(d.AddLDN("First"));
  ASSERT_TRUE(d.AddLDN("Also"));
  ASSERT_EQ(RegWriteString(kPrinters, "LowerCase", "thermals"), 0);  // not the same data
  d.Remove();
  EXPECT_EQ(d.mstrKeyName, "");
  EXPECT_FALSE(RegKeyExists(kPrinters + "\\ThermalS"));
  EXPECT_EQ(Values(kPrinters), (std::vector<std::string>{"Second", "LowerCase"}));
  // An emptied entry removes nothing more.
  EXPECT_FALSE(d.Remove());
  EXPECT_EQ(d.LastError(), EntryError::NoClass);
  EXPECT_EQ(Values(kPrinters).size(), 2u);
  EXPECT_TRUE(RegKeyExists(kPrinters + "\\ThermalS_2"));
}

TEST_F(ConfixEntryModel, AnEntryWithSubkeysIsRenamedAndRemovedWhole) {
  clsOPOS d = Printer();
  ASSERT_TRUE(d.AddLDN("Receipt"));
  ASSERT_EQ(RegWriteString(kPrinters + "\\ThermalS\\Logos\\Shop", "File", "shop.bmp"), 0);
  ASSERT_EQ(RegWriteString(kPrinters + "\\ThermalS", "Extra", "kept"), 0);
  ASSERT_TRUE(d.RenameKey("Front")) << d.LastErrorText();
  EXPECT_EQ(RegEnumSubKeys(kPrinters), (std::vector<std::string>{"Front"}));
  EXPECT_EQ(RegReadString(kPrinters + "\\Front\\Logos\\Shop", "File"), "shop.bmp");
  EXPECT_EQ(RegReadString(kPrinters + "\\Front", "Extra"), "kept");
  EXPECT_EQ(RegReadDword(kPrinters + "\\Front", "Baudrate"), 6);
  EXPECT_EQ(RegReadString(kPrinters, "Receipt"), "Front");
  // A change of letter case only keeps the subtree too.
  ASSERT_TRUE(d.RenameKey("FRONT")) << d.LastErrorText();
  EXPECT_EQ(RegEnumSubKeys(kPrinters), (std::vector<std::string>{"FRONT"}));
  EXPECT_EQ(RegReadString(kPrinters + "\\FRONT\\Logos\\Shop", "File"), "shop.bmp");
  EXPECT_FALSE(RegKeyExists("Software\\OLEforRetail\\ServiceOPOS\\Renaming"));

  ASSERT_TRUE(d.Remove()) << d.LastErrorText();
  EXPECT_TRUE(RegEnumSubKeys(kPrinters).empty());
  EXPECT_TRUE(Values(kPrinters).empty());
}

TEST_F(ConfixEntryModel, LdnsOverwriteMoveAndRefuseNamesOfDeviceKeys) {
  clsOPOS a = Printer();
  clsOPOS b = Printer("Other");
  ASSERT_TRUE(a.AddLDN("Till"));
  ASSERT_TRUE(b.AddLDN("Till"));  // moved to b
  EXPECT_EQ(a.OwnLDNs().size(), 0u);
  EXPECT_EQ(b.OwnLDNs(), (std::vector<std::string>{"Till"}));

  EXPECT_FALSE(a.AddLDN("other"));  // would hide the entry Other from the service objects
  EXPECT_EQ(a.LastError(), EntryError::SameAsKeyName);
  EXPECT_EQ(a.LastErrorText(),
            "Cannot register Logical Device Name because Device Name and Logical Device Name are "
            "the same.");
  EXPECT_FALSE(a.AddLDN("ThermalS"));
  EXPECT_FALSE(a.AddLDN(""));

  ASSERT_TRUE(b.RenameLDN("Till", "Counter"));
  EXPECT_EQ(b.OwnLDNs(), (std::vector<std::string>{"Counter"}));
  EXPECT_FALSE(b.RenameLDN("Counter", "ThermalS"));
  EXPECT_EQ(b.OwnLDNs(), (std::vector<std::string>{"Counter"}));  // nothing removed
  b.RemoveLDN("Counter");
  EXPECT_TRUE(b.OwnLDNs().empty());

  std::vector<std::string> names, values;
  EXPECT_EQ(a.GetLDN(names, values), 0);
  clsOPOS no_class;
  EXPECT_FALSE(no_class.AddLDN("X"));
  EXPECT_EQ(no_class.LastError(), EntryError::NoClass);
}

TEST_F(ConfixEntryModel, AnEntryWithoutClassOrKeyIsNeverWritten) {
  clsOPOS d;
  d.mstrKeyName = "ThermalS";
  d.mstrDeviceClass = "posprinter";  // the class text is compared exactly
  EXPECT_FALSE(d.Save(true));
  EXPECT_EQ(d.LastError(), EntryError::NoClass);
  d.mstrDeviceClass = "POSPrinter";
  d.mstrKeyName = "";
  EXPECT_FALSE(d.Save(false));
  EXPECT_TRUE(RegEnumSubKeys("Software\\OLEforRetail\\ServiceOPOS").empty());
}

TEST_F(ConfixEntryModel, TheUniqueNameSearchReportsAStoreItCannotOpenInsteadOfLooping) {
  reg::UseDatabase(registry_.Dir());  // a directory is no database
  clsOPOS d;
  d.mstrDeviceClass = "POSPrinter";
  d.mstrKeyName = "ThermalS";
  EXPECT_FALSE(d.Save(true));
  EXPECT_EQ(d.LastError(), EntryError::StoreFailure);
  EXPECT_EQ(d.LastStatus(), reg::kBadDatabase);
  EXPECT_NE(d.LastErrorText().find(registry_.Dir()), std::string::npos);
  reg::UseDatabase(registry_.DatabasePath());
}

TEST_F(ConfixEntryModel, TheTempCatalogueListsDeviceNamesWithTheirTypes) {
  clsOPOS d;
  EXPECT_TRUE(d.ListPrinter("ThermalS", "Thermal"));
  EXPECT_TRUE(d.ListPrinter("StandardS", "Standard"));
  std::vector<std::string> names, types;
  EXPECT_EQ(d.GetListPrinter(names, types), 2);
  EXPECT_EQ(types, (std::vector<std::string>{"Thermal", "Standard"}));
  RegRemoveKey(kTempCataloguePath);
  EXPECT_EQ(d.GetListPrinter(names, types), 0);
}

}  // namespace
}  // namespace confix
