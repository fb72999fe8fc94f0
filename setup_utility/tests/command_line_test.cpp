// The command line: verbs on a temporary registry, in-process, and the program itself
// running a verb without a display.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cls_opos.h"
#include "command_line.h"
#include "mod_regedit.h"
#include "platform/registry.h"
#include "platform/registry_fault.h"
#include "test_support/process.h"
#include "test_support/temp_registry.h"

namespace confix {
namespace {

using namespace modRegedit;
namespace reg = platform::registry;

// Everything Confix keeps, as REGEDIT4 text.
std::string Snapshot() {
  std::string text;
  reg::Status status = reg::ExportRegedit("HKEY_LOCAL_MACHINE\\Software\\OLEforRetail", text);
  return status == reg::kSuccess ? text : "export failed: " + std::to_string(status);
}

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

// Each change runs in a child that is killed (SIGKILL) just before its 1st, 2nd, 3rd ...
// row change in the store, until one run gets through: every killed run must leave the
// store exactly as it was, the run that gets through must change it.
TEST_F(ConfixCommandLine, EveryChangeIsWholeOrNotAtAllWhenKilledAtAnyPointOfIt) {
  const std::vector<std::vector<std::string>> changes = {
      {"add", "ThermalS"},
      {"add-ldn", "POSPrinter", "ThermalS", "Till"},
      {"add-ldn", "POSPrinter", "ThermalS", "Kitchen"},
      {"rename-key", "POSPrinter", "ThermalS", "Front"},
      {"rename-ldn", "POSPrinter", "Front", "Till", "Counter"},
      {"set", "POSPrinter", "Front", "Port=COM2", "Baudrate=7", "Stop=2"},
      {"remove-ldn", "POSPrinter", "Kitchen"},
      {"remove", "POSPrinter", "Front"},
  };
  for (const std::vector<std::string>& change : changes) {
    const std::string before = Snapshot();
    bool completed = false;
    for (uint32_t kill_at = 1; !completed && kill_at < 500; ++kill_at) {
      pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        reg::InjectFaultAtChange(kill_at, reg::InjectedFault::Kill);
        _exit(Run(change));
      }
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      if (WIFSIGNALED(status)) {
        ASSERT_EQ(Snapshot(), before) << change[0] << " killed before change " << kill_at;
      } else {
        ASSERT_EQ(WEXITSTATUS(status), 0) << change[0];
        completed = true;
        EXPECT_NE(Snapshot(), before) << change[0];
      }
    }
    ASSERT_TRUE(completed) << change[0];
  }
  EXPECT_EQ(RegEnumSubKeys(kPosPrinterKeyPath), std::vector<std::string>{});
  std::vector<std::string> names, values;
  EXPECT_EQ(RegEnumValues(kPosPrinterKeyPath, names, values), -1);  // no LDN left behind
}

TEST_F(ConfixCommandLine, AStoreFailingInTheMiddleOfAChangeIsReportedAndKeepsItsEntries) {
  ASSERT_EQ(Run({"add", "ThermalS"}), 0);
  ASSERT_EQ(Run({"add-ldn", "POSPrinter", "ThermalS", "Till"}), 0);
  const std::string before = Snapshot();
  for (std::vector<std::string> change :
       {std::vector<std::string>{"set", "POSPrinter", "ThermalS", "Port=COM2", "Baudrate=7"},
        {"rename-key", "POSPrinter", "ThermalS", "Front"},
        {"rename-ldn", "POSPrinter", "ThermalS", "Till", "Counter"},
        {"remove", "POSPrinter", "ThermalS"},
        {"add", "ThermalS"}}) {
    reg::InjectFaultAtChange(2, reg::InjectedFault::Fail);
    EXPECT_EQ(Run(change), 1) << change[0];
    EXPECT_NE(err_.find("injected fault"), std::string::npos) << err_;
    EXPECT_EQ(out_, "") << change[0];
    EXPECT_EQ(Snapshot(), before) << change[0];
  }
  reg::InjectFaultAtChange(0, reg::InjectedFault::Fail);
}

TEST_F(ConfixCommandLine, ADamagedStoreIsReportedNotListedAsEmpty) {
  ASSERT_EQ(Run({"add", "ThermalS"}), 0);
  reg::UseDatabase(registry_.Dir() + "/other.sqlite");  // closes the store before it is damaged
  std::ofstream(registry_.DatabasePath(), std::ios::binary | std::ios::trunc)
      << std::string(8192, '\x5a');
  reg::UseDatabase(registry_.DatabasePath());
  for (std::vector<std::string> verb : {std::vector<std::string>{"list"}, {"ldns"}, {"classes"},
                                        {"show", "POSPrinter", "ThermalS"}}) {
    EXPECT_EQ(Run(verb), 1) << verb[0];
    EXPECT_EQ(out_, "") << verb[0];
    EXPECT_NE(err_.find(registry_.DatabasePath()), std::string::npos) << err_;
    EXPECT_NE(err_.find("not a database"), std::string::npos) << err_;
  }
}

// A store the user may read but not write: as root the program runs as nobody.
TEST_F(ConfixCommandLine, AReadOnlyStoreIsReportedAndNothingIsSaidToBeRemoved) {
  ASSERT_EQ(Run({"add", "ThermalS"}), 0);
  ASSERT_EQ(Run({"add-ldn", "POSPrinter", "ThermalS", "Till"}), 0);
  const std::string before = Snapshot();
  const std::string dir = registry_.Dir();
  const std::string database = registry_.DatabasePath();
  std::string as_user = std::string(OPOS_BUILD_BIN) + "/Confix --registry " + database + " ";
  if (geteuid() == 0) {
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    as_user = "setpriv --reuid=65534 --regid=65534 --clear-groups " + as_user;
  } else {
    for (const std::string& f : {std::string(""), std::string("-wal"), std::string("-shm")}) {
      chmod((database + f).c_str(), 0444);
    }
    ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
  }
  for (const char* verb : {"remove-ldn POSPrinter Till", "remove POSPrinter ThermalS",
                           "rename-ldn POSPrinter ThermalS Till Counter",
                           "set POSPrinter ThermalS Port=COM3"}) {
    const test_support::CommandRun run = test_support::RunCommand(as_user + verb);
    EXPECT_EQ(run.exit_code, 1) << verb << ": " << run.output;
    EXPECT_EQ(run.output.find("removed"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("No rights to write the device entries in the registry store " +
                              database),
              std::string::npos)
        << run.output;
  }
  chmod(dir.c_str(), 0700);
  reg::UseDatabase(database);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(ConfixCommandLine, SetRefusesCodesNoDeviceCanUseAndKeepsTheOldValue) {
  ASSERT_EQ(Run({"add", "ThermalS"}), 0);
  const std::string key = std::string(kPosPrinterKeyPath) + "\\ThermalS";
  ASSERT_EQ(Run({"set", "POSPrinter", "ThermalS", "Baudrate=9", "Stop=2", "Parity=2"}), 0) << err_;
  const std::string before = Snapshot();
  const std::pair<const char*, const char*> refused[] = {
      {"Baudrate=9600", "3 = 1200, 4 = 2400, 5 = 4800, 6 = 9600, 7 = 19200, 8 = 38400, 9 = 57600, "
                        "10 = 115200 bps"},
      {"Baudrate=99", "the codes are 3 = 1200"},
      {"Baudrate=-1", "the codes are 3 = 1200"},
      {"Baudrate=x9", "takes a number, not 'x9'"},
      {"Baudrate=7.5", "takes a number"},
      {"Parity=7", "0 = none, 1 = even, 2 = odd"},
      {"Stop=3", "1 = one stop bit, 2 = two stop bits"},
      {"BitLength=8", "0 = 7 bits, 1 = 8 bits"},
      {"Port=", "Port must name the port"},
  };
  for (const auto& [assignment, says] : refused) {
    EXPECT_EQ(Run({"set", "POSPrinter", "ThermalS", "InputBuf=1", assignment}), 2) << assignment;
    EXPECT_NE(err_.find(says), std::string::npos) << err_;
    EXPECT_EQ(out_, "");
  }
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(RegReadDword(key, "Baudrate"), 9);
  EXPECT_EQ(RegReadDword(key, "Stop"), 2);
}

TEST_F(ConfixCommandLine, ExtraArgumentsAndAnotherFilesDeviceAreRefused) {
  const std::string thermal = std::string(OPOS_BUILD_BIN) + "/Thermal.inf";
  EXPECT_EQ(Run({"add", "StandardS", "--inf", thermal}), 1);
  EXPECT_NE(err_.find(thermal + " describes ThermalS in its section SMAIN, not StandardS"),
            std::string::npos)
      << err_;
  ASSERT_EQ(Run({"add", "ThermalS"}), 0);
  for (std::vector<std::string> args :
       {std::vector<std::string>{"add", "ThermalS", "extra"},
        {"add", "ThermalS", "--inf", thermal, "extra"},
        {"add", "ThermalS", "--file", thermal},
        {"remove", "POSPrinter", "ThermalS", "extra"},
        {"rename-key", "POSPrinter", "ThermalS", "A", "B"},
        {"add-ldn", "POSPrinter", "ThermalS", "Till", "Kitchen"},
        {"show", "POSPrinter", "ThermalS", "Port"},
        {"list", "POSPrinter", "CashDrawer"},
        {"classes", "POSPrinter"}}) {
    EXPECT_EQ(Run(args), 2) << args[0] << " " << args.back();
    EXPECT_NE(err_.find("Confix: usage: Confix " + args[0]), std::string::npos) << err_;
  }
  EXPECT_EQ(RegEnumSubKeys(kPosPrinterKeyPath), std::vector<std::string>{"ThermalS"});
  // A logical device name the store cannot hold is a bad name, not a store failure.
  EXPECT_EQ(Run({"add-ldn", "POSPrinter", "ThermalS", "a\nb"}), 1);
  EXPECT_NE(err_.find("A logical device name must have 1 to 255 characters"), std::string::npos)
      << err_;
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
