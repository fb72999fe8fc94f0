// Hierarchical key/value store with the Windows registry's rules, kept in one
// SQLite database file. Callers branch on the Win32 status codes below.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

// Win32 error codes returned by every operation.
using Status = long;
inline constexpr Status kSuccess = 0;
inline constexpr Status kNotFound = 2;            // ERROR_FILE_NOT_FOUND
inline constexpr Status kAccessDenied = 5;        // ERROR_ACCESS_DENIED
inline constexpr Status kInvalidHandle = 6;       // ERROR_INVALID_HANDLE: the Key is not open
inline constexpr Status kInvalidParameter = 87;   // ERROR_INVALID_PARAMETER
inline constexpr Status kBusy = 170;              // ERROR_BUSY: locked by another writer too long
inline constexpr Status kNoMoreItems = 259;       // ERROR_NO_MORE_ITEMS
inline constexpr Status kBadDatabase = 1009;      // ERROR_BADDB: damaged or unreadable store
inline constexpr Status kKeyDeleted = 1018;       // ERROR_KEY_DELETED
inline constexpr Status kUnsupportedType = 1630;  // ERROR_UNSUPPORTED_TYPE: value has another type

enum class Root { LocalMachine, ClassesRoot };

enum class ValueType : uint32_t {
  String = 1,
  Binary = 3,
  Dword = 4
};  // REG_SZ, REG_BINARY, REG_DWORD

enum class Access { Read, Write };  // Write includes reading ("full access")

struct Value {
  ValueType type = ValueType::String;
  std::vector<uint8_t>
      data;  // REG_SZ: the text without terminator; REG_DWORD: 4 bytes little endian

  static Value String(std::string_view text);
  static Value Dword(uint32_t number);
  static Value Binary(std::vector<uint8_t> bytes);
  std::string AsString() const;
  uint32_t AsDword() const;
};

// "HKEY_LOCAL_MACHINE" / "HKLM" / "HKEY_CLASSES_ROOT" / "HKCR" (any case).
bool ParseRootName(std::string_view name, Root& root);
const char* RootName(Root root);  // "HKEY_LOCAL_MACHINE" or "HKEY_CLASSES_ROOT"

// Database selection. The file is $OPOS_REGISTRY when set, otherwise DefaultDatabasePath()
// (/var/lib/opos/registry.sqlite, its folder created on use).
// UseDatabase() switches the whole process to another file (tests use a temporary file);
// UseDatabase("") returns to the environment's choice. Keys opened before a switch give
// kKeyDeleted afterwards. A file that is damaged, not a database, not a registry database
// or a directory gives kBadDatabase from every call, with the reason in LastErrorMessage().
std::string DefaultDatabasePath();
std::string CurrentDatabasePath();
void UseDatabase(const std::string& path);
// Human-readable description of the last failure on this thread (empty when none).
std::string LastErrorMessage();

// An open key. Paths use backslashes ("" is the key itself); names are matched without
// regard to ASCII case and keep the case they were created with. Key names are 1 to 255
// characters without control characters. An empty value name is the default value.
// Every call on a handle whose key was deleted (by anyone) gives kKeyDeleted; calls on
// a Key that is not open give kInvalidHandle. A Key may be used from several threads.
class Key {
 public:
  Key();
  ~Key();
  Key(Key&&) noexcept;
  Key& operator=(Key&&) noexcept;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  static Status Open(Root root, std::string_view path, Access access, Key& out);
  // Opens or creates the key with full access, creating missing parents.
  static Status Create(Root root, std::string_view path, Key& out);
  Status OpenSubKey(std::string_view path, Access access, Key& out) const;
  Status CreateSubKey(std::string_view path, Key& out) const;  // kAccessDenied if read-only

  bool IsOpen() const;
  void Close();
  std::string Path() const;  // full path as written when created, without the root
  Root GetRoot() const;

  Status QueryValue(std::string_view name, Value& out) const;
  Status QueryString(std::string_view name,
                     std::string& out) const;  // kUnsupportedType if not REG_SZ
  Status QueryDword(std::string_view name,
                    uint32_t& out) const;  // kUnsupportedType if not REG_DWORD
  // kAccessDenied on a read-only key; kInvalidParameter for REG_DWORD data not 4 bytes.
  Status SetValue(std::string_view name, const Value& value);
  Status SetString(std::string_view name, std::string_view text);
  Status SetDword(std::string_view name, uint32_t number);
  Status SetBinary(std::string_view name, const std::vector<uint8_t>& bytes);
  Status DeleteValue(std::string_view name);
  // Deletes a direct or deeper subkey that has no subkeys itself (kAccessDenied otherwise).
  Status DeleteSubKey(std::string_view path);
  // Deletes the subkey at `path` with everything below it; an empty path empties this key
  // (all subkeys and values) and keeps it.
  Status DeleteTree(std::string_view path);

  // Subkeys in the order of their lower-cased names, values in the order they were first
  // created (setting an existing value keeps its place). kNoMoreItems past the end.
  Status EnumSubKey(uint32_t index, std::string& name) const;
  Status EnumValue(uint32_t index, std::string& name, Value* value = nullptr) const;
  Status QueryInfo(uint32_t* subkeys, uint32_t* values) const;  // either may be null

  struct Impl;  // opaque

 private:
  std::unique_ptr<Impl> impl_;
};

// Makes every change the calling thread makes through the store, from construction until
// Commit(), one transaction: other threads and processes see all of it or none of it, and
// without Commit() (a failed step, an exception, the process killed) none of it is kept.
// Transactions nest: an inner one commits into the outer one, and an inner one left
// without Commit() undoes only its own changes. While one is open, other threads of the
// process wait for the store; other processes wait for the write lock as for any change.
//   Transaction tx;
//   if (tx.Begun() != kSuccess) return tx.Begun();   // no changes outside a transaction
//   ... changes, returning early on a failure ...
//   return tx.Commit();
class Transaction {
 public:
  Transaction();
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // kSuccess, or why the transaction could not start (damaged store, busy, read-only file).
  Status Begun() const { return begun_; }
  // Keeps the changes; a failure (or a transaction SQLite gave up meanwhile) keeps none.
  // Calling it again, or after a failed begin, gives that first status.
  Status Commit();

 private:
  struct State;
  std::unique_ptr<State> state_;
  Status begun_ = kSuccess;
};

// REGEDIT4 text. Import merges every key and value of the text into the store in one
// transaction; on a syntax error (kInvalidParameter) nothing is written and `error`
// (and LastErrorMessage()) names the line. "[-KEY]" deletes a key tree, "Name"=- a value.
Status ImportRegedit(std::string_view text, std::string* error = nullptr);
// Exports the key at `path` (for example "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail") and
// everything below it; an empty path exports both roots.
Status ExportRegedit(std::string_view path, std::string& text);

}  // namespace platform::registry
