// The test server library end to end: self-registration, creation by ProgID through the
// registry and dlopen, dispatch across the library boundary, and unloading.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/class_factory.h"
#include "platform/dispatch_table.h"
#include "platform/object_factory.h"
#include "classes_root.h"

namespace automation_test {
namespace {

using namespace platform::automation;

constexpr const char* kCalculatorClsid = "{6A0D1C52-3B7E-4F21-9C3A-1D5E7F90AB01}";
constexpr const char* kEchoClsid = "{6A0D1C52-3B7E-4F21-9C3A-1D5E7F90AB02}";

std::string ServerPath() {
  char resolved[PATH_MAX];
  return realpath(TEST_SERVER_PATH, resolved) ? resolved : TEST_SERVER_PATH;
}

bool ServerLoaded() {
  void* handle = dlopen(TEST_SERVER_PATH, RTLD_NOW | RTLD_NOLOAD);
  if (handle) dlclose(handle);
  return handle != nullptr;
}

// Runs one export of the test server through a handle of our own.
HResult CallServerExport(const char* name) {
  void* handle = dlopen(TEST_SERVER_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!handle) return kModuleNotFound;
  auto fn = reinterpret_cast<HResult (*)()>(dlsym(handle, name));
  HResult hr = fn ? fn() : kProcNotFound;
  dlclose(handle);
  return hr;
}

// The caller's side of a callback: receives (LONG, LONG*) and answers through the pointer.
class Sink : public AutomationObject<Sink> {
 public:
  static const DispatchTable<Sink>& AutomationTable() {
    static const DispatchTable<Sink> table = DispatchTable<Sink>().Method(
        "SOError", [](Sink& self, int32_t code, int32_t* response) {
          self.received = code;
          *response = 12;
        });
    return table;
  }
  int32_t received = 0;
};

class InprocServer : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeUnusedLibraries();
    ASSERT_FALSE(ServerLoaded()) << "an earlier test left the server loaded";
    ASSERT_EQ(CallServerExport(kRegisterServerExport), kOk);
  }
  void TearDown() override { FreeUnusedLibraries(); }

  TempRegistry registry_;
};

TEST_F(InprocServer, RegistrationWritesAndRemovesClassKeys) {
  std::string clsid_key = std::string("CLSID\\") + kCalculatorClsid;
  EXPECT_EQ(ClassesRootDefault("OposTest.Calculator"), "Automation test calculator");
  EXPECT_EQ(ClassesRootDefault("OposTest.Calculator\\CLSID"), kCalculatorClsid);
  EXPECT_EQ(ClassesRootDefault(clsid_key), "Automation test calculator");
  EXPECT_EQ(ClassesRootDefault(clsid_key + "\\ProgID"), "OposTest.Calculator");
  EXPECT_EQ(ClassesRootDefault(clsid_key + "\\InprocServer32"), ServerPath());
  EXPECT_EQ(ClassesRootDefault(std::string("CLSID\\") + kEchoClsid + "\\ProgID"), "OposTest.Echo");
  std::string clsid;
  ASSERT_EQ(ClsidFromProgId("opostest.CALCULATOR", clsid), kOk);
  EXPECT_EQ(clsid, kCalculatorClsid);

  // A ProgID that another class has taken over is left to that class.
  WriteClassesRootDefault("OposTest.Echo\\CLSID", "{00000000-0000-0000-0000-000000000001}");
  WriteClassesRootDefault("OposTest.Calculator\\CurVer", "OposTest.Calculator.1");
  ASSERT_EQ(CallServerExport(kUnregisterServerExport), kOk);
  EXPECT_EQ(ClassesRootDefault("OposTest.Calculator"), "<missing>");
  EXPECT_EQ(ClassesRootDefault(clsid_key), "<missing>");
  EXPECT_EQ(ClassesRootDefault(std::string("CLSID\\") + kEchoClsid), "<missing>");
  EXPECT_EQ(ClassesRootDefault("OposTest.Echo\\CLSID"), "{00000000-0000-0000-0000-000000000001}");
  EXPECT_EQ(ClsidFromProgId("OposTest.Calculator", clsid), kClassNotRegistered);
  // Unregistering again finds nothing to remove and still succeeds.
  EXPECT_EQ(CallServerExport(kUnregisterServerExport), kOk);
}

