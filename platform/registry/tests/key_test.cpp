#include <string>
#include <thread>
#include <vector>

#include "platform/registry.h"
#include "registry_fixture.h"

namespace platform::registry {
namespace {

using KeyTest = RegistryTest;

std::vector<std::string> SubKeyNames(const Key& key, Status* end = nullptr) {
  std::vector<std::string> names;
  std::string name;
  Status status;
  for (uint32_t i = 0; (status = key.EnumSubKey(i, name)) == kSuccess; ++i) names.push_back(name);
  if (end != nullptr) *end = status;
  return names;
}

std::vector<std::string> ValueNames(const Key& key, Status* end = nullptr) {
  std::vector<std::string> names;
  std::string name;
  Status status;
  for (uint32_t i = 0; (status = key.EnumValue(i, name)) == kSuccess; ++i) names.push_back(name);
  if (end != nullptr) *end = status;
  return names;
}

TEST_F(KeyTest, CreateMakesMissingParentsAndOpenFindsThemInAnyCase) {
  Key created;
  ASSERT_EQ(
      Key::Create(Root::LocalMachine, "SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter", created),
      kSuccess);
  EXPECT_EQ(created.Path(), "SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter");

  Key opened;
  ASSERT_EQ(
      Key::Open(Root::LocalMachine, "Software\\oleforretail\\SERVICEOPOS", Access::Read, opened),
      kSuccess);
  EXPECT_EQ(opened.Path(), "SOFTWARE\\OLEforRetail\\ServiceOPOS");  // written case kept
  // Creating again in another case opens the same key and does not rename it.
  Key again;
  ASSERT_EQ(Key::Create(Root::LocalMachine, "software\\oleforretail", again), kSuccess);
  EXPECT_EQ(again.Path(), "SOFTWARE\\OLEforRetail");

  Key missing;
  EXPECT_EQ(Key::Open(Root::LocalMachine, "SOFTWARE\\Nobody", Access::Read, missing), kNotFound);
  EXPECT_FALSE(missing.IsOpen());
  // The roots are separate trees.
  EXPECT_EQ(Key::Open(Root::ClassesRoot, "SOFTWARE", Access::Read, missing), kNotFound);
}

TEST_F(KeyTest, InvalidPathsAreRefused) {
  Key key;
  EXPECT_EQ(Key::Create(Root::LocalMachine, "A\\\\B", key), kInvalidParameter);
  EXPECT_EQ(Key::Create(Root::LocalMachine, "\\A", key), kInvalidParameter);
  EXPECT_EQ(Key::Create(Root::LocalMachine, std::string(256, 'k'), key), kInvalidParameter);
  EXPECT_EQ(Key::Create(Root::LocalMachine, "line\nbreak", key), kInvalidParameter);
  EXPECT_FALSE(LastErrorMessage().empty());
  EXPECT_EQ(Key::Create(Root::LocalMachine, std::string(255, 'k') + "\\", key), kSuccess);
  EXPECT_EQ(Key::Open(static_cast<Root>(7), "", Access::Read, key), kInvalidParameter);

  // Nesting is limited like Windows' 512 levels, also when reached step by step.
  std::string deep = "d";
  for (int level = 2; level <= 512; ++level) deep += "\\d";
  Key deepest, child;
  ASSERT_EQ(Key::Create(Root::LocalMachine, deep, deepest), kSuccess);
  EXPECT_EQ(Key::Create(Root::LocalMachine, deep + "\\d", child), kInvalidParameter);
  EXPECT_EQ(deepest.CreateSubKey("d", child), kInvalidParameter);
  EXPECT_EQ(ImportRegedit("REGEDIT4\n[HKLM\\" + deep + "\\d]\n"), kInvalidParameter);
  Key top;
  ASSERT_EQ(Key::Open(Root::LocalMachine, "", Access::Write, top), kSuccess);
  EXPECT_EQ(top.DeleteTree("d"), kSuccess);
}

TEST_F(KeyTest, ValuesOfEachTypeReadBackAndTypeMismatchIsReported) {
  Key key;
  ASSERT_EQ(Key::Create(Root::LocalMachine, "Dev", key), kSuccess);
  ASSERT_EQ(key.SetString("Port", "COM1"), kSuccess);
  ASSERT_EQ(key.SetDword("Baudrate", 0xfffffff6u), kSuccess);
  ASSERT_EQ(key.SetBinary("Blob", {0, 1, 0xff}), kSuccess);
  ASSERT_EQ(key.SetString("", "RecPrinter.POSPrinter.SO"), kSuccess);
  ASSERT_EQ(key.SetString("Empty", ""), kSuccess);

  std::string text;
  uint32_t number = 0;
  Value value;
  EXPECT_EQ(key.QueryString("PORT", text), kSuccess);
  EXPECT_EQ(text, "COM1");
  EXPECT_EQ(key.QueryDword("baudrate", number), kSuccess);
  EXPECT_EQ(number, 0xfffffff6u);
  EXPECT_EQ(key.QueryValue("blob", value), kSuccess);
  EXPECT_EQ(value.type, ValueType::Binary);
  EXPECT_EQ(value.data, (std::vector<uint8_t>{0, 1, 0xff}));
  EXPECT_EQ(key.QueryString("", text), kSuccess);
  EXPECT_EQ(text, "RecPrinter.POSPrinter.SO");
  text = "x";
  EXPECT_EQ(key.QueryString("Empty", text), kSuccess);
  EXPECT_EQ(text, "");

  EXPECT_EQ(key.QueryDword("Port", number), kUnsupportedType);
  EXPECT_EQ(key.QueryString("Baudrate", text), kUnsupportedType);
  EXPECT_EQ(key.QueryString("Missing", text), kNotFound);
  EXPECT_EQ(key.SetValue("Short", Value{ValueType::Dword, {1, 2}}), kInvalidParameter);
  EXPECT_EQ(key.SetValue("Odd", Value{static_cast<ValueType>(7), {}}), kUnsupportedType);

  // A string stored by another program with its terminator reads back without it.
  ASSERT_EQ(key.SetValue("Terminated", Value{ValueType::String, {'A', 0}}), kSuccess);
  EXPECT_EQ(key.QueryString("Terminated", text), kSuccess);
  EXPECT_EQ(text, "A");

  // Replacing a value may change its type.
  ASSERT_EQ(key.SetDword("Port", 9100), kSuccess);
  EXPECT_EQ(key.QueryDword("port", number), kSuccess);
  EXPECT_EQ(number, 9100u);
}

TEST_F(KeyTest, EnumerationOrderAndEndMarker) {
  Key key;
  ASSERT_EQ(Key::Create(Root::LocalMachine, "Order", key), kSuccess);
  for (const char* name : {"beta", "Alpha", "gamma_2", "Gamma", "ALPHA2"}) {
    Key child;
    ASSERT_EQ(key.CreateSubKey(name, child), kSuccess);
  }
  Status end = kSuccess;
  EXPECT_EQ(SubKeyNames(key, &end),
            (std::vector<std::string>{"Alpha", "ALPHA2", "beta", "Gamma", "gamma_2"}));
  EXPECT_EQ(end, kNoMoreItems);

  for (const char* name : {"Zed", "", "Mid", "alpha"}) ASSERT_EQ(key.SetDword(name, 1), kSuccess);
  ASSERT_EQ(key.SetDword("ZED", 2), kSuccess);  // an update keeps its first place and name
  EXPECT_EQ(ValueNames(key, &end), (std::vector<std::string>{"Zed", "", "Mid", "alpha"}));
  EXPECT_EQ(end, kNoMoreItems);
  ASSERT_EQ(key.DeleteValue("mid"), kSuccess);
  ASSERT_EQ(key.SetDword("Mid", 3), kSuccess);  // re-created: now last
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"Zed", "", "alpha", "Mid"}));

  std::string name;
  Value value;
  ASSERT_EQ(key.EnumValue(0, name, &value), kSuccess);
  EXPECT_EQ(value.AsDword(), 2u);
  uint32_t subkeys = 0, values = 0;
  ASSERT_EQ(key.QueryInfo(&subkeys, &values), kSuccess);
  EXPECT_EQ(subkeys, 5u);
  EXPECT_EQ(values, 4u);

  Key empty;
  ASSERT_EQ(key.CreateSubKey("beta", empty), kSuccess);
  EXPECT_EQ(empty.EnumSubKey(0, name), kNoMoreItems);
  EXPECT_EQ(empty.EnumValue(0, name), kNoMoreItems);
}

