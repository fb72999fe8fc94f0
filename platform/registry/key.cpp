#include "key_tree.h"
#include "platform/registry.h"

namespace platform::registry {

using detail::Database;
using detail::Fail;
using detail::Guarded;

Value Value::String(std::string_view text) {
  return Value{ValueType::String, std::vector<uint8_t>(text.begin(), text.end())};
}

Value Value::Dword(uint32_t number) {
  return Value{ValueType::Dword,
               {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)}};
}

Value Value::Binary(std::vector<uint8_t> bytes) {
  return Value{ValueType::Binary, std::move(bytes)};
}

std::string Value::AsString() const {
  size_t size = data.size();
  while (size > 0 && data[size - 1] == 0) --size;  // written by programs that store the terminator
  return std::string(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size));
}

uint32_t Value::AsDword() const {
  if (data.size() < 4) return 0;
  return data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<uint32_t>(data[3]) << 24);
}

bool ParseRootName(std::string_view name, Root& root) {
  std::string lower = detail::LowerAscii(name);
  if (lower == "hkey_local_machine" || lower == "hklm") {
    root = Root::LocalMachine;
    return true;
  }
  if (lower == "hkey_classes_root" || lower == "hkcr") {
    root = Root::ClassesRoot;
    return true;
  }
  return false;
}

const char* RootName(Root root) {
  return root == Root::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CLASSES_ROOT";
}

struct Key::Impl {
  Root root = Root::LocalMachine;
  int64_t id = 0;
  std::string path;
  Access access = Access::Read;
  uint64_t generation = 0;

  std::string FullName() const {
    return path.empty() ? RootName(root) : std::string(RootName(root)) + "\\" + path;
  }
};

namespace {

bool IsValidRoot(Root root) { return root == Root::LocalMachine || root == Root::ClassesRoot; }

// The id of the key behind an open handle, checked against deletion and database switches.
int64_t LiveId(Database& db, const Key::Impl* impl) {
  if (impl == nullptr) Fail(kInvalidHandle, "the registry key is not open");
  if (impl->generation != db.Generation() || !detail::KeyExists(db, impl->id)) {
    Fail(kKeyDeleted, "registry key " + impl->FullName() + " has been deleted");
  }
  return impl->id;
}

void RequireWrite(const Key::Impl* impl) {
  if (impl != nullptr && impl->access == Access::Read) {
    Fail(kAccessDenied, "registry key " + impl->FullName() + " is open for reading only");
  }
}

std::string Join(const std::string& base, std::string_view rest) {
  if (base.empty() || rest.empty()) return base + std::string(rest);
  return base + "\\" + std::string(rest);
}

}  // namespace

Key::Key() = default;
Key::~Key() = default;
Key::Key(Key&&) noexcept = default;
Key& Key::operator=(Key&&) noexcept = default;

Status Key::Open(Root root, std::string_view path, Access access, Key& out) {
  out.Close();
  auto impl = std::make_unique<Impl>();
  Status status = Guarded([&](Database& db) {
    if (!IsValidRoot(root)) Fail(kInvalidParameter, "unknown registry root");
    auto names = detail::SplitPath(path);
    detail::Transaction tx(db, detail::Transaction::kRead);
    impl->id = detail::OpenPath(db, detail::RootId(root), names, impl->path);
    tx.Commit();
    impl->generation = db.Generation();
  });
  if (status != kSuccess) return status;
  impl->root = root;
  impl->access = access;
  out.impl_ = std::move(impl);
  return kSuccess;
}

Status Key::Create(Root root, std::string_view path, Key& out) {
  out.Close();
  auto impl = std::make_unique<Impl>();
  Status status = Guarded([&](Database& db) {
    if (!IsValidRoot(root)) Fail(kInvalidParameter, "unknown registry root");
    auto names = detail::SplitPath(path);
    detail::Transaction tx(db, detail::Transaction::kWrite);
    impl->id = detail::CreatePath(db, detail::RootId(root), 0, names, impl->path);
    tx.Commit();
    impl->generation = db.Generation();
  });
  if (status != kSuccess) return status;
  impl->root = root;
  impl->access = Access::Write;
  out.impl_ = std::move(impl);
  return kSuccess;
}

Status Key::OpenSubKey(std::string_view path, Access access, Key& out) const {
  auto impl = std::make_unique<Impl>();
  Status status = Guarded([&](Database& db) {
    auto names = detail::SplitPath(path);
    detail::Transaction tx(db, detail::Transaction::kRead);
    std::string found;
    impl->id = detail::OpenPath(db, LiveId(db, impl_.get()), names, found);
    tx.Commit();
    impl->path = Join(impl_->path, found);
    impl->generation = db.Generation();
  });
  if (status != kSuccess) return status;
  impl->root = impl_->root;
  impl->access = access;
  out.impl_ = std::move(impl);
  return kSuccess;
}

Status Key::CreateSubKey(std::string_view path, Key& out) const {
  auto impl = std::make_unique<Impl>();
  Status status = Guarded([&](Database& db) {
    RequireWrite(impl_.get());
    auto names = detail::SplitPath(path);
    detail::Transaction tx(db, detail::Transaction::kWrite);
    std::string found;
    impl->id =
        detail::CreatePath(db, LiveId(db, impl_.get()), detail::Depth(impl_->path), names, found);
    tx.Commit();
    impl->path = Join(impl_->path, found);
    impl->generation = db.Generation();
  });
  if (status != kSuccess) return status;
  impl->root = impl_->root;
  impl->access = Access::Write;
  out.impl_ = std::move(impl);
  return kSuccess;
}

