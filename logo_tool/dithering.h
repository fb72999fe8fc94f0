// Turning grey levels into printed and blank dots.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace imprex {

enum class DitherMethod { kThreshold, kOrdered, kFloydSteinberg, kAtkinson };

// The names the command line takes: "threshold", "bayer", "floyd-steinberg", "atkinson".
std::string_view MethodName(DitherMethod method);
std::optional<DitherMethod> MethodFromName(std::string_view name);

// `grey` holds width x height levels, row by row, 0 black to 255 white. Returns one byte a
// dot, 1 where the printer prints. A level below `threshold` (1..255) counts as dark: the
// threshold method prints exactly those, the others move the point where they start
// printing by the same amount.
std::vector<uint8_t> Dither(const std::vector<uint8_t>& grey, int width, int height,
                            DitherMethod method, int threshold = 128);

}  // namespace imprex
