// The command line: verbs on a temporary registry, in-process, and the program itself
// running a verb without a display.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "cls_opos.h"
#include "command_line.h"
#include "mod_regedit.h"
#include "test_support/process.h"
#include "test_support/temp_registry.h"

namespace confix {
namespace {

using namespace modRegedit;

class ConfixCommandLine : public ::testing::Test {
 protected:
  // Runs one verb; returns the exit status, with standard output and error kept.
  int Run(std::vector<std::string> args) {
    std::ostringstream out, err;
    int status = RunCommandLine(args, OPOS_BUILD_BIN, out, err);
    out_ = out.str();
    err_ = err.str();
    return status;
  }
  test_support::TempRegistry registry_{"confix-cli"};
  std::string out_, err_;
};

TEST_F(ConfixCommandLine, AddListRenameAndLdnVerbsChangeTheRegistryAsTheWindowsDo) {
  ASSERT_EQ(Run({"add", "ThermalS"}), 0) << err_;
  EXPECT_EQ(out_, "POSPrinter\\ThermalS\n");
  ASSERT_EQ(Run({"add", "ThermalS"}), 0);
  EXPECT_EQ(out_, "POSPrinter\\ThermalS_2\n");
  ASSERT_EQ(Run({"add", "StandardN"}), 0);
  EXPECT_EQ(out_, "CashDrawer\\StandardN\n");

  ASSERT_EQ(Run({"add-ldn", "posprinter", "thermals", "Receipt"}), 0) << err_;
  EXPECT_EQ(RegReadString(kPosPrinterKeyPath, "Receipt"), "ThermalS");  // the stored spelling
  EXPECT_EQ(Run({"add-ldn", "POSPrinter", "ThermalS", "ThermalS_2"}), 1);
  EXPECT_NE(err_.find("Cannot register Logical Device Name because Device Name and Logical "
                      "Device Name are the same."),
            std::string::npos);

  ASSERT_EQ(Run({"rename-key", "POSPrinter", "ThermalS", "Front"}), 0) << err_;
  EXPECT_EQ(RegReadString(kPosPrinterKeyPath, "Receipt"), "Front");
  EXPECT_EQ(Run({"rename-key", "POSPrinter", "Front", "ThermalS_2"}), 1);
  EXPECT_NE(err_.find("already has that device name key"), std::string::npos);

  ASSERT_EQ(Run({"rename-ldn", "POSPrinter", "Front", "Receipt", "Till"}), 0) << err_;
  EXPECT_EQ(Run({"rename-ldn", "POSPrinter", "ThermalS_2", "Till", "X"}), 1);  // not its LDN
  ASSERT_EQ(Run({"list"}), 0);
  EXPECT_NE(out_.find("POSPrinter  Front  ThermalS  \"Thermal receipt printer, serial port\"  LDN: Till"),
            std::string::npos)
      << out_;
  EXPECT_NE(out_.find("CashDrawer  StandardN  StandardN"), std::string::npos);
  ASSERT_EQ(Run({"ldns", "POSPrinter"}), 0);
  EXPECT_EQ(out_, "POSPrinter  Till -> Front\n");

  ASSERT_EQ(Run({"remove-ldn", "POSPrinter", "Till"}), 0);
  EXPECT_EQ(Run({"remove-ldn", "POSPrinter", "Till"}), 1);
  ASSERT_EQ(Run({"remove", "POSPrinter", "Front"}), 0);
  EXPECT_FALSE(RegKeyExists(std::string(kPosPrinterKeyPath) + "\\Front"));
  EXPECT_EQ(Run({"remove", "POSPrinter", "Front"}), 1);
  ASSERT_EQ(Run({"classes"}), 0);
  EXPECT_EQ(out_, "POSPrinter  1 entries\nCashDrawer  1 entries\n");
}

TEST_F(ConfixCommandLine, SetChecksEveryAssignmentBeforeWritingAny) {
  ASSERT_EQ(Run({"add", "StandardS"}), 0);
  ASSERT_EQ(Run({"set", "CashDrawer", "StandardS", "Port=/dev/ttyUSB0", "Baudrate=7",
                 "ConnectorPinNo=5", "SOName=Standard.CashDrawer.SO"}),
            0)
      << err_;
  const std::string key = std::string(kCashDrawerKeyPath) + "\\StandardS";
  EXPECT_EQ(RegReadString(key, "Port"), "/dev/ttyUSB0");
  EXPECT_EQ(RegReadDword(key, "Baudrate"), 7);
  EXPECT_EQ(RegReadDword(key, "ConnectorPinNo"), 5);
  EXPECT_EQ(Run({"set", "CashDrawer", "StandardS", "Port=COM9", "Baudrate=fast"}), 2);
  EXPECT_EQ(Run({"set", "CashDrawer", "StandardS", "Port=COM9", "Colour=red"}), 2);
  EXPECT_EQ(RegReadString(key, "Port"), "/dev/ttyUSB0");
  ASSERT_EQ(Run({"show", "CashDrawer", "StandardS"}), 0);
  EXPECT_NE(out_.find("\nSOName=Standard.CashDrawer.SO\n"), std::string::npos);
  EXPECT_NE(out_.find("\nPulseOnTime=100\n"), std::string::npos);

  ASSERT_EQ(Run({"add", "ThermalU"}), 0);
  // A printer entry has no drawer values to set.
  EXPECT_EQ(Run({"set", "POSPrinter", "ThermalU", "OpenLevel=0"}), 2);
}

TEST_F(ConfixCommandLine, ExportAndImportCarryTheEntriesToAnotherStore) {
  ASSERT_EQ(Run({"add", "RevUduzo4P"}), 0);
  ASSERT_EQ(Run({"add-ldn", "POSPrinter", "RevUduzo4P", "Kitchen"}), 0);
  const std::string file = registry_.Dir() + "/devices.reg";
  ASSERT_EQ(Run({"export", file}), 0) << err_;
  ASSERT_EQ(Run({"remove", "POSPrinter", "RevUduzo4P"}), 0);
  ASSERT_EQ(Run({"import", file}), 0) << err_;
  clsOPOS d;
  d.Load("POSPrinter", "RevUduzo4P");
  EXPECT_EQ(d.mstrPort, "LPT1");
  EXPECT_EQ(d.OwnLDNs(), (std::vector<std::string>{"Kitchen"}));
  std::ofstream(file) << "not a registry file\n";
  EXPECT_EQ(Run({"import", file}), 1);
  EXPECT_EQ(Run({"import", registry_.Dir() + "/missing.reg"}), 1);
}

TEST_F(ConfixCommandLine, MistakesGetAClearMessageAndChangeNothing) {
  EXPECT_EQ(Run({"frobnicate"}), 2);
  EXPECT_NE(err_.find("unknown verb 'frobnicate'"), std::string::npos);
  EXPECT_EQ(Run({"add"}), 2);
  EXPECT_EQ(Run({"add", "ThermalX"}), 1);
  EXPECT_EQ(Run({"add", "ThermalX", "--inf", std::string(OPOS_BUILD_BIN) + "/Thermal.inf"}), 1);
  EXPECT_NE(err_.find("no link letter"), std::string::npos);
  EXPECT_EQ(Run({"list", "Scanner"}), 2);
  EXPECT_EQ(Run({"show", "POSPrinter", "Nothing"}), 1);
  EXPECT_EQ(Run({"show", "POSPrinter", "a\\b"}), 1);
  EXPECT_TRUE(RegEnumSubKeys(kPosPrinterKeyPath).empty());
}

TEST_F(ConfixCommandLine, TheProgramRunsVerbsWithoutADisplay) {
  const std::string confix = std::string(OPOS_BUILD_BIN) + "/Confix";
  auto run = [&](const std::string& args, std::string& output) {
    const test_support::CommandRun run = test_support::RunWithoutDisplay(confix, args);
    output = run.output;
    return run.exit_code;
  };
  std::string output;
  ASSERT_EQ(run("--version", output), 0) << output;
  EXPECT_EQ(output, "Confix 2.15\n");
  ASSERT_EQ(run("--help", output), 0);
  for (const char* verb : {"classes", "list", "ldns", "add", "remove", "rename-key", "add-ldn",
                           "remove-ldn", "rename-ldn", "show", "set", "test", "import", "export"}) {
    EXPECT_NE(output.find(std::string("  ") + verb + " "), std::string::npos) << verb;
  }
  ASSERT_EQ(run("--registry " + registry_.DatabasePath() + " add ThermalN", output), 0) << output;
  EXPECT_EQ(output, "POSPrinter\\ThermalN\n");
  EXPECT_EQ(RegReadString(std::string(kPosPrinterKeyPath) + "\\ThermalN", "IP"), "192.168.1.100");
}

}  // namespace
}  // namespace confix
