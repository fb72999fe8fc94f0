#include "status_bytes.h"

namespace vdev::printer {
namespace {

constexpr uint8_t kFixed = 0x12;  // bits 1 and 4 are always set in DLE EOT answers
constexpr uint8_t kPin3 = 0x04;
constexpr uint8_t kOffline = 0x08;

}  // namespace

std::optional<uint8_t> RealTimeStatus(const SensedState& s, uint8_t n) {
  switch (n) {
    case 1:
      return uint8_t(kFixed | (s.pin3_high ? kPin3 : 0) | (s.online() ? 0 : kOffline));
    case 2:
      return uint8_t(kFixed | (s.cover_open ? 0x04 : 0) | (s.paper_out ? 0x20 : 0));
    case 3:
      return kFixed;  // no cutter, mechanical or unrecoverable errors are modelled
    case 4:
      return uint8_t(kFixed | (s.paper_out ? 0x0C | 0x60 : 0));
    default:
      return std::nullopt;
  }
}

std::array<uint8_t, 4> StatusBackBlock(const SensedState& s, PrinterLink link) {
  uint8_t first = 0x10 | (s.pin3_high ? kPin3 : 0);
  if (!s.online()) first |= kOffline;
  if (s.cover_open) first |= 0x20;
  // The paper sensor sits under the cover: with the cover open only the cover is reported,
  // so every block is one of ready, cover open or paper end.
  const uint8_t paper = (s.paper_out && !s.cover_open) ? 0x0F : 0x00;
  // The network and USB interfaces leave the offline bit out of the block.
  if (link != PrinterLink::Serial) first &= ~kOffline;
  return {first, 0x00, paper, 0x00};
}

uint8_t ChangedStatusCategories(const SensedState& before, const SensedState& after) {
  uint8_t categories = 0;
  if (before.pin3_high != after.pin3_high) categories |= 0x01;
  if (before.online() != after.online() || before.cover_open != after.cover_open)
    categories |= 0x02;
  if (before.paper_out != after.paper_out) categories |= 0x08;
  return categories;
}

}  // namespace vdev::printer
