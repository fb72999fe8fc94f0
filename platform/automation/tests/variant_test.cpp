// Variant coercions, by-reference access and dispatch reference ownership.
#include <gtest/gtest.h>

#include "platform/dispatch.h"

namespace platform::automation {
namespace {

class Probe : public RefCounted {
 public:
  explicit Probe(int* destroyed) : destroyed_(destroyed) {}
  ~Probe() override { ++*destroyed_; }
  HResult GetIDsOfNames(std::string_view, DispId&) override { return kUnknownName; }
  HResult Invoke(DispId, InvokeKind, std::span<Variant>, Variant*) override {
    return kMemberNotFound;
  }

 private:
  int* destroyed_;
};

TEST(Variant, NumbersBooleansAndStringsCoerce) {
  bool ok = false;
  EXPECT_EQ(Variant(-5).ToString(&ok), "-5");
  EXPECT_TRUE(ok);
  EXPECT_EQ(Variant::Boolean(true).ToInt32(), -1);
  EXPECT_EQ(Variant::Boolean(false).ToString(), "False");
  EXPECT_EQ(Variant("2147483647").ToInt32(&ok), 2147483647);
  EXPECT_TRUE(ok);
  EXPECT_EQ(Variant("-2147483648").ToInt32(&ok), INT32_MIN);
  EXPECT_TRUE(ok);
  for (const char* bad : {"2147483648", "12x", "", " ", "0x10", "1.5"}) {
    Variant(bad).ToInt32(&ok);
    EXPECT_FALSE(ok) << bad;
  }
  EXPECT_TRUE(Variant("TRUE").ToBool(&ok));
  EXPECT_TRUE(ok);
  EXPECT_FALSE(Variant("0").ToBool(&ok));
  EXPECT_TRUE(ok);
  Variant("maybe").ToBool(&ok);
  EXPECT_FALSE(ok);
  // Empty reads as zero and as an empty string.
  EXPECT_EQ(Variant().ToInt32(&ok), 0);
  EXPECT_TRUE(ok);
  EXPECT_EQ(Variant().ToString(&ok), "");
  EXPECT_TRUE(ok);
}

TEST(Variant, ReferencesReadAndWriteTheirTargets) {
  int32_t number = 4;
  std::string text = "12";
  Variant int_ref = Variant::IntRef(&number);
  Variant string_ref = Variant::StringRef(&text);
  EXPECT_EQ(int_ref.ToInt32(), 4);
  EXPECT_EQ(string_ref.ToInt32(), 12);
  EXPECT_TRUE(int_ref.AssignRef(8));
  EXPECT_TRUE(string_ref.AssignRef(std::string("new")));
  EXPECT_EQ(number, 8);
  EXPECT_EQ(text, "new");
  EXPECT_FALSE(int_ref.AssignRef(std::string("no")));
  EXPECT_FALSE(string_ref.AssignRef(1));
  EXPECT_FALSE(Variant(3).AssignRef(1));
  EXPECT_EQ(Variant(3).IntTarget(), nullptr);
  // A copy refers to the same storage.
  Variant copy = int_ref;
  copy.AssignRef(11);
  EXPECT_EQ(number, 11);
  // A null reference is not readable.
  bool ok = true;
  Variant::IntRef(nullptr).ToInt32(&ok);
  EXPECT_FALSE(ok);
  EXPECT_FALSE(Variant::StringRef(nullptr).AssignRef(std::string("x")));
}

TEST(Variant, DispatchReferencesAreOwned) {
  int destroyed = 0;
  Dispatch* object = new Probe(&destroyed);
  {
    Variant a(object);
    Variant b = a;
    Variant c = std::move(a);
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(c.ToDispatch(), object);
    b = Variant(7);
    c = c;  // self-assignment keeps the reference
    EXPECT_EQ(c.ToDispatch(), object);
    bool ok = true;
    c.ToInt32(&ok);
    EXPECT_FALSE(ok);
    object->Release();  // the creator's reference
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 1);
}

}  // namespace
}  // namespace platform::automation
