// The fixed identifiers of the line display service object: an application's registry
// entries stay valid from one build to the next.
#pragma once

namespace line_display {

inline constexpr const char* kDisplayProgId = "Display.LineDisplay.SO2";
inline constexpr const char* kDisplayClsid = "{6A0D2F6E-3B57-4C1E-9D84-0F2E7B5C91A3}";

}  // namespace line_display
