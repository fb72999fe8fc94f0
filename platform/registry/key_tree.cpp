#include "key_tree.h"

#include <algorithm>

namespace platform::registry::detail {

int64_t RootId(Root root) { return root == Root::LocalMachine ? 1 : 2; }

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

namespace {

bool HasControlCharacter(std::string_view text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) return true;
  }
  return false;
}

void CheckKeyName(std::string_view name, std::string_view path) {
  if (name.empty()) Fail(kInvalidParameter, "empty key name in path \"" + std::string(path) + "\"");
  if (name.size() > kMaxKeyNameLength) {
    Fail(kInvalidParameter, "key name longer than 255 characters in \"" + std::string(path) + "\"");
  }
  if (HasControlCharacter(name)) {
    Fail(kInvalidParameter, "control character in key path \"" + std::string(path) + "\"");
  }
}

}  // namespace

std::vector<std::string_view> SplitPath(std::string_view path) {
  std::vector<std::string_view> names;
  std::string_view rest = path;
  if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
  if (rest.empty()) return names;
  size_t start = 0;
  while (true) {
    size_t end = rest.find('\\', start);
    std::string_view name = rest.substr(start, end == std::string_view::npos ? end : end - start);
    CheckKeyName(name, path);
    names.push_back(name);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return names;
}

void CheckValueName(std::string_view name) {
  if (name.size() > kMaxValueNameLength) Fail(kInvalidParameter, "value name is too long");
  if (name.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos) {
    Fail(kInvalidParameter, "value name contains a line break or a zero character");
  }
}

void CheckValue(const Value& value) {
  switch (value.type) {
    case ValueType::String:
    case ValueType::Binary:
      return;
    case ValueType::Dword:
      if (value.data.size() != 4) Fail(kInvalidParameter, "REG_DWORD data must be 4 bytes");
      return;
  }
  Fail(kUnsupportedType, "value type " + std::to_string(static_cast<uint32_t>(value.type)) +
                             " is not REG_SZ, REG_BINARY or REG_DWORD");
}

bool KeyExists(Database& db, int64_t id) {
  Statement stmt = db.Prepare("SELECT 1 FROM keys WHERE id = ?");
  return stmt.Bind(1, id).Step();
}

std::optional<KeyRow> FindChild(Database& db, int64_t parent, std::string_view name) {
  Statement stmt = db.Prepare("SELECT id, name FROM keys WHERE parent = ? AND name_lc = ?");
  if (!stmt.Bind(1, parent).Bind(2, LowerAscii(name)).Step()) return std::nullopt;
  return KeyRow{stmt.Int(0), stmt.Text(1)};
}

int64_t OpenPath(Database& db, int64_t parent, const std::vector<std::string_view>& names,
                 std::string& path) {
  int64_t id = parent;
  for (std::string_view name : names) {
    std::optional<KeyRow> child = FindChild(db, id, name);
    if (!child) Fail(kNotFound, "key \"" + std::string(name) + "\" not found");
    if (!path.empty()) path += '\\';
    path += child->name;
    id = child->id;
  }
  return id;
}

size_t Depth(const std::string& path) {
  return path.empty() ? 0 : 1 + static_cast<size_t>(std::count(path.begin(), path.end(), '\\'));
}

int64_t CreatePath(Database& db, int64_t parent, size_t parent_depth,
                   const std::vector<std::string_view>& names, std::string& path) {
  if (parent_depth + names.size() > kMaxKeyDepth) {
    Fail(kInvalidParameter, "keys can be nested at most 512 levels deep");
  }
  int64_t id = parent;
  for (std::string_view name : names) {
    std::optional<KeyRow> child = FindChild(db, id, name);
    if (!child) {
      db.BeforeChange();
      Statement insert =
          db.Prepare("INSERT INTO keys(parent, name, name_lc) VALUES(?, ?, ?) RETURNING id");
      insert.Bind(1, id).Bind(2, name).Bind(3, LowerAscii(name)).Step();
      child = KeyRow{insert.Int(0), std::string(name)};
    }
    if (!path.empty()) path += '\\';
    path += child->name;
    id = child->id;
  }
  return id;
}

bool HasSubKeys(Database& db, int64_t id) {
  Statement stmt = db.Prepare("SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
  return stmt.Bind(1, id).Step();
}

void DeleteKey(Database& db, int64_t id) {
  db.BeforeChange();
  db.Prepare("DELETE FROM vals WHERE key_id = ?").Bind(1, id).Run();
  db.Prepare("DELETE FROM keys WHERE id = ?").Bind(1, id).Run();
}

void DeleteTree(Database& db, int64_t id) {
  // Children first, so no row is ever left without its parent.
  for (const KeyRow& child : SubKeys(db, id)) DeleteTree(db, child.id);
  DeleteKey(db, id);
}

void SetValue(Database& db, int64_t key, std::string_view name, const Value& value) {
  // An existing value keeps its place in the enumeration order and its written name.
  db.BeforeChange();
  Statement stmt = db.Prepare(
      "INSERT INTO vals(key_id, name, name_lc, type, data) VALUES(?, ?, ?, ?, ?) "
      "ON CONFLICT(key_id, name_lc) DO UPDATE SET type = excluded.type, data = excluded.data");
  stmt.Bind(1, key).Bind(2, name).Bind(3, LowerAscii(name));
  stmt.Bind(4, static_cast<int64_t>(value.type)).BindBlob(5, value.data).Run();
}

bool QueryValue(Database& db, int64_t key, std::string_view name, Value& out) {
  Statement stmt = db.Prepare("SELECT type, data FROM vals WHERE key_id = ? AND name_lc = ?");
  if (!stmt.Bind(1, key).Bind(2, LowerAscii(name)).Step()) return false;
  out.type = static_cast<ValueType>(stmt.Int(0));
  out.data = stmt.Blob(1);
  return true;
}

bool DeleteValue(Database& db, int64_t key, std::string_view name) {
  db.BeforeChange();
  Statement stmt = db.Prepare("DELETE FROM vals WHERE key_id = ? AND name_lc = ? RETURNING id");
  return stmt.Bind(1, key).Bind(2, LowerAscii(name)).Step();
}

std::optional<std::string> SubKeyAt(Database& db, int64_t key, uint32_t index) {
  Statement stmt =
      db.Prepare("SELECT name FROM keys WHERE parent = ? ORDER BY name_lc LIMIT 1 OFFSET ?");
  if (!stmt.Bind(1, key).Bind(2, static_cast<int64_t>(index)).Step()) return std::nullopt;
  return stmt.Text(0);
}

bool ValueAt(Database& db, int64_t key, uint32_t index, std::string& name, Value* value) {
  Statement stmt =
      db.Prepare("SELECT name, type, data FROM vals WHERE key_id = ? ORDER BY id LIMIT 1 OFFSET ?");
  if (!stmt.Bind(1, key).Bind(2, static_cast<int64_t>(index)).Step()) return false;
  name = stmt.Text(0);
  if (value != nullptr) {
    value->type = static_cast<ValueType>(stmt.Int(1));
    value->data = stmt.Blob(2);
  }
  return true;
}

std::vector<KeyRow> SubKeys(Database& db, int64_t key) {
  std::vector<KeyRow> rows;
  Statement stmt = db.Prepare("SELECT id, name FROM keys WHERE parent = ? ORDER BY name_lc");
  stmt.Bind(1, key);
  while (stmt.Step()) rows.push_back(KeyRow{stmt.Int(0), stmt.Text(1)});
  return rows;
}

std::vector<std::pair<std::string, Value>> Values(Database& db, int64_t key) {
  std::vector<std::pair<std::string, Value>> values;
  Statement stmt = db.Prepare("SELECT name, type, data FROM vals WHERE key_id = ? ORDER BY id");
  stmt.Bind(1, key);
  while (stmt.Step()) {
    Value value;
    value.type = static_cast<ValueType>(stmt.Int(1));
    value.data = stmt.Blob(2);
    values.emplace_back(stmt.Text(0), std::move(value));
  }
  return values;
}

uint32_t CountSubKeys(Database& db, int64_t key) {
  Statement stmt = db.Prepare("SELECT count(*) FROM keys WHERE parent = ?");
  stmt.Bind(1, key).Step();
  return static_cast<uint32_t>(stmt.Int(0));
}

uint32_t CountValues(Database& db, int64_t key) {
  Statement stmt = db.Prepare("SELECT count(*) FROM vals WHERE key_id = ?");
  stmt.Bind(1, key).Step();
  return static_cast<uint32_t>(stmt.Int(0));
}

}  // namespace platform::registry::detail
