// REGEDIT4 import. The whole text is parsed before anything is written, and the changes
// are applied in one transaction: a file is imported completely or not at all.
#include <cctype>
#include <optional>

#include "key_tree.h"
#include "platform/registry.h"

namespace platform::registry {

using detail::Database;
using detail::Fail;

namespace {

struct Change {
  enum Kind { kOpenKey, kDeleteTree, kSetValue, kDeleteValue } kind = kOpenKey;
  Root root = Root::LocalMachine;
  std::vector<std::string> path;
  std::string name;
  Value value;
};

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         detail::LowerAscii(text.substr(0, prefix.size())) == prefix;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

class Parser {
 public:
  explicit Parser(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines_.push_back(line);
      if (end == std::string_view::npos) break;
      start = end + 1;
    }
  }

  std::vector<Change> Parse() {
    if (Trim(lines_[0]) != "REGEDIT4") Error(0, "the text must begin with the line REGEDIT4");
    for (index_ = 1; index_ < lines_.size(); ++index_) {
      std::string_view line = Trim(lines_[index_]);
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        ParseSection(line);
      } else if (line.front() == '"' || line.front() == '@') {
        ParseValue(line);
      } else {
        Error(index_, "expected a [key] line or a value line");
      }
    }
    return std::move(changes_);
  }

 private:
  [[noreturn]] void Error(size_t index, const std::string& message) {
    Fail(kInvalidParameter, "line " + std::to_string(index + 1) + ": " + message);
  }

  void ParseSection(std::string_view line) {
    if (line.back() != ']') Error(index_, "a key line must end with ]");
    std::string_view inner = line.substr(1, line.size() - 2);
    Change change;
    if (!inner.empty() && inner.front() == '-') {
      change.kind = Change::kDeleteTree;
      inner.remove_prefix(1);
    }
    size_t split = inner.find('\\');
    if (!ParseRootName(inner.substr(0, split), change.root)) {
      Error(index_, "unknown root key \"" + std::string(inner.substr(0, split)) + "\"");
    }
    std::string_view rest = split == std::string_view::npos ? "" : inner.substr(split + 1);
    try {
      for (std::string_view name : detail::SplitPath(rest)) change.path.emplace_back(name);
    } catch (const detail::Failure& failure) {
      Error(index_, failure.message);
    }
    if (change.path.size() > detail::kMaxKeyDepth) {
      Error(index_, "keys can be nested at most 512 levels deep");
    }
    if (change.kind == Change::kDeleteTree && change.path.empty()) {
      Error(index_, "a root key cannot be deleted");
    }
    in_key_ = change.kind == Change::kOpenKey;
    in_deleted_key_ = !in_key_;
    changes_.push_back(std::move(change));
  }

  // Reads a quoted string at the start of `text`; returns it and leaves `text` after it.
  std::string ParseQuoted(std::string_view& text) {
    std::string out;
    size_t i = 1;
    for (; i < text.size() && text[i] != '"'; ++i) {
      if (text[i] == '\\') {
        if (i + 1 >= text.size() || (text[i + 1] != '\\' && text[i + 1] != '"')) {
          Error(index_, "a backslash in quotes must be followed by \\ or \"");
        }
        ++i;
      }
      out += text[i];
    }
    if (i >= text.size()) Error(index_, "missing closing quote");
    text.remove_prefix(i + 1);
    return out;
  }

  void ParseValue(std::string_view line) {
    if (in_deleted_key_) Error(index_, "a value cannot follow a [-key] line");
    if (!in_key_) Error(index_, "a value line must follow a [key] line");
    Change change;
    change.kind = Change::kSetValue;
    change.root = changes_.back().root;
    std::string_view rest = line;
    if (rest.front() == '@') {
      rest.remove_prefix(1);
    } else {
      change.name = ParseQuoted(rest);
    }
    try {
      detail::CheckValueName(change.name);
    } catch (const detail::Failure& failure) {
      Error(index_, failure.message);
    }
    rest = Trim(rest);
    if (rest.empty() || rest.front() != '=') Error(index_, "expected = after the value name");
    rest = Trim(rest.substr(1));
    if (rest == "-") {
      change.kind = Change::kDeleteValue;
    } else if (!rest.empty() && rest.front() == '"') {
      std::string text = ParseQuoted(rest);
      if (!Trim(rest).empty()) Error(index_, "unexpected text after the closing quote");
      change.value = Value::String(text);
    } else if (StartsWithNoCase(rest, "dword:")) {
      change.value = Value::Dword(ParseDword(rest.substr(6)));
    } else if (StartsWithNoCase(rest, "hex")) {
      change.value = ParseHexValue(rest.substr(3));
    } else {
      Error(index_, "expected \"text\", dword:, hex: or - after =");
    }
    changes_.push_back(std::move(change));
  }

