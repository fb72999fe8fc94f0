#include "common_members.h"

namespace opos::control {

namespace {

using K = PropertyKind;
using P = ParamType;

const PropertyInfo kCommonProperties[] = {
    {"Claimed", 1, K::Bool, false, 14},
    {"DeviceEnabled", 3, K::Bool, true, 17},
    {"FreezeEvents", 4, K::Bool, true, 18},
    {"OutputID", 5, K::Number, false, 19},
    {"ResultCode", 6, K::Number, false, 22},
    {"ResultCodeExtended", 7, K::Number, false, 23},
    {"ServiceObjectVersion", 8, K::Number, false, 28},
    {"State", 9, K::Number, false, 24},
    {"BinaryConversion", 11, K::Number, true, 11},
    {"PowerNotify", 13, K::Number, true, 20},
    {"PowerState", 14, K::Number, false, 21},
    {"CapPowerReporting", 501, K::Number, false, 12},
    {"CheckHealthText", 1000001, K::String, false, 13},
    {"DeviceDescription", 1000002, K::String, false, 29},
    {"DeviceName", 1000003, K::String, false, 30},
    {"ServiceObjectDescription", 1000004, K::String, false, 27},
    // Answered by the control object itself.
    {"ControlObjectDescription", 0, K::String, false, 25},
    {"ControlObjectVersion", 0, K::Number, false, 26},
    {"OpenResult", 0, K::Number, false, 49},
};

const MethodInfo kCommonMethods[] = {
    {"CheckHealth", "CheckHealth", 31, {{"Level", P::Long}}},
    {"ClaimDevice", "ClaimDevice", 32, {{"Timeout", P::Long}}},
    {"Close", "CloseService", kDispIdClose, {}},
    {"DirectIO",
     "DirectIO",
     36,
     {{"Command", P::Long}, {"pData", P::LongRef}, {"pString", P::StringRef}}},
    {"Open", "OpenService", kDispIdOpen, {{"DeviceName", P::String}}},
    {"ReleaseDevice", "ReleaseDevice", 38, {}},
    // The short forms the service objects also answer to.
    {"Claim", "Claim", 1001, {{"Timeout", P::Long}}},
    {"Release", "Release", 1002, {}},
};

}  // namespace

std::span<const PropertyInfo> CommonProperties() { return kCommonProperties; }
std::span<const MethodInfo> CommonMethods() { return kCommonMethods; }

}  // namespace opos::control
