#include "dithering.h"

#include <algorithm>
#include <array>

namespace imprex {

namespace {

struct NamedMethod {
  DitherMethod method;
  std::string_view name;
};
constexpr std::array<NamedMethod, 4> kNames = {{{DitherMethod::kThreshold, "threshold"},
                                                {DitherMethod::kOrdered, "bayer"},
                                                {DitherMethod::kFloydSteinberg, "floyd-steinberg"},
                                                {DitherMethod::kAtkinson, "atkinson"}}};

// The 8 x 8 Bayer index matrix: each level 0..63 once, spread as evenly as possible.
constexpr uint8_t kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

std::vector<uint8_t> Threshold(const std::vector<uint8_t>& grey, int threshold) {
  std::vector<uint8_t> dots(grey.size());
  for (size_t i = 0; i < grey.size(); ++i) dots[i] = grey[i] < threshold ? 1 : 0;
  return dots;
}

std::vector<uint8_t> Ordered(const std::vector<uint8_t>& grey, int width, int height,
                             int threshold) {
  std::vector<uint8_t> dots(grey.size());
  const int shift = 128 - threshold;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // Cell levels 2, 6, ... 254: pure black always prints, pure white never does.
      const int level = kBayer[y & 7][x & 7] * 4 + 2;
      const size_t i = size_t(y) * width + x;
      dots[i] = grey[i] + shift < level ? 1 : 0;
    }
  }
  return dots;
}

struct Share {
  int dx, dy, weight;
};

// Error diffusion over one row at a time; `shares` of the error go to the neighbours,
// each weight divided by `divisor` (Atkinson passes on only 6/8 and lets the rest go).
std::vector<uint8_t> Diffuse(const std::vector<uint8_t>& grey, int width, int height,
                             int threshold, const std::vector<Share>& shares, int divisor) {
  std::vector<uint8_t> dots(grey.size());
  // Three rows of accumulated error (in 1/divisor steps of a level), the current first.
  const int rows = 3;
  std::vector<int> error(size_t(rows) * (width + 4), 0);
  auto at = [&](int row, int x) -> int& { return error[size_t(row % rows) * (width + 4) + x + 2]; };
  for (int y = 0; y < height; ++y) {
    for (int x = -2; x < width + 2; ++x) at(y + 2, x) = 0;
    for (int x = 0; x < width; ++x) {
      const size_t i = size_t(y) * width + x;
      const int value = grey[i] + at(y, x) / divisor;
      const bool dark = value < threshold;
      dots[i] = dark ? 1 : 0;
      const int err = value - (dark ? 0 : 255);
      for (const Share& s : shares) at(y + s.dy, x + s.dx) += err * s.weight;
    }
  }
  return dots;
}

}  // namespace

std::string_view MethodName(DitherMethod method) {
  for (const NamedMethod& n : kNames) {
    if (n.method == method) return n.name;
  }
  return "threshold";
}

std::optional<DitherMethod> MethodFromName(std::string_view name) {
  for (const NamedMethod& n : kNames) {
    if (n.name == name) return n.method;
  }
  if (name == "ordered") return DitherMethod::kOrdered;
  if (name == "floyd" || name == "fs") return DitherMethod::kFloydSteinberg;
  return std::nullopt;
}

std::vector<uint8_t> Dither(const std::vector<uint8_t>& grey, int width, int height,
                            DitherMethod method, int threshold) {
  threshold = std::clamp(threshold, 1, 255);
  switch (method) {
    case DitherMethod::kThreshold:
      return Threshold(grey, threshold);
    case DitherMethod::kOrdered:
      return Ordered(grey, width, height, threshold);
    case DitherMethod::kFloydSteinberg:
      return Diffuse(grey, width, height, threshold, {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}},
                     16);
    case DitherMethod::kAtkinson:
      return Diffuse(grey, width, height, threshold,
                     {{1, 0, 1}, {2, 0, 1}, {-1, 1, 1}, {0, 1, 1}, {1, 1, 1}, {0, 2, 1}}, 8);
  }
  return Threshold(grey, threshold);
}

}  // namespace imprex