TEST_F(KeyTest, DeleteSubKeyIsNotRecursiveAndDeleteTreeIs) {
  Key top, leaf;
  ASSERT_EQ(Key::Create(Root::LocalMachine, "Top\\Mid\\Leaf", leaf), kSuccess);
  ASSERT_EQ(leaf.SetString("v", "x"), kSuccess);
  ASSERT_EQ(Key::Open(Root::LocalMachine, "Top", Access::Write, top), kSuccess);

  EXPECT_EQ(top.DeleteSubKey("Mid"), kAccessDenied);
  Key check;
  EXPECT_EQ(Key::Open(Root::LocalMachine, "Top\\Mid\\Leaf", Access::Read, check), kSuccess);
  EXPECT_EQ(top.DeleteSubKey("mid\\LEAF"), kSuccess);
  EXPECT_EQ(top.DeleteSubKey("Mid\\Leaf"), kNotFound);
  EXPECT_EQ(top.DeleteSubKey("Mid"), kSuccess);
  EXPECT_EQ(SubKeyNames(top), std::vector<std::string>{});

  // Re-created leaf must not inherit the deleted one's values.
  ASSERT_EQ(Key::Create(Root::LocalMachine, "Top\\Mid\\Leaf", leaf), kSuccess);
  Value value;
  EXPECT_EQ(leaf.QueryValue("v", value), kNotFound);

  ASSERT_EQ(Key::Create(Root::LocalMachine, "Top\\Other", check), kSuccess);
  ASSERT_EQ(top.SetDword("keep?", 1), kSuccess);
  EXPECT_EQ(top.DeleteTree("MID"), kSuccess);
  EXPECT_EQ(SubKeyNames(top), std::vector<std::string>{"Other"});
  EXPECT_EQ(top.DeleteTree(""), kSuccess);  // empties Top, keeps it
  EXPECT_EQ(SubKeyNames(top), std::vector<std::string>{});
  EXPECT_EQ(ValueNames(top), std::vector<std::string>{});
  EXPECT_EQ(Key::Open(Root::LocalMachine, "Top", Access::Read, check), kSuccess);
}

