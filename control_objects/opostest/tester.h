// Runs the device tester's commands, one line at a time, and prints their results and the
// events of the devices it opened.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "control_objects/control_object.h"
#include "line_printer.h"
#include "platform/ui_scripted.h"
#include "script_syntax.h"

namespace opostest {

class Tester {
 public:
  Tester(LinePrinter& out, std::shared_ptr<platform::ui::ScriptedProvider> ui);
  ~Tester();  // closes every device still open, silently

  // Runs one input line (blank and comment lines do nothing); false when it could not be
  // run, after printing "error LINENO: MESSAGE".
  bool RunLine(int line_number, std::string_view line);

  // The line a scripted-provider call prints: msgbox, dialog or beep.
  static std::string DescribeUiCall(const platform::ui::ScriptedProvider::Call& call);

 private:
  struct Device {
    std::string alias;
    opos::control::ObjectRef<opos::control::ControlObject> object;
    int32_t error_response = 11;
  };

  // Each returns an error message, empty on success.
  std::string Run(const std::vector<Token>& tokens);
  std::string Open(const std::vector<Token>& tokens);
  std::string Wait(const std::vector<Token>& tokens, bool pump);
  std::string Ui(const std::vector<Token>& tokens);
  std::string CallMethod(Device& device, const std::vector<Token>& tokens);
  std::string GetProperty(Device& device, const std::vector<Token>& tokens);
  std::string SetProperty(Device& device, const std::vector<Token>& tokens);
  void AttachEvents(Device& device);

  LinePrinter& out_;
  std::shared_ptr<platform::ui::ScriptedProvider> ui_;
  std::map<std::string, std::unique_ptr<Device>> devices_;
};

}  // namespace opostest
