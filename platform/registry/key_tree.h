// Key and value rows of the registry database: the operations Key, import and export are
// built from. Every function runs under Database::Lock() and throws Failure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "database.h"
#include "platform/registry.h"

namespace platform::registry::detail {

inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxValueNameLength = 16383;
inline constexpr size_t kMaxKeyDepth = 512;  // levels below a root, as on Windows

int64_t RootId(Root root);
// Names compare by their ASCII lower-case form; other bytes compare exactly.
std::string LowerAscii(std::string_view text);

// Splits a backslash path into checked key names; "" is the key itself and one trailing
// backslash is ignored. Throws kInvalidParameter for empty or invalid names.
std::vector<std::string_view> SplitPath(std::string_view path);
void CheckValueName(std::string_view name);
void CheckValue(const Value& value);

struct KeyRow {
  int64_t id;
  std::string name;
};

bool KeyExists(Database& db, int64_t id);
std::optional<KeyRow> FindChild(Database& db, int64_t parent, std::string_view name);
// Walks `names` below `parent`; appends the stored names to `path` (backslash separated).
// OpenPath throws kNotFound for a missing key; CreatePath creates the missing ones.
int64_t OpenPath(Database& db, int64_t parent, const std::vector<std::string_view>& names,
                 std::string& path);
// `parent_depth` is the number of levels of `parent` below its root.
int64_t CreatePath(Database& db, int64_t parent, size_t parent_depth,
                   const std::vector<std::string_view>& names, std::string& path);
size_t Depth(const std::string& path);  // levels of a stored path below its root

bool HasSubKeys(Database& db, int64_t id);
void DeleteKey(Database& db, int64_t id);   // the key and its values; no subkeys allowed
void DeleteTree(Database& db, int64_t id);  // the key, everything below it, and all values

void SetValue(Database& db, int64_t key, std::string_view name, const Value& value);
bool QueryValue(Database& db, int64_t key, std::string_view name, Value& out);
bool DeleteValue(Database& db, int64_t key, std::string_view name);

// Subkeys by lower-cased name; values in the order they were first created.
std::optional<std::string> SubKeyAt(Database& db, int64_t key, uint32_t index);
bool ValueAt(Database& db, int64_t key, uint32_t index, std::string& name, Value* value);
std::vector<KeyRow> SubKeys(Database& db, int64_t key);
std::vector<std::pair<std::string, Value>> Values(Database& db, int64_t key);
uint32_t CountSubKeys(Database& db, int64_t key);
uint32_t CountValues(Database& db, int64_t key);

}  // namespace platform::registry::detail
