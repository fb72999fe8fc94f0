// OPOS result codes, states and the property indexes the line display answers to.
#pragma once

#include <cstdint>

namespace line_display::opos {

inline constexpr int32_t kSuccess = 0;
inline constexpr int32_t kClosed = 101;
inline constexpr int32_t kNotClaimed = 103;
inline constexpr int32_t kNoService = 104;
inline constexpr int32_t kDisabled = 105;
inline constexpr int32_t kIllegal = 106;
inline constexpr int32_t kFailure = 111;
inline constexpr int32_t kTimeout = 112;

inline constexpr int32_t kStateClosed = 1, kStateIdle = 2, kStateBusy = 3;

// PowerState values; CapPowerReporting "standard" knows only on and off.
inline constexpr int32_t kPowerUnknown = 2000, kPowerOnline = 2001, kPowerOffOffline = 2004;
inline constexpr int32_t kPowerReportingStandard = 1;

// Kinds of event record.
inline constexpr int32_t kDirectIOEvent = 2, kStatusUpdateEvent = 5;

namespace prop {
inline constexpr int32_t kClaimed = 1;
inline constexpr int32_t kDeviceEnabled = 3;
inline constexpr int32_t kFreezeEvents = 4;
inline constexpr int32_t kResultCode = 6;
inline constexpr int32_t kResultCodeExtended = 7;
inline constexpr int32_t kServiceObjectVersion = 8;
inline constexpr int32_t kState = 9;
inline constexpr int32_t kBinaryConversion = 11;
inline constexpr int32_t kPowerNotify = 13;
inline constexpr int32_t kPowerState = 14;
inline constexpr int32_t kCapPowerReporting = 501;
inline constexpr int32_t kCharacterSet = 5001;
inline constexpr int32_t kColumns = 5002;
inline constexpr int32_t kCurrentWindow = 5003;
inline constexpr int32_t kCursorColumn = 5004;
inline constexpr int32_t kCursorRow = 5005;
inline constexpr int32_t kCursorUpdate = 5006;
inline constexpr int32_t kDeviceBrightness = 5007;
inline constexpr int32_t kDeviceColumns = 5008;
inline constexpr int32_t kDeviceDescriptors = 5009;
inline constexpr int32_t kDeviceRows = 5010;
inline constexpr int32_t kDeviceWindows = 5011;
inline constexpr int32_t kInterCharacterWait = 5012;
inline constexpr int32_t kMarqueeRepeatWait = 5013;
inline constexpr int32_t kMarqueeType = 5014;
inline constexpr int32_t kMarqueeUnitWait = 5015;
inline constexpr int32_t kRows = 5016;
inline constexpr int32_t kMarqueeFormat = 5017;
inline constexpr int32_t kBlinkRate = 5018;
inline constexpr int32_t kCheckHealthText = 1000001;
inline constexpr int32_t kDeviceDescription = 1000002;
inline constexpr int32_t kDeviceName = 1000003;
inline constexpr int32_t kServiceObjectDescription = 1000004;
inline constexpr int32_t kCharacterSetList = 1005001;
}  // namespace prop

}  // namespace line_display::opos
