// The POS printer control object.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "control_objects/control_object.h"

namespace opos::control {

class POSPrinter : public ControlObject {
 public:
  static ObjectRef<POSPrinter> Create() { return ObjectRef<POSPrinter>::Adopt(new POSPrinter); }

  int32_t PrintNormal(int32_t station, const std::string& data) {
    return Call("PrintNormal", {Variant(station), Variant(data)});
  }
  int32_t PrintBarCode(int32_t station, const std::string& data, int32_t symbology, int32_t height,
                       int32_t width, int32_t alignment, int32_t text_position) {
    return Call("PrintBarCode",
                {Variant(station), Variant(data), Variant(symbology), Variant(height),
                 Variant(width), Variant(alignment), Variant(text_position)});
  }
  int32_t PrintBitmap(int32_t station, const std::string& file, int32_t width, int32_t alignment) {
    return Call("PrintBitmap",
                {Variant(station), Variant(file), Variant(width), Variant(alignment)});
  }
  int32_t SetBitmap(int32_t number, int32_t station, const std::string& file, int32_t width,
                    int32_t alignment) {
    return Call("SetBitmap", {Variant(number), Variant(station), Variant(file), Variant(width),
                              Variant(alignment)});
  }
  int32_t TransactionPrint(int32_t station, int32_t control) {
    return Call("TransactionPrint", {Variant(station), Variant(control)});
  }
  int32_t CutPaper(int32_t percentage) { return Call("CutPaper", {Variant(percentage)}); }
  int32_t ClearOutput() { return Call("ClearOutput", {}); }

  bool AsyncMode() { return GetPropertyNumber(8001) != 0; }
  void SetAsyncMode(bool async) { SetPropertyNumber(8001, async ? 1 : 0); }
  int32_t RecLineChars() { return GetPropertyNumber(8016); }
  int32_t RecLineWidth() { return GetPropertyNumber(8020); }
  void SetRecLetterQuality(bool quality) { SetPropertyNumber(8015, quality ? 1 : 0); }
  bool CapRecPapercut() { return GetPropertyNumber(8526) != 0; }
  bool CapRecBitmap() { return GetPropertyNumber(8517) != 0; }

 private:
  POSPrinter() : ControlObject(PosPrinterTable()) {}
  int32_t Call(std::string_view name, std::initializer_list<Variant> args) {
    std::vector<Variant> copies(args);
    return CallLong(name, copies);
  }
};

}  // namespace opos::control
