// Line display: property indexes, dispatch identifiers and methods.
#include "common_members.h"

namespace opos::control {

namespace {

using K = PropertyKind;
using P = ParamType;

const PropertyInfo kDisplayProperties[] = {
    {"CharacterSet", 5001, K::Number, true, 57},
    {"Columns", 5002, K::Number, false, 59},
    {"CurrentWindow", 5003, K::Number, true, 60},
    {"CursorColumn", 5004, K::Number, true, 61},
    {"CursorRow", 5005, K::Number, true, 62},
    {"CursorUpdate", 5006, K::Bool, true, 63},
    {"DeviceBrightness", 5007, K::Number, true, 64},
    {"DeviceColumns", 5008, K::Number, false, 65},
    {"DeviceDescriptors", 5009, K::Number, false, 66},
    {"DeviceRows", 5010, K::Number, false, 67},
    {"DeviceWindows", 5011, K::Number, false, 68},
    {"InterCharacterWait", 5012, K::Number, true, 69},
    {"MarqueeRepeatWait", 5013, K::Number, true, 71},
    {"MarqueeType", 5014, K::Number, true, 72},
    {"MarqueeUnitWait", 5015, K::Number, true, 73},
    {"Rows", 5016, K::Number, false, 74},
    {"MarqueeFormat", 5017, K::Number, true, 70},
    {"BlinkRate", 5018, K::Number, true, 100},
    {"CapBlink", 5501, K::Number, false, 50},
    {"CapBrightness", 5502, K::Bool, false, 51},
    {"CapCharacterSet", 5503, K::Number, false, 52},
    {"CapDescriptors", 5504, K::Bool, false, 53},
    {"CapHMarquee", 5505, K::Bool, false, 54},
    {"CapICharWait", 5506, K::Bool, false, 55},
    {"CapVMarquee", 5507, K::Bool, false, 56},
    {"CapBlinkRate", 5508, K::Bool, false, 101},
    {"CapCustomGlyph", 5510, K::Bool, false, 103},
    {"CharacterSetList", 1005001, K::String, false, 58},
};

const MethodInfo kDisplayMethods[] = {
    {"ClearDescriptors", "ClearDescriptors", 80, {}},
    {"ClearText", "ClearText", 81, {}},
    {"CreateWindow",
     "CreateWindow",
     82,
     {{"ViewportRow", P::Long},
      {"ViewportColumn", P::Long},
      {"ViewportHeight", P::Long},
      {"ViewportWidth", P::Long},
      {"WindowHeight", P::Long},
      {"WindowWidth", P::Long}}},
    {"DestroyWindow", "DestroyWindow", 83, {}},
    {"DisplayText", "DisplayText", 84, {{"Data", P::String}, {"Attribute", P::Long}}},
    {"DisplayTextAt",
     "DisplayTextAt",
     85,
     {{"Row", P::Long}, {"Column", P::Long}, {"Data", P::String}, {"Attribute", P::Long}}},
    {"RefreshWindow", "RefreshWindow", 86, {{"Window", P::Long}}},
    {"ScrollText", "ScrollText", 87, {{"Direction", P::Long}, {"Units", P::Long}}},
    {"SetDescriptor", "SetDescriptor", 88, {{"Descriptor", P::Long}, {"Attribute", P::Long}}},
    {"DefineGlyph", "DefineGlyph", 89, {{"GlyphCode", P::Long}, {"Glyph", P::String}}},
    {"ReadCharacterAtCursor", "ReadCharacterAtCursor", 90, {{"pChar", P::LongRef}}},
};

}  // namespace

const DeviceTable& LineDisplayTable() {
  static const DeviceTable table{"LineDisplay", CommonProperties(), kDisplayProperties,
                                 CommonMethods(), kDisplayMethods};
  return table;
}

}  // namespace opos::control
