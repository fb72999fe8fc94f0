// OPOS result codes, extended codes, device states and the property indexes the printer
// service object answers to.
#pragma once

#include <cstdint>

namespace service_core::opos {

inline constexpr int32_t kSuccess = 0;
inline constexpr int32_t kClosed = 101;
inline constexpr int32_t kClaimed = 102;
inline constexpr int32_t kNotClaimed = 103;
inline constexpr int32_t kNoService = 104;
inline constexpr int32_t kDisabled = 105;
inline constexpr int32_t kIllegal = 106;
inline constexpr int32_t kNoHardware = 107;
inline constexpr int32_t kOffline = 108;
inline constexpr int32_t kFailure = 111;
inline constexpr int32_t kTimeout = 112;
inline constexpr int32_t kExtended = 114;

inline constexpr int32_t kExtCoverOpen = 201;
inline constexpr int32_t kExtRecEmpty = 203;
inline constexpr int32_t kExtSlpEmpty = 204;
inline constexpr int32_t kExtNoAnswerAtClaim = 10007;
inline constexpr int32_t kExtWriteFailed = 100003;

inline constexpr int32_t kStateClosed = 1, kStateIdle = 2, kStateBusy = 3, kStateError = 4;
inline constexpr int32_t kErRetry = 11, kErClear = 12;
inline constexpr int32_t kLocusOutput = 1;
inline constexpr int32_t kPowerUnknown = 2000, kPowerOnline = 2001, kPowerOffOffline = 2004;
inline constexpr int32_t kStatusIdle = 1001;  // PTR_SUE_IDLE

// Property indexes.
inline constexpr int32_t kPropClaimed = 1;
inline constexpr int32_t kPropDeviceEnabled = 3;
inline constexpr int32_t kPropFreezeEvents = 4;
inline constexpr int32_t kPropOutputId = 5;
inline constexpr int32_t kPropResultCode = 6;
inline constexpr int32_t kPropResultCodeExtended = 7;
inline constexpr int32_t kPropServiceObjectVersion = 8;
inline constexpr int32_t kPropState = 9;
inline constexpr int32_t kPropBinaryConversion = 11;
inline constexpr int32_t kPropPowerNotify = 13;
inline constexpr int32_t kPropPowerState = 14;
inline constexpr int32_t kPropCapPowerReporting = 501;
inline constexpr int32_t kPropCheckHealthText = 1000001;
inline constexpr int32_t kPropDeviceDescription = 1000002;
inline constexpr int32_t kPropDeviceName = 1000003;
inline constexpr int32_t kPropServiceObjectDescription = 1000004;
inline constexpr int32_t kPropAsyncMode = 8001;
inline constexpr int32_t kPropFlagWhenIdle = 8005;
inline constexpr int32_t kPropErrorString = 1008005;

inline constexpr int32_t kServiceObjectVersion = 1003001;

}  // namespace service_core::opos