bool Key::IsOpen() const { return impl_ != nullptr; }
void Key::Close() { impl_.reset(); }
std::string Key::Path() const { return impl_ ? impl_->path : std::string(); }
Root Key::GetRoot() const { return impl_ ? impl_->root : Root::LocalMachine; }

Status Key::QueryValue(std::string_view name, Value& out) const {
  return Guarded([&](Database& db) {
    int64_t id = LiveId(db, impl_.get());
    if (detail::QueryValue(db, id, name, out)) return;
    if (!detail::KeyExists(db, id)) LiveId(db, impl_.get());
    Fail(kNotFound, "value \"" + std::string(name) + "\" not found in " + impl_->FullName());
  });
}

Status Key::QueryString(std::string_view name, std::string& out) const {
  Value value;
  Status status = QueryValue(name, value);
  if (status != kSuccess) return status;
  if (value.type != ValueType::String) {
    detail::SetLastErrorMessage("value \"" + std::string(name) + "\" is not a string");
    return kUnsupportedType;
  }
  out = value.AsString();
  return kSuccess;
}

Status Key::QueryDword(std::string_view name, uint32_t& out) const {
  Value value;
  Status status = QueryValue(name, value);
  if (status != kSuccess) return status;
  if (value.type != ValueType::Dword || value.data.size() != 4) {
    detail::SetLastErrorMessage("value \"" + std::string(name) + "\" is not a REG_DWORD");
    return kUnsupportedType;
  }
  out = value.AsDword();
  return kSuccess;
}

Status Key::SetValue(std::string_view name, const Value& value) {
  return Guarded([&](Database& db) {
    if (impl_ == nullptr) LiveId(db, nullptr);
    RequireWrite(impl_.get());
    detail::CheckValueName(name);
    detail::CheckValue(value);
    detail::Transaction tx(db, detail::Transaction::kWrite);
    detail::SetValue(db, LiveId(db, impl_.get()), name, value);
    tx.Commit();
  });
}

Status Key::SetString(std::string_view name, std::string_view text) {
  return SetValue(name, Value::String(text));
}

Status Key::SetDword(std::string_view name, uint32_t number) {
  return SetValue(name, Value::Dword(number));
}

Status Key::SetBinary(std::string_view name, const std::vector<uint8_t>& bytes) {
  return SetValue(name, Value::Binary(bytes));
}

Status Key::DeleteValue(std::string_view name) {
  return Guarded([&](Database& db) {
    if (impl_ == nullptr) LiveId(db, nullptr);
    RequireWrite(impl_.get());
    detail::Transaction tx(db, detail::Transaction::kWrite);
    if (!detail::DeleteValue(db, LiveId(db, impl_.get()), name)) {
      Fail(kNotFound, "value \"" + std::string(name) + "\" not found in " + impl_->FullName());
    }
    tx.Commit();
  });
}

Status Key::DeleteSubKey(std::string_view path) {
  return Guarded([&](Database& db) {
    if (impl_ == nullptr) LiveId(db, nullptr);
    RequireWrite(impl_.get());
    auto names = detail::SplitPath(path);
    if (names.empty()) Fail(kInvalidParameter, "no subkey named to delete");
    detail::Transaction tx(db, detail::Transaction::kWrite);
    std::string found;
    int64_t id = detail::OpenPath(db, LiveId(db, impl_.get()), names, found);
    if (detail::HasSubKeys(db, id)) {
      Fail(kAccessDenied, "registry key " + Join(impl_->FullName(), found) + " has subkeys");
    }
    detail::DeleteKey(db, id);
    tx.Commit();
  });
}

Status Key::DeleteTree(std::string_view path) {
  return Guarded([&](Database& db) {
    if (impl_ == nullptr) LiveId(db, nullptr);
    RequireWrite(impl_.get());
    auto names = detail::SplitPath(path);
    detail::Transaction tx(db, detail::Transaction::kWrite);
    std::string found;
    int64_t id = detail::OpenPath(db, LiveId(db, impl_.get()), names, found);
    if (names.empty()) {
      for (const auto& child : detail::SubKeys(db, id)) detail::DeleteTree(db, child.id);
      db.BeforeChange();
      db.Prepare("DELETE FROM vals WHERE key_id = ?").Bind(1, id).Run();
    } else {
      detail::DeleteTree(db, id);
    }
    tx.Commit();
  });
}

Status Key::EnumSubKey(uint32_t index, std::string& name) const {
  return Guarded([&](Database& db) {
    std::optional<std::string> found = detail::SubKeyAt(db, LiveId(db, impl_.get()), index);
    if (!found) Fail(kNoMoreItems, "no more subkeys");
    name = std::move(*found);
  });
}

Status Key::EnumValue(uint32_t index, std::string& name, Value* value) const {
  return Guarded([&](Database& db) {
    if (!detail::ValueAt(db, LiveId(db, impl_.get()), index, name, value)) {
      Fail(kNoMoreItems, "no more values");
    }
  });
}

Status Key::QueryInfo(uint32_t* subkeys, uint32_t* values) const {
  return Guarded([&](Database& db) {
    detail::Transaction tx(db, detail::Transaction::kRead);
    int64_t id = LiveId(db, impl_.get());
    if (subkeys != nullptr) *subkeys = detail::CountSubKeys(db, id);
    if (values != nullptr) *values = detail::CountValues(db, id);
    tx.Commit();
  });
}

}  // namespace platform::registry
