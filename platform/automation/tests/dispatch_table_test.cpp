// Dispatch through a declared member table: names, ids, argument conversion and errors.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/dispatch_table.h"

namespace platform::automation {
namespace {

class Counter : public AutomationObject<Counter> {
 public:
  static const DispatchTable<Counter>& AutomationTable();

  int32_t Add(int32_t amount) { return total_ += amount; }
  std::string Describe(const std::string& prefix, bool loud) const {
    return prefix + (loud ? "!" : ".") + std::to_string(total_);
  }
  int32_t Swap(int32_t* number, std::string* text) {
    int32_t old = *number;
    *number = total_;
    *text = "was " + *text;
    return old;
  }
  int32_t Holder(Dispatch* other) {
    held_ = DispatchPtr(other);
    return other ? 1 : 0;
  }
  void Fail() { throw std::runtime_error("boom"); }
  int32_t GetTotal() const { return total_; }
  void SetTotal(int32_t value) { total_ = value; }
  bool GetPositive() const { return total_ > 0; }

  ~Counter() override { ++destroyed; }
  static inline int destroyed = 0;

 private:
  int32_t total_ = 0;
  DispatchPtr held_;
};

const DispatchTable<Counter>& Counter::AutomationTable() {
  static const DispatchTable<Counter> table =
      DispatchTable<Counter>()
          .Method("Add", &Counter::Add)
          .Method("Describe", &Counter::Describe)
          .Method("Swap", &Counter::Swap)
          .Method("Holder", &Counter::Holder)
          .Method("Fail", &Counter::Fail)
          .Property("Total", &Counter::GetTotal, &Counter::SetTotal)
          .Property(60, "Positive", &Counter::GetPositive, nullptr)
          .Method("Twice", [](Counter& self, int32_t n) { return self.Add(n) * 2; });
  return table;
}

DispatchPtr NewCounter() { return DispatchPtr::Adopt(new Counter()); }

TEST(DispatchTable, IdsFollowDeclarationOrderAndNamesIgnoreCase) {
  DispatchPtr counter = NewCounter();
  DispId id = 0;
  std::vector<std::pair<const char*, DispId>> expected = {
      {"Add", 1}, {"DESCRIBE", 2}, {"swap", 3}, {"Total", 6}, {"positive", 60}, {"TWICE", 61}};
  for (auto [name, want] : expected) {
    ASSERT_EQ(counter->GetIDsOfNames(name, id), kOk) << name;
    EXPECT_EQ(id, want) << name;
  }
  EXPECT_EQ(counter->GetIDsOfNames("Subtract", id), kUnknownName);
  EXPECT_EQ(id, kDispIdUnknown);
  EXPECT_EQ(counter->GetIDsOfNames("", id), kUnknownName);
}

TEST(DispatchTable, MethodsConvertArgumentsAndResults) {
  DispatchPtr counter = NewCounter();
  Variant result;
  ASSERT_EQ(CallMethod(counter.get(), "add", {5}, &result), kOk);
  EXPECT_EQ(result.type(), Variant::Type::Int32);
  EXPECT_EQ(result.ToInt32(), 5);
  // A decimal string is accepted where a LONG is declared, and a number where a BSTR is.
  ASSERT_EQ(CallMethod(counter.get(), "Add", {" 7 "}, &result), kOk);
  EXPECT_EQ(result.ToInt32(), 12);
  ASSERT_EQ(CallMethod(counter.get(), "Describe", {42, Variant::Boolean(true)}, &result), kOk);
  EXPECT_EQ(result.ToString(), "42!12");
  ASSERT_EQ(CallMethod(counter.get(), "Twice", {1}, &result), kOk);
  EXPECT_EQ(result.ToInt32(), 26);
  // A null result pointer is allowed.
  EXPECT_EQ(CallMethod(counter.get(), "Add", {1}), kOk);
}

TEST(DispatchTable, ByReferenceArgumentsWriteBack) {
  DispatchPtr counter = NewCounter();
  ASSERT_EQ(CallMethod(counter.get(), "Add", {9}), kOk);
  int32_t number = 3;
  std::string text = "abc";
  Variant result;
  ASSERT_EQ(CallMethod(counter.get(), "Swap",
                       {Variant::IntRef(&number), Variant::StringRef(&text)}, &result),
            kOk);
  EXPECT_EQ(result.ToInt32(), 3);
  EXPECT_EQ(number, 9);
  EXPECT_EQ(text, "was abc");
  // By-value arguments for reference parameters work on temporaries.
  ASSERT_EQ(CallMethod(counter.get(), "Swap", {4, "x"}, &result), kOk);
  EXPECT_EQ(result.ToInt32(), 4);
}

TEST(DispatchTable, PropertiesGetAndPut) {
  DispatchPtr counter = NewCounter();
  Variant value;
  ASSERT_EQ(SetProperty(counter.get(), "total", 17), kOk);
  ASSERT_EQ(GetProperty(counter.get(), "TOTAL", value), kOk);
  EXPECT_EQ(value.ToInt32(), 17);
  ASSERT_EQ(GetProperty(counter.get(), "Positive", value), kOk);
  EXPECT_EQ(value.type(), Variant::Type::Bool);
  EXPECT_TRUE(value.ToBool());
  // A method-style call on a property reads it.
  ASSERT_EQ(CallMethod(counter.get(), "Total", {}, &value), kOk);
  EXPECT_EQ(value.ToInt32(), 17);
  // Read-only property and property access on methods.
  EXPECT_EQ(SetProperty(counter.get(), "Positive", Variant::Boolean(false)), kMemberNotFound);
  EXPECT_EQ(GetProperty(counter.get(), "Add", value), kMemberNotFound);
  EXPECT_EQ(SetProperty(counter.get(), "Add", 1), kMemberNotFound);
}

TEST(DispatchTable, ErrorsAreReportedNotThrown) {
  DispatchPtr counter = NewCounter();
  Variant result = 99;
  EXPECT_EQ(CallMethod(counter.get(), "Add", {}, &result), kBadParamCount);
  EXPECT_EQ(CallMethod(counter.get(), "Add", {1, 2}, &result), kBadParamCount);
  EXPECT_EQ(CallMethod(counter.get(), "Add", {"twelve"}, &result), kTypeMismatch);
  EXPECT_EQ(CallMethod(counter.get(), "Add", {"99999999999"}, &result), kTypeMismatch);
  EXPECT_EQ(CallMethod(counter.get(), "Add", {Variant(counter.get())}, &result), kTypeMismatch);
  EXPECT_EQ(CallMethod(counter.get(), "Holder", {5}, &result), kTypeMismatch);
  EXPECT_EQ(CallMethod(counter.get(), "Fail", {}, &result), kFail);
  EXPECT_EQ(CallMethod(counter.get(), "Nope", {}, &result), kUnknownName);
  EXPECT_EQ(counter->Invoke(12345, InvokeKind::Method, {}, &result), kMemberNotFound);
  EXPECT_EQ(CallMethod(nullptr, "Add", {1}), kPointer);
  // A failed call leaves the result alone.
  EXPECT_EQ(result.ToInt32(), 99);
  EXPECT_EQ(GetProperty(counter.get(), "Total", result), kOk);
  EXPECT_EQ(result.ToInt32(), 0);
}

TEST(DispatchTable, DispatchArgumentsAndReferenceCounts) {
  Counter::destroyed = 0;
  {
    DispatchPtr holder = NewCounter();
    {
      DispatchPtr held = NewCounter();
      Variant result;
      ASSERT_EQ(CallMethod(holder.get(), "Holder", {Variant(held.get())}, &result), kOk);
      EXPECT_EQ(result.ToInt32(), 1);
      ASSERT_EQ(CallMethod(holder.get(), "Holder", {Variant()}, &result), kOk);
      EXPECT_EQ(result.ToInt32(), 0);
      ASSERT_EQ(CallMethod(holder.get(), "Holder", {Variant(held.get())}, &result), kOk);
    }
    EXPECT_EQ(Counter::destroyed, 0);  // the holder keeps its own reference
  }
  EXPECT_EQ(Counter::destroyed, 2);
}

TEST(DispatchTable, DuplicateDeclarationsAreRejected) {
  struct Thing {
    int32_t A() { return 1; }
  };
  EXPECT_THROW(DispatchTable<Thing>().Method("A", &Thing::A).Method("a", &Thing::A),
               std::logic_error);
  EXPECT_THROW(DispatchTable<Thing>().Method(5, "A", &Thing::A).Method(5, "B", &Thing::A),
               std::logic_error);
}

TEST(DispatchTable, MembersListsTheTable) {
  auto members = Counter::AutomationTable().Members();
  ASSERT_EQ(members.size(), 8u);
  EXPECT_EQ(members[5].name, "Total");
  EXPECT_TRUE(members[5].is_property && members[5].readable && members[5].writable);
  EXPECT_FALSE(members[6].writable);
  EXPECT_FALSE(members[0].is_property);
}

}  // namespace
}  // namespace platform::automation