  uint32_t ParseDword(std::string_view digits) {
    digits = Trim(digits);
    if (digits.empty() || digits.size() > 8) Error(index_, "dword: needs 1 to 8 hex digits");
    uint32_t number = 0;
    for (char c : digits) {
      int digit = HexDigit(c);
      if (digit < 0) Error(index_, "dword: needs 1 to 8 hex digits");
      number = number << 4 | static_cast<uint32_t>(digit);
    }
    return number;
  }

  // `rest` follows "hex": either ":" or "(n):", then comma-separated bytes, possibly
  // continued on following lines after a trailing backslash.
  Value ParseHexValue(std::string_view rest) {
    uint32_t type = static_cast<uint32_t>(ValueType::Binary);
    if (!rest.empty() && rest.front() == '(') {
      size_t close = rest.find(')');
      if (close == std::string_view::npos) Error(index_, "hex( without )");
      type = ParseDword(rest.substr(1, close - 1));
      rest.remove_prefix(close + 1);
    }
    if (rest.empty() || rest.front() != ':') Error(index_, "expected : after hex");
    std::string bytes_text(Trim(rest.substr(1)));
    size_t first_line = index_;
    while (!bytes_text.empty() && bytes_text.back() == '\\') {
      bytes_text.pop_back();
      if (++index_ >= lines_.size() || Trim(lines_[index_]).empty()) {
        Error(first_line, "a backslash at the end promises a continuation line that is missing");
      }
      bytes_text += Trim(lines_[index_]);
    }
    Value value;
    value.data = ParseBytes(Trim(bytes_text));
    switch (type) {
      case 1:
        value.type = ValueType::String;
        break;
      case 3:
        value.type = ValueType::Binary;
        break;
      case 4:
        if (value.data.size() != 4) Error(index_, "hex(4) needs exactly 4 bytes");
        value.type = ValueType::Dword;
        break;
      default:
        Error(index_, "value type hex(" + std::to_string(type) + ") is not supported");
    }
    return value;
  }

  std::vector<uint8_t> ParseBytes(std::string_view text) {
    std::vector<uint8_t> bytes;
    if (text.empty()) return bytes;
    size_t start = 0;
    while (true) {
      size_t comma = text.find(',', start);
      std::string_view item =
          Trim(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
      int high = item.size() == 2 ? HexDigit(item[0]) : (item.size() == 1 ? 0 : -1);
      int low = item.empty() ? -1 : HexDigit(item.back());
      if (high < 0 || low < 0) Error(index_, "\"" + std::string(item) + "\" is not a hex byte");
      bytes.push_back(static_cast<uint8_t>(high << 4 | low));
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
    return bytes;
  }

  std::vector<std::string_view> lines_;
  size_t index_ = 0;
  bool in_key_ = false;
  bool in_deleted_key_ = false;
  std::vector<Change> changes_;
};

void Apply(Database& db, const std::vector<Change>& changes) {
  int64_t current = 0;
  for (const Change& change : changes) {
    std::vector<std::string_view> names(change.path.begin(), change.path.end());
    std::string found;
    switch (change.kind) {
      case Change::kOpenKey:
        current = detail::CreatePath(db, detail::RootId(change.root), 0, names, found);
        break;
      case Change::kDeleteTree: {
        int64_t id = detail::RootId(change.root);
        for (std::string_view name : names) {
          std::optional<detail::KeyRow> child = detail::FindChild(db, id, name);
          id = child ? child->id : 0;
          if (id == 0) break;
        }
        if (id != 0) detail::DeleteTree(db, id);
        break;
      }
      case Change::kSetValue:
        detail::SetValue(db, current, change.name, change.value);
        break;
      case Change::kDeleteValue:
        detail::DeleteValue(db, current, change.name);
        break;
    }
  }
}

}  // namespace

Status ImportRegedit(std::string_view text, std::string* error) {
  Status status = detail::Guarded([&](Database& db) {
    std::vector<Change> changes = Parser(text).Parse();
    detail::Transaction tx(db, detail::Transaction::kWrite);
    Apply(db, changes);
    tx.Commit();
  });
  if (error != nullptr) *error = status == kSuccess ? std::string() : LastErrorMessage();
  return status;
}

}  // namespace platform::registry
