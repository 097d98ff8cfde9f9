// Platform service: the system registry (Windows' own, or a file-backed stand-in on POSIX).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

// HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS. The current user's hive is
// HKEY_USERS\<CurrentUserSid()>.
enum class TRegistryRoot { rrLocalMachine, rrCurrentUser, rrUsers };

// Which half of HKLM\Software a key path names: the program's own (a 64-bit program),
// the 64-bit one or the 32-bit one (HKLM\Software\Wow6432Node).
enum class TRegistryView { rvNative, rv64Bit, rv32Bit };

enum class TRegistryValueType {
  rtNone,          // no such value
  rtString,        // REG_SZ
  rtExpandString,  // REG_EXPAND_SZ
  rtInteger,       // REG_DWORD
  rtOther,         // any other type; reads as absent
};

// A registry write or deletion failed; the message names the key and the system's reason.
class EKVLRegistryError : public SysUtils::EKVLError {
public:
  using SysUtils::EKVLError::EKVLError;
};

// An open registry key; closed by the destructor. Moves, never copies.
// Key paths are relative to the root, '\'-separated; leading and trailing '\' are ignored.
// Key and value names compare ignoring case and keep the case they were created with.
// Reads of missing keys and values report absence; failed writes raise EKVLRegistryError.
class TRegistryKey {
public:
  TRegistryKey();
  ~TRegistryKey();
  TRegistryKey(TRegistryKey&& other) noexcept;
  TRegistryKey& operator=(TRegistryKey&& other) noexcept;
  TRegistryKey(const TRegistryKey&) = delete;
  TRegistryKey& operator=(const TRegistryKey&) = delete;

  // Opens an existing key for reading; false when it is missing or cannot be opened.
  bool OpenRead(TRegistryRoot root, const std::string& path,
                TRegistryView view = TRegistryView::rvNative);
  // Opens a key for reading and writing, creating it and its missing parents.
  void OpenWrite(TRegistryRoot root, const std::string& path,
                 TRegistryView view = TRegistryView::rvNative);
  bool IsOpen() const;
  void Close();

  TRegistryValueType ValueType(const std::string& name) const;
  bool ValueExists(const std::string& name) const { return ValueType(name) != TRegistryValueType::rtNone; }
  // A string or expandable-string value, unexpanded; nothing for other types.
  std::optional<std::string> ReadString(const std::string& name) const;
  // A 32-bit integer value; nothing for other types.
  std::optional<uint32_t> ReadInteger(const std::string& name) const;

  // Subkey names in the registry's order: ascending by upper-cased name, as Windows keeps them.
  std::vector<std::string> SubKeyNames() const;
  // Value names in the order the values were created ("" is the key's default value).
  std::vector<std::string> ValueNames() const;

  // Writes need a key opened with OpenWrite. Strings are stored with their terminating zero.
  void WriteString(const std::string& name, const std::string& value);
  void WriteExpandString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, uint32_t value);
  // False when there was no such value.
  bool DeleteValue(const std::string& name);

  struct TImpl;

private:
  std::unique_ptr<TImpl> impl_;
};

// Groups the calling thread's registry changes. On POSIX the stand-in is locked from
// construction until Commit or destruction, changes go to a copy in memory that this thread's
// reads see, and Commit stores it once: hundreds of writes cost one flush instead of one each,
// and a batch that ends without Commit (an exception) leaves the registry as it was. On
// Windows changes go straight to the system's registry and Commit does nothing. A batch made
// while another is active on the thread joins it (its Commit does nothing).
class TRegistryBatch {
public:
  TRegistryBatch();
  ~TRegistryBatch();
  TRegistryBatch(const TRegistryBatch&) = delete;
  TRegistryBatch& operator=(const TRegistryBatch&) = delete;

  // Stores the changes; raises EKVLRegistryError when they cannot be written.
  void Commit();

  struct TImpl;

private:
  std::unique_ptr<TImpl> impl_;
};

bool RegistryKeyExists(TRegistryRoot root, const std::string& path,
                       TRegistryView view = TRegistryView::rvNative);

// Deletes a key with all its values and subkeys, children first. False when there was no
// such key; raises EKVLRegistryError when it cannot be deleted (or names a root).
bool DeleteRegistryKeyTree(TRegistryRoot root, const std::string& path,
                           TRegistryView view = TRegistryView::rvNative);

// The security identifier of the account running the program, in its text form
// ("S-1-5-21-..."): the name of its key below HKEY_USERS.
std::string CurrentUserSid();

// "HKLM\path", "HKCU\path" or "HKU\path" with the path's outer backslashes removed, for messages.
std::string RegistryKeyDisplayName(TRegistryRoot root, const std::string& path);
// A key path without leading and trailing backslashes.
std::string TrimRegistryPath(const std::string& path);

// The file that holds the POSIX stand-in (empty on Windows, which has the real registry).
std::string RegistryStandInPath();

} // namespace KVL::Platform
