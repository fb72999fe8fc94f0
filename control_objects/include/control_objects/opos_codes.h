// OPOS result codes and constants the control objects and their applications branch on.
#pragma once

#include <cstdint>

namespace opos {

inline constexpr int32_t kSuccess = 0;
inline constexpr int32_t kClosed = 101;      // OPOS_E_CLOSED
inline constexpr int32_t kClaimed = 102;     // OPOS_E_CLAIMED
inline constexpr int32_t kNotClaimed = 103;  // OPOS_E_NOTCLAIMED
inline constexpr int32_t kNoService = 104;   // OPOS_E_NOSERVICE
inline constexpr int32_t kDisabled = 105;    // OPOS_E_DISABLED
inline constexpr int32_t kIllegal = 106;     // OPOS_E_ILLEGAL
inline constexpr int32_t kNoHardware = 107;  // OPOS_E_NOHARDWARE
inline constexpr int32_t kOffline = 108;     // OPOS_E_OFFLINE
inline constexpr int32_t kNoExist = 109;     // OPOS_E_NOEXIST
inline constexpr int32_t kFailure = 111;     // OPOS_E_FAILURE
inline constexpr int32_t kTimeout = 112;     // OPOS_E_TIMEOUT
inline constexpr int32_t kExtended = 114;    // OPOS_E_EXTENDED

inline constexpr int32_t kStateClosed = 1, kStateIdle = 2, kStateBusy = 3, kStateError = 4;
inline constexpr int32_t kErRetry = 11, kErClear = 12;  // ErrorResponse values

}  // namespace opos
