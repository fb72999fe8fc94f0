// The line display control object.
#pragma once

#include <string>

#include "control_objects/control_object.h"

namespace opos::control {

class LineDisplay : public ControlObject {
 public:
  static ObjectRef<LineDisplay> Create() { return ObjectRef<LineDisplay>::Adopt(new LineDisplay); }

  int32_t DisplayText(const std::string& data, int32_t attribute) {
    Variant args[] = {Variant(data), Variant(attribute)};
    return CallLong("DisplayText", args);
  }
  int32_t DisplayTextAt(int32_t row, int32_t column, const std::string& data, int32_t attribute) {
    Variant args[] = {Variant(row), Variant(column), Variant(data), Variant(attribute)};
    return CallLong("DisplayTextAt", args);
  }
  int32_t ClearText() { return CallLong("ClearText", {}); }
  int32_t CreateWindow(int32_t viewport_row, int32_t viewport_column, int32_t viewport_height,
                       int32_t viewport_width, int32_t window_height, int32_t window_width) {
    Variant args[] = {Variant(viewport_row),   Variant(viewport_column), Variant(viewport_height),
                      Variant(viewport_width), Variant(window_height),   Variant(window_width)};
    return CallLong("CreateWindow", args);
  }
  int32_t DestroyWindow() { return CallLong("DestroyWindow", {}); }
  int32_t RefreshWindow(int32_t window) {
    Variant args[] = {Variant(window)};
    return CallLong("RefreshWindow", args);
  }
  int32_t ScrollText(int32_t direction, int32_t units) {
    Variant args[] = {Variant(direction), Variant(units)};
    return CallLong("ScrollText", args);
  }
  int32_t DefineGlyph(int32_t glyph_code, const std::string& glyph) {
    Variant args[] = {Variant(glyph_code), Variant(glyph)};
    return CallLong("DefineGlyph", args);
  }
  int32_t ReadCharacterAtCursor(int32_t& character) {
    Variant args[] = {Variant::IntRef(&character)};
    return CallLong("ReadCharacterAtCursor", args);
  }
  int32_t ClearDescriptors() { return CallLong("ClearDescriptors", {}); }
  int32_t SetDescriptor(int32_t descriptor, int32_t attribute) {
    Variant args[] = {Variant(descriptor), Variant(attribute)};
    return CallLong("SetDescriptor", args);
  }

 private:
  LineDisplay() : ControlObject(LineDisplayTable()) {}
};

}  // namespace opos::control
