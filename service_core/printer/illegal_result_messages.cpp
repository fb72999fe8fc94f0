// The network build's message boxes: each refusal with OPOS_E_ILLEGAL is told to the user
// with the caption "106" and a short text naming where it came from.
#include <string_view>

#include "opos_codes.h"
#include "platform/ui_provider.h"
#include "pos_printer.h"

namespace service_core {

namespace {
struct IllegalResultText {
  std::string_view method;
  std::string_view first;   // shown first; empty: only `second`
  std::string_view second;
};
// ClaimDevice is told apart by ResultCodeExtended: 0 for a negative Timeout ("D1"), the
// printer's answer when it could not be connected ("D2").
constexpr IllegalResultText kTexts[] = {
    {"PrintNormal", "", "D"},      {"PrintTwoNormal", "", "D"}, {"PrintBarCode", "", "D"},
    {"PrintBitmap", "", "D"},      {"RotatePrint", "", "D"},    {"SetBitmap", "", "D"},
    {"SetLogo", "", "D"},          {"TransactionPrint", "", "D"}, {"ValidateData", "", "D"},
    {"DirectIO", "", "D"},         {"SetPropertyNumber", "H", "D"}, {"ReleaseDevice", "", "D3"},
    {"Release", "", "D3"},         {"CheckHealth", "", "G"},
};
}  // namespace

platform::automation::HResult CPOSPrinter::Invoke(platform::automation::DispId id,
                                                  platform::automation::InvokeKind kind,
                                                  std::span<platform::automation::Variant> args,
                                                  platform::automation::Variant* result) {
  const uint64_t stored_before = results_stored_;
  const auto hr = AutomationObject::Invoke(id, kind, args, result);
  // Only a call that stored a result of its own: a setter that ignored its index did not.
  if (ThisBuild().illegal_result_messages && results_stored_ != stored_before)
    TellIllegalResult(id);
  return hr;
}

void CPOSPrinter::TellIllegalResult(platform::automation::DispId id) {
  if (result_code_ != opos::kIllegal) return;
  auto is = [&](std::string_view name) {
    platform::automation::DispId named = 0;
    return AutomationTable().GetIDsOfNames(name, named) == platform::automation::kOk &&
           named == id;
  };
  auto& ui = platform::ui::Current();
  if (is("ClaimDevice") || is("Claim")) {
    ui.MessageBox(result_code_extended_ == 0 ? "D1" : "D2", "106", platform::ui::kOk);
    return;
  }
  for (const IllegalResultText& text : kTexts) {
    if (!is(text.method)) continue;
    if (!text.first.empty()) ui.MessageBox(std::string(text.first), "106", platform::ui::kOk);
    ui.MessageBox(std::string(text.second), "106", platform::ui::kOk);
    return;
  }
}

}  // namespace service_core
