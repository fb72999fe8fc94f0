// Runs the opostest program on scripts against the test service object and compares its
// output lines exactly.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/event.h"
#include "temp_registry.h"

namespace {

using opos::control::testing::TempRegistry;

struct Child {
  pid_t pid = -1;
  int in = -1;   // the child's standard input
  int out = -1;  // the child's standard output
};

Child Spawn(const std::vector<std::string>& args) {
  int to_child[2], from_child[2];
  EXPECT_EQ(pipe(to_child), 0);
  EXPECT_EQ(pipe(from_child), 0);
  Child child;
  child.pid = fork();
  if (child.pid == 0) {
    dup2(to_child[0], STDIN_FILENO);
    dup2(from_child[1], STDOUT_FILENO);
    close(to_child[0]);
    close(to_child[1]);
    close(from_child[0]);
    close(from_child[1]);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(to_child[0]);
  close(from_child[1]);
  child.in = to_child[1];
  child.out = from_child[0];
  return child;
}

// Reads until end of output; returns the exit status.
int Finish(Child& child, std::string& output) {
  if (child.in >= 0) close(child.in);
  char buffer[4096];
  ssize_t got;
  while ((got = read(child.out, buffer, sizeof buffer)) > 0) output.append(buffer, got);
  close(child.out);
  int status = 0;
  waitpid(child.pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class OposTestProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_.AddDevice("POSPrinter", "TestPrinter", "Test.POSPrinter.SO");
    registry_.AddLogicalName("POSPrinter", "Unit1", "TestPrinter");
    registry_.AddDevice("CashDrawer", "TestDrawer", "Test.CashDrawer.SO");
  }

  int RunScript(const std::string& script, std::string& output) {
    const std::string path = registry_.Dir() + "/script.txt";
    std::ofstream(path, std::ios::binary) << script;
    Child child = Spawn({OPOSTEST_PATH, "--registry", registry_.DatabasePath(), path});
    return Finish(child, output);
  }

  TempRegistry registry_;
};

TEST_F(OposTestProgram, ScriptPrintsResultsPropertiesEventsAndMessageBoxes) {
  std::string output;
  const int status = RunScript(
      "# a printer session\n"
      "\n"
      "open p POSPrinter Unit1\n"
      "p ClaimDevice 1000\n"
      "p set DeviceEnabled 1\n"
      "p get deviceenabled\n"
      "p get 1000003\n"
      "p set 8016 0x38\n"
      "p get RecLineChars\n"
      "p PrintNormal 2 \"Tab\\there\\x1b|cA\\r\\n\\\"q\\\" \\\\ \\xff\"\n"
      "p DirectIO 6 0 \"\"\n"
      "p errorresponse 12\n"
      "p DirectIO 2 203 \"\"\n"
      "ui press cancel\n"
      "p DirectIO 3 0 \"Paper low?\"\n"
      "p DirectIO 4 880 \"\"\n"
      "p set AsyncMode 1\n"
      "p PrintNormal 2 \"async\"\n"
      "pump 300\n"
      "p Close\n"
      "p get State\n"
      "open d CashDrawer TestDrawer\n"
      "d Claim 0\n"
      "d set DeviceEnabled 1\n"
      "d OpenDrawer\n"
      "pump 200\n"
      "d get DrawerOpened\n",
      output);
  EXPECT_EQ(output,
            "p Open -> 0 rc=0 ext=0\n"
            "p ClaimDevice -> 0 rc=0 ext=0\n"
            "p DeviceEnabled := 1 rc=0\n"
            "p DeviceEnabled = 1\n"
            "p DeviceName = \"Test.POSPrinter.SO\"\n"
            "p RecLineChars := 56 rc=0\n"
            "p RecLineChars = 56\n"
            "p PrintNormal -> 0 rc=0 ext=0\n"
            "p DirectIO -> 0 rc=0 ext=0 pData=0 "
            "pString=\"Tab\\x09here\\x1B|cA\\x0D\\x0A\\\"q\\\" \\\\ \\xFF\"\n"
            "event p Error 111 203 2 -> 12\n"
            "p DirectIO -> 0 rc=0 ext=0 pData=12 pString=\"\"\n"
            "msgbox \"Test\" \"Paper low?\" -> Cancel\n"
            "p DirectIO -> 0 rc=0 ext=0 pData=2 pString=\"Paper low?\"\n"
            "beep 880 100\n"
            "p DirectIO -> 0 rc=0 ext=0 pData=880 pString=\"\"\n"
            "p AsyncMode := 1 rc=0\n"
            "p PrintNormal -> 0 rc=0 ext=0\n"
            "event p OutputComplete 1\n"
            "p Close -> 0 rc=0 ext=0\n"
            "p State = 1\n"
            "d Open -> 0 rc=0 ext=0\n"
            "d Claim -> 0 rc=0 ext=0\n"
            "d DeviceEnabled := 1 rc=0\n"
            "d OpenDrawer -> 0 rc=0 ext=0\n"
            "event d StatusUpdate 1\n"
            "d DrawerOpened = 1\n");
  EXPECT_EQ(status, 0);
}

TEST_F(OposTestProgram, LinesThatCannotRunPrintErrorsAndTheRestStillRuns) {
  std::string output;
  const int status = RunScript(
      "p ClaimDevice 1000\n"
      "open p POSPrinter NoSuchDevice\n"
      "open q Scanner Unit1\n"
      "open pump POSPrinter Unit1\n"
      "p ClaimDevice\n"
      "p PrintNormal \"2\" \"x\"\n"
      "p PrintNormal 2 \"unterminated\n"
      "p PrintNormal 2 \"bad \\q escape\"\n"
      "p Fly 1\n"
      "p get Colour\n"
      "p set RecLinesToPaperCut 3\n"
      "p set RecLineChars \"42\"\n"
      "p ClaimDevice 99999999999\n"
      "pump -5\n"
      "ui press Maybe\n"
      "p get ResultCode\n"
      "open p POSPrinter Unit1\n"
      "open p POSPrinter Unit1\n"
      "open p CashDrawer TestDrawer\n"
      "p ClaimDevice 0x10\n",
      output);
  EXPECT_EQ(output,
            "error 1: unknown command or device p\n"
            "p Open -> 109 rc=109 ext=0\n"
            "error 3: unknown device class Scanner (POSPrinter, CashDrawer or LineDisplay)\n"
            "error 4: the alias pump is a command name\n"
            "error 5: ClaimDevice takes 1 argument, got 0\n"
            "error 6: argument 1 (Station) of PrintNormal must be an integer\n"
            "error 7: unterminated string\n"
            "error 8: unknown escape \\q\n"
            "error 9: unknown method Fly of POSPrinter\n"
            "error 10: unknown property Colour of POSPrinter\n"
            "error 11: RecLinesToPaperCut is read-only\n"
            "error 12: RecLineChars takes an integer\n"
            "error 13: bad integer 99999999999\n"
            "error 14: usage: pump MS (0 to 86400000)\n"
            "error 15: unknown button Maybe (OK, Cancel, Yes, No, Start, Close or a number)\n"
            "p ResultCode = 109\n"
            "p Open -> 0 rc=0 ext=0\n"
            "p Open -> 106 rc=106 ext=0\n"
            "error 19: the alias p is a POSPrinter\n"
            "p ClaimDevice -> 0 rc=0 ext=0\n");
  EXPECT_EQ(status, 1);
}

TEST_F(OposTestProgram, EventsPrintWhileWaitingForInput) {
  Child child = Spawn({OPOSTEST_PATH, "--registry", registry_.DatabasePath()});
  const std::string lines =
      "open p POSPrinter Unit1\np ClaimDevice 1000\np set DeviceEnabled 1\n"
      "p DirectIO 1 24 \"\"\n";
  ASSERT_EQ(write(child.in, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));

  // No further input: the status update must appear on its own.
  std::string seen;
  const uint64_t deadline = platform::TickCountMs() + 10000;
  while (seen.find("event p StatusUpdate 24\n") == std::string::npos &&
         platform::TickCountMs() < deadline) {
    pollfd fd{child.out, POLLIN, 0};
    if (poll(&fd, 1, 100) > 0) {
      char buffer[512];
      ssize_t got = read(child.out, buffer, sizeof buffer);
      if (got <= 0) break;
      seen.append(buffer, got);
    }
  }
  EXPECT_NE(
      seen.find("p DirectIO -> 0 rc=0 ext=0 pData=24 pString=\"\"\nevent p StatusUpdate 24\n"),
      std::string::npos)
      << seen;
  std::string rest;
  EXPECT_EQ(Finish(child, rest), 0);
}

TEST_F(OposTestProgram, MissingScriptOrBadOptionIsAUsageError) {
  std::string output;
  Child missing = Spawn({OPOSTEST_PATH, registry_.Dir() + "/absent.txt"});
  EXPECT_EQ(Finish(missing, output), 2);
  Child directory = Spawn({OPOSTEST_PATH, registry_.Dir()});
  EXPECT_EQ(Finish(directory, output), 2);
  Child bad = Spawn({OPOSTEST_PATH, "--colour"});
  EXPECT_EQ(Finish(bad, output), 2);
  EXPECT_EQ(output, "");
  Child version = Spawn({OPOSTEST_PATH, "--version"});
  EXPECT_EQ(Finish(version, output), 0);
  EXPECT_EQ(output.rfind("opostest ", 0), 0u) << output;
}

TEST_F(OposTestProgram, OpenSaysWhyAndResultCodeMatchesWhatPrinted) {
  std::string output;
  EXPECT_EQ(RunScript("open p POSPrinter Unit1\n"
                      "open p POSPrinter Unit1\n"
                      "p get ResultCode\n",
                      output),
            0);
  EXPECT_EQ(output,
            "p Open -> 0 rc=0 ext=0\n"
            "p Open -> 106 rc=106 ext=0\n"
            "p ResultCode = 106\n");

  const std::string damaged = registry_.Dir() + "/damaged.sqlite";
  std::ofstream(damaged, std::ios::binary) << std::string(4096, '\x5A');
  const std::string script = registry_.Dir() + "/open.txt";
  std::ofstream(script, std::ios::binary) << "open p POSPrinter Unit1\n";
  Child child = Spawn({OPOSTEST_PATH, "--registry", damaged, script});
  output.clear();
  EXPECT_EQ(Finish(child, output), 0);
  EXPECT_EQ(output.rfind("p Open -> 109 rc=109 ext=0\np Open: the registry store cannot be read", 0),
            0u)
      << output;
  EXPECT_NE(output.find(damaged), std::string::npos) << output;
}

}  // namespace
