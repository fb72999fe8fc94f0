// Two writer processes and a reader process share one database file.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "registry_fixture.h"

namespace platform::registry {
namespace {

using TwoProcessTest = RegistryTest;

constexpr int kBlocks = 40;
constexpr int kValuesPerBlock = 8;

std::string BlockText(char writer, int block) {
  std::string text = "REGEDIT4\n\n[HKLM\\Stress\\" + std::string(1, writer) + "\\Block" +
                     std::to_string(block) + "]\n";
  char number[16];
  std::snprintf(number, sizeof number, "dword:%08x", block);
  for (int v = 0; v < kValuesPerBlock; ++v) {
    text += "\"V" + std::to_string(v) + "\"=" + number + "\n";
  }
  return text;
}

// Runs in the child: one import per block (all values of a block in one transaction) and
// one separate value per block in a key both writers share.
int RunWriter(char writer) {
  Key shared;
  if (Key::Create(Root::LocalMachine, "Stress\\Shared", shared) != kSuccess) return 2;
  for (int block = 0; block < kBlocks; ++block) {
    if (ImportRegedit(BlockText(writer, block)) != kSuccess) return 3;
    if (shared.SetDword(std::string(1, writer) + std::to_string(block),
                        static_cast<uint32_t>(block)) != kSuccess) {
      return 4;
    }
  }
  return 0;
}

// Every block section in one export must hold all its values.
int CountTornBlocksInExport(int& blocks_seen) {
  std::string text;
  if (ExportRegedit("HKLM\\Stress", text) != kSuccess) return 1000;
  std::istringstream lines(text);
  std::string line;
  int torn = 0, values = -1;
  auto finish = [&] {
    if (values >= 0 && values != kValuesPerBlock) ++torn;
    if (values >= 0) ++blocks_seen;
    values = -1;
  };
  while (std::getline(lines, line)) {
    if (!line.empty() && line[0] == '[') {
      finish();
      if (line.find("\\Block") != std::string::npos) values = 0;
    } else if (!line.empty() && line[0] == '"' && values >= 0) {
      ++values;
    }
  }
  finish();
  return torn;
}

// Blocks seen through key handles: a visible block key must already have all its values.
int CountTornBlocksThroughKeys(char writer) {
  Key parent;
  if (Key::Open(Root::LocalMachine, std::string("Stress\\") + writer, Access::Read, parent) !=
      kSuccess) {
    return 0;  // not created yet
  }
  int torn = 0;
  std::string name;
  for (uint32_t i = 0; parent.EnumSubKey(i, name) == kSuccess; ++i) {
    Key block;
    uint32_t values = 0;
    if (parent.OpenSubKey(name, Access::Read, block) != kSuccess ||
        block.QueryInfo(nullptr, &values) != kSuccess || values != kValuesPerBlock) {
      ++torn;
    }
  }
  return torn;
}

TEST_F(TwoProcessTest, ConcurrentWritersLoseNothingAndReaderNeverSeesHalfABlock) {
  Key stress;
  ASSERT_EQ(Key::Create(Root::LocalMachine, "Stress", stress), kSuccess);
  stress.Close();
  UseDatabase(db_path_);  // no open connection may cross fork()

  std::vector<pid_t> writers;
  for (char writer : {'A', 'B'}) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(RunWriter(writer));
    writers.push_back(pid);
  }

  // Read while the writers run, and once more after both have finished.
  std::vector<int> statuses(writers.size(), -1);
  auto any_running = [&] {
    bool running = false;
    for (size_t i = 0; i < writers.size(); ++i) {
      if (statuses[i] != -1) continue;
      int status = 0;
      if (waitpid(writers[i], &status, WNOHANG) == writers[i]) {
        statuses[i] = status;
      } else {
        running = true;
      }
    }
    return running;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  int torn = 0, reads = 0, blocks_seen = 0;
  bool running = true;
  while (running) {
    running = any_running();
    torn += CountTornBlocksInExport(blocks_seen);
    torn += CountTornBlocksThroughKeys('A') + CountTornBlocksThroughKeys('B');
    ++reads;
    if (running && std::chrono::steady_clock::now() > deadline) {
      for (size_t i = 0; i < writers.size(); ++i) {
        if (statuses[i] == -1) kill(writers[i], SIGKILL);
      }
      for (size_t i = 0; i < writers.size(); ++i) {
        if (statuses[i] == -1) waitpid(writers[i], &statuses[i], 0);
      }
      FAIL() << "writers did not finish within 120 s";
    }
  }
  EXPECT_EQ(torn, 0) << "after " << reads << " reads";
  EXPECT_GT(blocks_seen, 0);
  for (int status : statuses) EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  for (char writer : {'A', 'B'}) {
    Key parent;
    ASSERT_EQ(Key::Open(Root::LocalMachine, std::string("Stress\\") + writer, Access::Read, parent),
              kSuccess);
    uint32_t subkeys = 0;
    ASSERT_EQ(parent.QueryInfo(&subkeys, nullptr), kSuccess);
    EXPECT_EQ(subkeys, static_cast<uint32_t>(kBlocks)) << writer;
    for (int block = 0; block < kBlocks; ++block) {
      Key key;
      ASSERT_EQ(parent.OpenSubKey("Block" + std::to_string(block), Access::Read, key), kSuccess);
      uint32_t number = 0;
      EXPECT_EQ(key.QueryDword("V7", number), kSuccess);
      EXPECT_EQ(number, static_cast<uint32_t>(block));
    }
  }
  Key shared;
  ASSERT_EQ(Key::Open(Root::LocalMachine, "Stress\\Shared", Access::Read, shared), kSuccess);
  uint32_t values = 0;
  ASSERT_EQ(shared.QueryInfo(nullptr, &values), kSuccess);
  EXPECT_EQ(values, static_cast<uint32_t>(2 * kBlocks));
}

}  // namespace
}  // namespace platform::registry