TEST_F(InprocServer, CreatedObjectsDispatchAcrossTheLibraryBoundary) {
  DispatchPtr calc;
  ASSERT_EQ(CreateObject("OposTest.Calculator", calc), kOk) << LastCreateError();
  Variant result;
  ASSERT_EQ(CallMethod(calc.get(), "add", {2, 40}, &result), kOk);
  EXPECT_EQ(result.ToInt32(), 42);
  ASSERT_EQ(CallMethod(calc.get(), "CONCAT", {"ab", 7}, &result), kOk);
  EXPECT_EQ(result.ToString(), "ab7");

  int32_t number = 5;
  std::string text = "hi";
  ASSERT_EQ(CallMethod(calc.get(), "Exchange", {Variant::IntRef(&number), Variant::StringRef(&text)},
                       &result),
            kOk);
  EXPECT_EQ(result.ToInt32(), 5);
  EXPECT_EQ(number, 42);
  EXPECT_EQ(text, "hi!");

  ASSERT_EQ(SetProperty(calc.get(), "label", "till 3"), kOk);
  ASSERT_EQ(GetProperty(calc.get(), "Label", result), kOk);
  EXPECT_EQ(result.ToString(), "till 3");
  ASSERT_EQ(SetProperty(calc.get(), "Last", 9), kOk);

  // A callback from the library into the caller's object, with a by-reference answer.
  DispatchPtr sink = DispatchPtr::Adopt(new Sink());
  ASSERT_EQ(CallMethod(calc.get(), "CallBack", {Variant(sink.get()), "soerror"}, &result), kOk);
  EXPECT_EQ(result.ToInt32(), 12);
  EXPECT_EQ(static_cast<Sink*>(sink.get())->received, 9);
  ASSERT_EQ(CallMethod(calc.get(), "CallBack", {Variant(sink.get()), "Missing"}, &result), kOk);
  EXPECT_EQ(result.ToInt32(), -1);

  EXPECT_EQ(CallMethod(calc.get(), "Add", {1}, &result), kBadParamCount);
  EXPECT_EQ(CallMethod(calc.get(), "Add", {1, "two"}, &result), kTypeMismatch);
  EXPECT_EQ(CallMethod(calc.get(), "Subtract", {1, 2}, &result), kUnknownName);
  EXPECT_EQ(CallMethod(calc.get(), "Throw", {}, &result), kFail);

  DispatchPtr echo;
  ASSERT_EQ(CreateObjectByClsid("{6a0d1c52-3b7e-4f21-9c3a-1d5e7f90ab02}", echo), kOk);
  ASSERT_EQ(CallMethod(echo.get(), "Echo", {"ping"}, &result), kOk);
  EXPECT_EQ(result.ToString(), "ping");
  EXPECT_EQ(LoadedServerLibraries(), std::vector<std::string>{ServerPath()});
}

TEST_F(InprocServer, LibraryIsUnloadedOnlyAfterItsLastObject) {
  DispatchPtr calc, echo;
  ASSERT_EQ(CreateObject("OposTest.Calculator", calc), kOk) << LastCreateError();
  ASSERT_EQ(CreateObject("OposTest.Echo", echo), kOk);
  Variant live;
  ASSERT_EQ(GetProperty(calc.get(), "Live", live), kOk);
  EXPECT_EQ(live.ToInt32(), 1);
  FreeUnusedLibraries();
  EXPECT_TRUE(ServerLoaded());
  calc.Reset();
  FreeUnusedLibraries();
  EXPECT_TRUE(ServerLoaded());
  Variant result;
  ASSERT_EQ(CallMethod(echo.get(), "Echo", {"still here"}, &result), kOk);
  echo.Reset();
  FreeUnusedLibraries();
  EXPECT_FALSE(ServerLoaded());
  EXPECT_TRUE(LoadedServerLibraries().empty());
  // Loading again after the unload works.
  ASSERT_EQ(CreateObject("OposTest.Echo", echo), kOk);
  EXPECT_TRUE(ServerLoaded());
}