TEST_F(KeyTest, ReadOnlyKeyRefusesEveryChange) {
  Key writer, reader, child;
  ASSERT_EQ(Key::Create(Root::LocalMachine, "RO\\Sub", writer), kSuccess);
  ASSERT_EQ(writer.SetString("v", "x"), kSuccess);
  ASSERT_EQ(Key::Open(Root::LocalMachine, "RO", Access::Read, reader), kSuccess);

  EXPECT_EQ(reader.SetString("v", "changed"), kAccessDenied);
  EXPECT_EQ(reader.DeleteSubKey("Sub"), kAccessDenied);
  EXPECT_EQ(reader.DeleteTree("Sub"), kAccessDenied);
  EXPECT_EQ(reader.CreateSubKey("New", child), kAccessDenied);
  Key sub;
  ASSERT_EQ(reader.OpenSubKey("sub", Access::Read, sub), kSuccess);
  EXPECT_EQ(sub.DeleteValue("v"), kAccessDenied);
  std::string text;
  EXPECT_EQ(sub.QueryString("V", text), kSuccess);
  EXPECT_EQ(text, "x");
  EXPECT_EQ(sub.Path(), "RO\\Sub");
}

TEST_F(KeyTest, HandleOfDeletedKeyReportsKeyDeleted) {
  Key parent, doomed, other;
  ASSERT_EQ(Key::Create(Root::LocalMachine, "P\\Doomed", doomed), kSuccess);
  ASSERT_EQ(doomed.SetDword("n", 1), kSuccess);
  ASSERT_EQ(Key::Open(Root::LocalMachine, "P", Access::Write, parent), kSuccess);
  ASSERT_EQ(parent.DeleteSubKey("Doomed"), kSuccess);
  // Re-creating the same path makes a new key, not a revival of the old handle.
  ASSERT_EQ(Key::Create(Root::LocalMachine, "P\\Doomed", other), kSuccess);

  Value value;
  std::string name;
  Key child;
  EXPECT_EQ(doomed.QueryValue("n", value), kKeyDeleted);
  EXPECT_EQ(doomed.SetDword("n", 2), kKeyDeleted);
  EXPECT_EQ(doomed.EnumValue(0, name), kKeyDeleted);
  EXPECT_EQ(doomed.EnumSubKey(0, name), kKeyDeleted);
  EXPECT_EQ(doomed.CreateSubKey("x", child), kKeyDeleted);
  EXPECT_EQ(doomed.OpenSubKey("", Access::Read, child), kKeyDeleted);
  EXPECT_EQ(doomed.DeleteValue("n"), kKeyDeleted);
  EXPECT_NE(LastErrorMessage().find("P\\Doomed"), std::string::npos);
  EXPECT_EQ(other.QueryValue("n", value), kNotFound);

  Key closed;
  EXPECT_EQ(closed.QueryValue("n", value), kInvalidHandle);
  EXPECT_EQ(closed.SetDword("n", 1), kInvalidHandle);
}

