// Two small classes served by the test server library.
#pragma once

#include <atomic>
#include <string>

#include "platform/dispatch_table.h"

namespace automation_test {

using platform::automation::AutomationObject;
using platform::automation::Dispatch;
using platform::automation::DispatchPtr;
using platform::automation::DispatchTable;

// A static inside an inline function: g++ would make it a process-unique symbol that pins
// the library in memory unless the library is built with -fno-gnu-unique.
inline std::atomic<int32_t>& LiveCalculators() {
  static std::atomic<int32_t> count{0};
  return count;
}

class CCalculator : public AutomationObject<CCalculator> {
 public:
  static const DispatchTable<CCalculator>& AutomationTable();
  CCalculator() { ++LiveCalculators(); }
  ~CCalculator() override { --LiveCalculators(); }
  int32_t GetLive() const { return LiveCalculators(); }

  int32_t Add(int32_t a, int32_t b) { return last_ = a + b; }
  std::string Concat(const std::string& a, const std::string& b) { return a + b; }
  // Returns the old values of both references and stores the last sum and "<text>!".
  int32_t Exchange(int32_t* number, std::string* text);
  // Calls `method` on `target` with the last sum and a by-reference LONG, and returns what
  // the callee wrote there (the shape of a service object's error callback).
  int32_t CallBack(Dispatch* target, const std::string& method);
  void Throw();

  int32_t GetLast() const { return last_; }
  void SetLast(int32_t value) { last_ = value; }
  std::string GetLabel() const { return label_; }
  void SetLabel(const std::string& value) { label_ = value; }

 private:
  int32_t last_ = 0;
  std::string label_ = "calculator";
};

class CEcho : public AutomationObject<CEcho> {
 public:
  static const DispatchTable<CEcho>& AutomationTable();
  std::string Echo(const std::string& text) { return text; }
};

}  // namespace automation_test
