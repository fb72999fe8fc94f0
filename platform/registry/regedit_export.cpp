// REGEDIT4 export: every key in a stable order (a key, its values in creation order, then
// its subkeys by lower-cased name), so the same store always gives the same text.
#include <cstdio>

#include "key_tree.h"
#include "platform/registry.h"

namespace platform::registry {

using detail::Database;
using detail::Fail;

namespace {

constexpr size_t kWrapColumn = 76;

std::string Quote(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// Strings that would break the line structure are written as hex(1) so they survive exactly.
bool NeedsHexForm(const std::vector<uint8_t>& text) {
  for (uint8_t c : text) {
    if (c < 0x20 && c != '\t') return true;
  }
  return false;
}

void AppendHex(std::string& out, size_t line_start, const std::vector<uint8_t>& bytes) {
  char digits[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
    out += digits;
    if (i + 1 == bytes.size()) break;
    out += ',';
    if (out.size() - line_start > kWrapColumn) {
      out += "\\\n  ";
      line_start = out.size() - 2;
    }
  }
}

void AppendValue(std::string& out, const std::string& name, const Value& value) {
  size_t line_start = out.size();
  out += name.empty() ? "@" : Quote(name);
  out += '=';
  if (value.type == ValueType::String && !NeedsHexForm(value.data)) {
    out += Quote(std::string(value.data.begin(), value.data.end()));
  } else if (value.type == ValueType::Dword && value.data.size() == 4) {
    char number[16];
    std::snprintf(number, sizeof number, "dword:%08x", value.AsDword());
    out += number;
  } else {
    out += value.type == ValueType::Binary
               ? "hex:"
               : "hex(" + std::to_string(static_cast<uint32_t>(value.type)) + "):";
    AppendHex(out, line_start, value.data);
  }
  out += '\n';
}

void AppendKey(Database& db, int64_t id, const std::string& full_name, std::string& out) {
  out += "[" + full_name + "]\n";
  for (const auto& [name, value] : detail::Values(db, id)) AppendValue(out, name, value);
  out += '\n';
  for (const detail::KeyRow& child : detail::SubKeys(db, id)) {
    AppendKey(db, child.id, full_name + "\\" + child.name, out);
  }
}

}  // namespace

Status ExportRegedit(std::string_view path, std::string& text) {
  std::string out = "REGEDIT4\n\n";
  Status status = detail::Guarded([&](Database& db) {
    detail::Transaction tx(db, detail::Transaction::kRead);
    if (path.empty()) {
      for (Root root : {Root::LocalMachine, Root::ClassesRoot}) {
        AppendKey(db, detail::RootId(root), RootName(root), out);
      }
      return;
    }
    size_t split = path.find('\\');
    Root root;
    if (!ParseRootName(path.substr(0, split), root)) {
      Fail(kInvalidParameter, "\"" + std::string(path) + "\" does not start with a registry root");
    }
    std::string_view rest = split == std::string_view::npos ? "" : path.substr(split + 1);
    std::string found;
    int64_t id = detail::OpenPath(db, detail::RootId(root), detail::SplitPath(rest), found);
    AppendKey(db, id, found.empty() ? RootName(root) : RootName(root) + ("\\" + found), out);
  });
  if (status == kSuccess) text = std::move(out);
  return status;
}

}  // namespace platform::registry
