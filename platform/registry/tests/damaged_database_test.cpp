#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/registry.h"
#include "registry_fixture.h"

namespace platform::registry {
namespace {

using DamagedDatabaseTest = RegistryTest;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Every entry point reports kBadDatabase with a message naming the file.
void ExpectEveryCallFails(const std::string& path, const char* reason) {
  Key key;
  EXPECT_EQ(Key::Create(Root::LocalMachine, "A", key), kBadDatabase) << reason;
  std::string message = LastErrorMessage();
  EXPECT_NE(message.find(path), std::string::npos) << message;
  EXPECT_NE(message.find(reason), std::string::npos) << message;
  EXPECT_EQ(Key::Open(Root::LocalMachine, "", Access::Read, key), kBadDatabase);
  std::string text;
  EXPECT_EQ(ExportRegedit("", text), kBadDatabase);
  EXPECT_EQ(ImportRegedit("REGEDIT4\n[HKLM\\A]\n"), kBadDatabase);
}

std::string ValidRegistryBytes(const std::string& dir) {
  std::string path = dir + "/valid.sqlite";
  UseDatabase(path);
  Key key;
  EXPECT_EQ(Key::Create(Root::LocalMachine, "Data", key), kSuccess);
  for (int i = 0; i < 200; ++i)
    EXPECT_EQ(key.SetString("V" + std::to_string(i), std::string(100, 'x')), kSuccess);
  UseDatabase("");  // closing the last connection folds the log into the file
  return ReadBytes(path);
}

TEST_F(DamagedDatabaseTest, GarbageFileIsReportedAndLeftUntouched) {
  std::string garbage;
  for (int i = 0; i < 8192; ++i) garbage += static_cast<char>((i * 131 + 7) % 251);
  WriteBytes(db_path_, garbage);
  UseDatabase(db_path_);
  ExpectEveryCallFails(db_path_, "not a database");
  EXPECT_TRUE(ReadBytes(db_path_) == garbage);

  // Once the file is gone, the next call starts a fresh store: the failure is not sticky.
  std::filesystem::remove(db_path_);
  Key key;
  EXPECT_EQ(Key::Create(Root::LocalMachine, "A", key), kSuccess);
}

TEST_F(DamagedDatabaseTest, TruncatedAndOverwrittenDatabasesAreReported) {
  std::string valid = ValidRegistryBytes(dir_);
  ASSERT_GT(valid.size(), 3u * 4096);

  WriteBytes(db_path_, valid.substr(0, 4096 + 100));
  UseDatabase(db_path_);
  Key key;
  EXPECT_EQ(Key::Open(Root::LocalMachine, "Data", Access::Read, key), kBadDatabase);
  EXPECT_NE(LastErrorMessage().find(db_path_), std::string::npos);

  std::string overwritten = valid;
  for (size_t i = 4096; i < 3 * 4096; ++i) overwritten[i] = static_cast<char>(i * 7);
  WriteBytes(db_path_, overwritten);
  UseDatabase(db_path_);
  EXPECT_EQ(Key::Open(Root::LocalMachine, "Data", Access::Read, key), kBadDatabase);
  EXPECT_NE(LastErrorMessage().find("damaged"), std::string::npos) << LastErrorMessage();

  WriteBytes(db_path_, valid);
  UseDatabase(db_path_);
  std::string text;
  ASSERT_EQ(Key::Open(Root::LocalMachine, "data", Access::Read, key), kSuccess);
  EXPECT_EQ(key.QueryString("V199", text), kSuccess);
}

TEST_F(DamagedDatabaseTest, DirectoryIsNotADatabase) {
  std::filesystem::create_directory(db_path_);
  UseDatabase(db_path_);
  ExpectEveryCallFails(db_path_, "directory");
}

TEST_F(DamagedDatabaseTest, ForeignSqliteDatabaseIsRefusedAndNotModified) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(db_path_.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE orders(id INTEGER); INSERT INTO orders VALUES(42);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  std::string before = ReadBytes(db_path_);

  UseDatabase(db_path_);
  ExpectEveryCallFails(db_path_, "not a registry database");
  UseDatabase("");
  EXPECT_TRUE(ReadBytes(db_path_) == before);
}

TEST_F(DamagedDatabaseTest, MissingFolderIsReported) {
  std::string path = dir_ + "/no/such/folder/registry.sqlite";
  UseDatabase(path);
  Key key;
  EXPECT_EQ(Key::Create(Root::LocalMachine, "A", key), kBadDatabase);
  EXPECT_NE(LastErrorMessage().find(path), std::string::npos);
}

}  // namespace
}  // namespace platform::registry
