// Runs the oposreg program against a temporary registry file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "classes_root.h"

extern char** environ;

namespace automation_test {
namespace {

struct RunResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class Oposreg : public ::testing::Test {
 protected:
  // oposreg --registry <db> args..., with standard input from `input`.
  RunResult Run(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {OPOSREG_PATH, "--registry", registry_.DatabasePath()});
    return RunRaw(args, input);
  }

  RunResult RunRaw(const std::vector<std::string>& args, const std::string& input = "") {
    std::string in_path = registry_.Dir() + "/stdin", out_path = registry_.Dir() + "/stdout",
                err_path = registry_.Dir() + "/stderr";
    WriteFile(in_path, input);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in_path.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    RunResult result;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
      ADD_FAILURE() << "cannot start " << argv[0];
      return result;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadFile(out_path);
    result.err = ReadFile(err_path);
    return result;
  }

  TempRegistry registry_;
};

TEST_F(Oposreg, RegistersListsAndUnregistersALibrary) {
  RunResult r = Run({"register", TEST_SERVER_PATH});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("OposTest.Calculator"), std::string::npos) << r.out;

  r = Run({"list"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("OposTest.Calculator  {6A0D1C52-3B7E-4F21-9C3A-1D5E7F90AB01}  /"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("OposTest.Echo"), std::string::npos);
  EXPECT_EQ(r.out.find("(missing)"), std::string::npos);
  // The program wrote the file this process reads.
  EXPECT_EQ(ClassesRootDefault("OposTest.Echo"), "Automation test echo");

  r = Run({"unregister", TEST_SERVER_PATH});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  r = Run({"list"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ClassesRootDefault("OposTest.Echo"), "<missing>");
}

TEST_F(Oposreg, ReportsLibrariesThatCannotBeRegistered) {
  std::string absent = registry_.Dir() + "/absent.so";
  RunResult r = Run({"register", absent, TEST_SERVER_PATH});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find(absent), std::string::npos) << r.err;
  // The good library in the same call is still registered.
  EXPECT_EQ(ClassesRootDefault("OposTest.Calculator\\CLSID"),
            "{6A0D1C52-3B7E-4F21-9C3A-1D5E7F90AB01}");

  r = Run({"register", NO_EXPORTS_PATH});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("DllRegisterServer"), std::string::npos) << r.err;

  std::string not_a_library = registry_.Dir() + "/text.so";
  WriteFile(not_a_library, "hello");
  r = Run({"unregister", not_a_library});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("cannot load"), std::string::npos) << r.err;

  // A registration whose library is gone is marked in the list.
  WriteClassesRootDefault("CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32", absent);
  r = Run({"list"});
  EXPECT_NE(r.out.find("-  {11111111-2222-3333-4444-555555555555}  " + absent + "  (missing)"),
            std::string::npos)
      << r.out;
}

TEST_F(Oposreg, ImportAndExportMoveAConfiguration) {
  std::string file = registry_.Dir() + "/device.reg";
  WriteFile(file,
            "REGEDIT4\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\Receipt]\n"
            "@=\"RecPrinter.POSPrinter.SO\"\n"
            "\"Port\"=\"COM1\"\n"
            "\"Baudrate\"=dword:00002580\n\n");
  RunResult r = Run({"import", file});
  ASSERT_EQ(r.exit_code, 0) << r.err;

  r = Run({"export", "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("REGEDIT4", 0), 0u);
  EXPECT_NE(r.out.find("\"Port\"=\"COM1\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"Baudrate\"=dword:00002580"), std::string::npos) << r.out;

  // The export, fed to another store through standard input, reproduces it.
  std::string exported = r.out;
  std::string other = registry_.Dir() + "/other.db";
  r = RunRaw({OPOSREG_PATH, "--registry", other, "import", "-"}, exported);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  r = RunRaw({OPOSREG_PATH, "--registry", other, "export",
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail"});
  EXPECT_EQ(r.out, exported);

  r = Run({"export", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Nothing"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("cannot export"), std::string::npos);
}

TEST_F(Oposreg, RejectsBadImportsAndUsage) {
  std::string file = registry_.Dir() + "/bad.reg";
  WriteFile(file, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"Port\"=dword:nothex\n");
  RunResult r = Run({"import", file});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("import of " + file + " failed"), std::string::npos) << r.err;
  EXPECT_EQ(Run({"export", "HKEY_LOCAL_MACHINE\\SOFTWARE\\X"}).exit_code, 1);  // nothing written

  r = Run({"import", registry_.Dir() + "/none.reg"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("cannot read"), std::string::npos);

  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {}, {"frobnicate"}, {"register"}, {"import"}, {"import", "a", "b"}, {"--bogus", "list"}}) {
    r = Run(args);
    EXPECT_EQ(r.exit_code, 2) << (args.empty() ? "" : args[0]);
    EXPECT_NE(r.err.find("usage: oposreg"), std::string::npos);
  }
  r = RunRaw({OPOSREG_PATH, "--registry"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("--registry needs a file name"), std::string::npos);
  r = RunRaw({OPOSREG_PATH, "--help"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("register LIBRARY"), std::string::npos);
  r = RunRaw({OPOSREG_PATH, "--version"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out.rfind("oposreg ", 0), 0u) << r.out;
}

}  // namespace
}  // namespace automation_test
