// The automation interface of CLineDisplay, in interface order.
#include "line_display.h"

namespace line_display {

using D = CLineDisplay;

const DispatchTable<CLineDisplay>& CLineDisplay::AutomationTable() {
  static const DispatchTable<D> table =
      DispatchTable<D>()
          .Method("OpenService", &D::OpenService)
          .Method("Close", &D::CloseService)
          .Method("ClaimDevice", &D::ClaimDevice)
          .Method("Claim", &D::ClaimDevice)
          .Method("ReleaseDevice", &D::ReleaseDevice)
          .Method("Release", &D::ReleaseDevice)
          .Method("CheckHealth", &D::CheckHealth)
          .Method("DirectIO", &D::DirectIO)
          .Method("COFreezeEvents", &D::COFreezeEvents)
          .Method("GetPropertyNumber", &D::GetPropertyNumber)
          .Method("SetPropertyNumber", &D::SetPropertyNumber)
          .Method("GetPropertyString", &D::GetPropertyString)
          .Method("SetPropertyString", &D::SetPropertyString)
          .Method("ClearDescriptors", &D::ClearDescriptors)
          .Method("ClearText", &D::ClearText)
          .Method("CreateWindow", &D::CreateWindow)
          .Method("DestroyWindow", &D::DestroyWindow)
          .Method("DisplayText", &D::DisplayText)
          .Method("DisplayTextAt", &D::DisplayTextAt)
          .Method("RefreshWindow", &D::RefreshWindow)
          .Method("ScrollText", &D::ScrollText)
          .Method("SetDescriptor", &D::SetDescriptor)
          .Method("ReadCharacterAtCursor", &D::ReadCharacterAtCursor)
          .Method("DefineGlyph", &D::DefineGlyph)
          // The name the control objects use for Close.
          .Method("CloseService", &D::CloseService);
  return table;
}

}  // namespace line_display
