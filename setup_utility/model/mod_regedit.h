// The utility's registry calls: each opens its key under HKEY_LOCAL_MACHINE, does one thing,
// closes the key and returns the Win32 status. Reads never fail loudly: a missing value, a
// value of another type or a store error gives the empty string or 0.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace confix::modRegedit {

using platform::registry::Status;

Status RegOpenOrCreateKey(const std::string& path);
Status RegWriteString(const std::string& path, const std::string& name, const std::string& text);
std::string RegReadString(const std::string& path, const std::string& name);
Status RegWriteDword(const std::string& path, const std::string& name, int32_t number);
int32_t RegReadDword(const std::string& path, const std::string& name);
Status RegDeleteNamedValue(const std::string& path, const std::string& name);
Status RegRemoveKey(const std::string& path);
// Deletes the key with every subkey and value below it.
Status RegRemoveTree(const std::string& path);
// Copies every value (with its type) and every subkey of `from` into `to`, created when
// missing.
Status RegCopyTree(const std::string& from, const std::string& to);

// The status of opening the key: kSuccess when it exists, kNotFound when it does not, any
// other code when the store cannot answer (callers must not take that for "free").
Status RegKeyStatus(const std::string& path);
// True when the key exists or its existence cannot be told (any error but not found).
bool RegKeyExists(const std::string& path);

// Subkey names in enumeration order; the key is created when missing. At most 1025 names.
// `status` (when given) is kSuccess also for a missing key that cannot be created, and
// the store's status when it cannot be read.
std::vector<std::string> RegEnumSubKeys(const std::string& path, Status* status = nullptr);

// Every value of the key as name and data text: strings without trailing zero bytes,
// numbers and binary data as hexadecimal text from the last byte to the first.
// 0 when values were listed, -1 when the key has none or does not exist, otherwise the
// status of the call that failed (what was read before it is kept).
Status RegEnumValues(const std::string& path, std::vector<std::string>& names,
                     std::vector<std::string>& values);

}  // namespace confix::modRegedit