TEST_F(InprocServer, FactoriesAndServerLocksKeepTheLibrary) {
  void* handle = dlopen(TEST_SERVER_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr);
  auto get = reinterpret_cast<GetClassObjectFn>(dlsym(handle, kGetClassObjectExport));
  auto can_unload = reinterpret_cast<CanUnloadNowFn>(dlsym(handle, kCanUnloadNowExport));
  ASSERT_TRUE(get && can_unload);
  EXPECT_EQ(can_unload(), kOk);

  ClassFactory* factory = nullptr;
  EXPECT_EQ(get("{00000000-0000-0000-0000-000000000000}", &factory), kClassNotAvailable);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(get(kCalculatorClsid, nullptr), kPointer);
  EXPECT_EQ(get(nullptr, &factory), kPointer);

  ASSERT_EQ(get(kCalculatorClsid, &factory), kOk);
  EXPECT_EQ(can_unload(), kFalse);
  DispatchPtr object;
  ASSERT_EQ(factory->CreateInstance(object), kOk);
  ASSERT_EQ(factory->LockServer(true), kOk);
  factory->Release();
  object.Reset();
  EXPECT_EQ(can_unload(), kFalse);  // the server lock remains

  ASSERT_EQ(get(kEchoClsid, &factory), kOk);
  ASSERT_EQ(factory->LockServer(false), kOk);
  ASSERT_EQ(factory->LockServer(false), kOk);  // unbalanced: must not go below zero
  factory->Release();
  EXPECT_EQ(can_unload(), kOk);
  ASSERT_EQ(get(kEchoClsid, &factory), kOk);
  EXPECT_EQ(can_unload(), kFalse);
  factory->Release();
  EXPECT_EQ(can_unload(), kOk);
  dlclose(handle);
}

TEST_F(InprocServer, CreationFailuresAreDistinct) {
  DispatchPtr object;
  EXPECT_EQ(CreateObject("OposTest.Nothing", object), kClassNotRegistered);
  EXPECT_NE(LastCreateError().find("OposTest.Nothing"), std::string::npos);
  EXPECT_EQ(CreateObject("", object), kClassNotRegistered);
  EXPECT_EQ(CreateObject("Bad\\Name", object), kClassNotRegistered);
  EXPECT_EQ(CreateObjectByClsid("not-a-guid", object), kClassNotRegistered);

  WriteClassesRootDefault("OposTest.Malformed\\CLSID", "{1234}");
  EXPECT_EQ(CreateObject("OposTest.Malformed", object), kClassNotRegistered);

  const std::string missing_clsid = "{6A0D1C52-0000-0000-0000-000000000001}";
  WriteClassesRootDefault("OposTest.NoServer\\CLSID", missing_clsid);
  EXPECT_EQ(CreateObject("OposTest.NoServer", object), kClassNotRegistered);

  std::string missing_path = registry_.Dir() + "/absent.so";
  WriteClassesRootDefault("CLSID\\" + missing_clsid + "\\InprocServer32", missing_path);
  EXPECT_EQ(CreateObject("OposTest.NoServer", object), kModuleNotFound);
  EXPECT_NE(LastCreateError().find(missing_path), std::string::npos) << LastCreateError();

  WriteClassesRootDefault("CLSID\\" + missing_clsid + "\\InprocServer32", NO_EXPORTS_PATH);
  EXPECT_EQ(CreateObject("OposTest.NoServer", object), kProcNotFound);
  EXPECT_NE(LastCreateError().find("DllGetClassObject"), std::string::npos);

  // The test server does not serve this CLSID.
  WriteClassesRootDefault("CLSID\\" + missing_clsid + "\\InprocServer32", TEST_SERVER_PATH);
  EXPECT_EQ(CreateObject("OposTest.NoServer", object), kClassNotAvailable);
  EXPECT_FALSE(object);
  FreeUnusedLibraries();
  EXPECT_FALSE(ServerLoaded());
}

TEST_F(InprocServer, ConcurrentCreationSharesOneLoadedLibrary) {
  DispatchPtr keeper;  // keeps the library loaded while FreeUnusedLibraries runs alongside
  ASSERT_EQ(CreateObject("OposTest.Echo", keeper), kOk);
  std::atomic<int> failures{0};
  std::atomic<bool> done{false};
  std::thread sweeper([&] {
    while (!done) FreeUnusedLibraries();
  });
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        DispatchPtr calc;
        Variant result;
        if (CreateObject("OposTest.Calculator", calc) != kOk ||
            CallMethod(calc.get(), "Add", {t, i}, &result) != kOk || result.ToInt32() != t + i) {
          ++failures;
        }
      }
    });
  }
  for (auto& w : workers) w.join();
  done = true;
  sweeper.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(LoadedServerLibraries().size(), 1u);
  keeper.Reset();
  FreeUnusedLibraries();
  EXPECT_FALSE(ServerLoaded());
}

}  // namespace
}  // namespace automation_test