TEST_F(KeyTest, ThreadsShareTheStore) {
  constexpr int kThreads = 4;
  constexpr int kValues = 50;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      Key key;
      ASSERT_EQ(Key::Create(Root::LocalMachine, "Shared\\T" + std::to_string(t), key), kSuccess);
      for (int i = 0; i < kValues; ++i) {
        ASSERT_EQ(key.SetDword("v" + std::to_string(i), static_cast<uint32_t>(i)), kSuccess);
        uint32_t number = 0;
        ASSERT_EQ(key.QueryDword("V" + std::to_string(i), number), kSuccess);
        ASSERT_EQ(number, static_cast<uint32_t>(i));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  Key shared;
  ASSERT_EQ(Key::Open(Root::LocalMachine, "Shared", Access::Read, shared), kSuccess);
  ASSERT_EQ(SubKeyNames(shared).size(), static_cast<size_t>(kThreads));
  for (int t = 0; t < kThreads; ++t) {
    Key key;
    ASSERT_EQ(shared.OpenSubKey("t" + std::to_string(t), Access::Read, key), kSuccess);
    EXPECT_EQ(ValueNames(key).size(), static_cast<size_t>(kValues));
  }
}

TEST_F(KeyTest, StoreSurvivesReopeningAndSwitchingFiles) {
  Key key;
  ASSERT_EQ(Key::Create(Root::ClassesRoot, "RecPrinter.POSPrinter.SO\\CLSID", key), kSuccess);
  ASSERT_EQ(key.SetString("", "{1}"), kSuccess);

  UseDatabase(dir_ + "/other.sqlite");
  Value value;
  EXPECT_EQ(key.QueryValue("", value), kKeyDeleted);  // belongs to the previous file
  Key fresh;
  EXPECT_EQ(Key::Open(Root::ClassesRoot, "RecPrinter.POSPrinter.SO", Access::Read, fresh),
            kNotFound);

  UseDatabase(db_path_);
  ASSERT_EQ(Key::Open(Root::ClassesRoot, "recprinter.posprinter.so\\clsid", Access::Read, fresh),
            kSuccess);
  std::string text;
  EXPECT_EQ(fresh.QueryString("", text), kSuccess);
  EXPECT_EQ(text, "{1}");
  EXPECT_EQ(CurrentDatabasePath(), db_path_);
}

}  // namespace
}  // namespace platform::registry
