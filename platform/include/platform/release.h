// The release the programs and service objects belong to, as `--version` prints it.
#pragma once

namespace platform {

inline constexpr const char* kReleaseVersion = "2.15";

}  // namespace platform
