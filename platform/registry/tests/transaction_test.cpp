// A caller's transaction: all of its changes or none, also when the process is killed in
// the middle of them, and nested use.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/registry.h"
#include "platform/registry_fault.h"
#include "registry_fixture.h"

namespace platform::registry {
namespace {

using TransactionTest = RegistryTest;

std::string ReadText(const char* path, const char* name) {
  Key key;
  std::string text;
  if (Key::Open(Root::LocalMachine, path, Access::Read, key) != kSuccess ||
      key.QueryString(name, text) != kSuccess) {
    return "<missing>";
  }
  return text;
}

Status WriteText(const char* path, const char* name, const char* text) {
  Key key;
  Status status = Key::Create(Root::LocalMachine, path, key);
  return status != kSuccess ? status : key.SetString(name, text);
}

TEST_F(TransactionTest, ChangesAreKeptOnlyByCommitAndNestedOnesUndoOnlyThemselves) {
  ASSERT_EQ(WriteText("A", "V", "old"), kSuccess);
  {
    Transaction tx;
    ASSERT_EQ(tx.Begun(), kSuccess);
    ASSERT_EQ(WriteText("A", "V", "new"), kSuccess);
    ASSERT_EQ(WriteText("A\\B", "W", "made"), kSuccess);
    EXPECT_EQ(ReadText("A", "V"), "new");  // the transaction sees its own changes
  }  // left without Commit
  EXPECT_EQ(ReadText("A", "V"), "old");
  EXPECT_EQ(ReadText("A\\B", "W"), "<missing>");

  {
    Transaction outer;
    ASSERT_EQ(WriteText("A", "V", "outer"), kSuccess);
    {
      Transaction inner;
      ASSERT_EQ(inner.Begun(), kSuccess);
      ASSERT_EQ(WriteText("A", "Inner", "dropped"), kSuccess);
    }
    {
      Transaction inner;
      ASSERT_EQ(WriteText("A", "Kept", "yes"), kSuccess);
      ASSERT_EQ(inner.Commit(), kSuccess);
    }
    // A call failing half-way undoes only its own rows; the transaction goes on.
    InjectFaultAtChange(2, InjectedFault::Fail);
    Key half;
    EXPECT_EQ(Key::Create(Root::LocalMachine, "A\\X\\Y", half), kBadDatabase);
    ASSERT_EQ(outer.Commit(), kSuccess);
    EXPECT_EQ(outer.Commit(), kSuccess);  // once is enough; again changes nothing
  }
  EXPECT_EQ(ReadText("A", "V"), "outer");
  EXPECT_EQ(ReadText("A", "Inner"), "<missing>");
  EXPECT_EQ(ReadText("A", "Kept"), "yes");
  Key x;
  EXPECT_EQ(Key::Open(Root::LocalMachine, "A\\X", Access::Read, x), kNotFound);

  {
    Transaction outer;
    {
      Transaction inner;
      ASSERT_EQ(WriteText("A", "V", "inner"), kSuccess);
      ASSERT_EQ(inner.Commit(), kSuccess);
    }
  }  // the outer one decides
  EXPECT_EQ(ReadText("A", "V"), "outer");
}

TEST_F(TransactionTest, AProcessKilledInTheMiddleLeavesNothingOfItsChanges) {
  ASSERT_EQ(WriteText("A", "V", "old"), kSuccess);
  for (uint32_t kill_at = 1; kill_at <= 3; ++kill_at) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      InjectFaultAtChange(kill_at, InjectedFault::Kill);
      Transaction tx;
      WriteText("A", "V", "new");  // change 1
      WriteText("A\\B", "W", "x");  // changes 2 (the key B) and 3
      tx.Commit();
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << kill_at;
    EXPECT_EQ(ReadText("A", "V"), "old") << kill_at;
    EXPECT_EQ(ReadText("A\\B", "W"), "<missing>") << kill_at;
  }
}

TEST_F(TransactionTest, AnInjectedFailureFailsTheCallAndTheRestStaysUndone) {
  ASSERT_EQ(WriteText("A", "V", "old"), kSuccess);
  InjectFaultAtChange(2, InjectedFault::Fail);
  {
    Transaction tx;
    EXPECT_EQ(WriteText("A", "V", "new"), kSuccess);
    EXPECT_EQ(WriteText("A", "W", "new"), kBadDatabase);
    EXPECT_NE(LastErrorMessage().find("injected"), std::string::npos);
  }
  EXPECT_EQ(ReadText("A", "V"), "old");
  EXPECT_EQ(WriteText("A", "W", "later"), kSuccess);  // a fault happens once
}

TEST_F(TransactionTest, ADamagedStoreRefusesToBegin) {
  UseDatabase(dir_);  // a directory
  Transaction tx;
  EXPECT_EQ(tx.Begun(), kBadDatabase);
  EXPECT_EQ(tx.Commit(), kBadDatabase);
  UseDatabase(db_path_);
  Transaction next;  // the lock was not kept by the failed one
  EXPECT_EQ(next.Begun(), kSuccess);
}

}  // namespace
}  // namespace platform::registry
