// Win32 registry service; names and texts are converted to UTF-16 at this edge.
#include "KVL/Base/Platform/Registry.h"

#include <windows.h>

#include "KVL/Base/Platform/WinString.h"
#include <sddl.h>

#include <cstring>
#include <vector>

#include "KVL/Base/Platform/File.h"

namespace KVL::Platform {

using SysUtils::Format;

namespace {

HKEY RootKey(TRegistryRoot root) {
  switch (root) {
    case TRegistryRoot::rrLocalMachine: return HKEY_LOCAL_MACHINE;
    case TRegistryRoot::rrCurrentUser: return HKEY_CURRENT_USER;
    default: return HKEY_USERS;
  }
}

REGSAM ViewFlag(TRegistryView view) {
  switch (view) {
    case TRegistryView::rv64Bit: return KEY_WOW64_64KEY;
    case TRegistryView::rv32Bit: return KEY_WOW64_32KEY;
    default: return 0;
  }
}

// The registry functions return their error instead of setting the thread's last error.
[[noreturn]] void Fail(const std::string& what, LONG code) {
  SetLastError(static_cast<DWORD>(code));
  throw EKVLRegistryError(what + " " + LastSystemErrorText());
}

std::vector<std::string> EnumNames(HKEY key, bool subKeys) {
  std::vector<std::string> names;
  std::vector<wchar_t> buf(subKeys ? 256 : 16384);
  for (DWORD index = 0;;) {
    DWORD len = static_cast<DWORD>(buf.size());
    LONG rc = subKeys ? RegEnumKeyExW(key, index, buf.data(), &len, nullptr, nullptr, nullptr, nullptr)
                      : RegEnumValueW(key, index, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) {
      buf.resize(buf.size() * 2);
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    names.push_back(Narrow(buf.data(), len));
    ++index;
  }
  return names;
}

// Deletes every subkey of key, deepest first, in the given view.
LONG DeleteSubKeys(HKEY key, REGSAM view) {
  for (const std::string& name : EnumNames(key, true)) {
    std::wstring wname = Wide(name);
    HKEY child;
    LONG rc = RegOpenKeyExW(key, wname.c_str(), 0, KEY_READ | DELETE | view, &child);
    if (rc == ERROR_FILE_NOT_FOUND) continue;
    if (rc != ERROR_SUCCESS) return rc;
    rc = DeleteSubKeys(child, view);
    RegCloseKey(child);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegDeleteKeyExW(key, wname.c_str(), view, 0);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return rc;
  }
  return ERROR_SUCCESS;
}

} // namespace

struct TRegistryKey::TImpl {
  HKEY Key = nullptr;
  std::string Display;
  ~TImpl() {
    if (Key) RegCloseKey(Key);
  }
};

TRegistryKey::TRegistryKey() = default;
TRegistryKey::~TRegistryKey() = default;
TRegistryKey::TRegistryKey(TRegistryKey&& other) noexcept = default;
TRegistryKey& TRegistryKey::operator=(TRegistryKey&& other) noexcept = default;

bool TRegistryKey::OpenRead(TRegistryRoot root, const std::string& path, TRegistryView view) {
  Close();
  HKEY key;
  if (RegOpenKeyExW(RootKey(root), Wide(TrimRegistryPath(path)).c_str(), 0, KEY_READ | ViewFlag(view), &key) !=
      ERROR_SUCCESS)
    return false;
  impl_ = std::make_unique<TImpl>();
  impl_->Key = key;
  impl_->Display = RegistryKeyDisplayName(root, path);
  return true;
}

void TRegistryKey::OpenWrite(TRegistryRoot root, const std::string& path, TRegistryView view) {
  Close();
  HKEY key;
  LONG rc = RegCreateKeyExW(RootKey(root), Wide(TrimRegistryPath(path)).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_READ | KEY_WRITE | ViewFlag(view), nullptr, &key, nullptr);
  std::string display = RegistryKeyDisplayName(root, path);
  if (rc != ERROR_SUCCESS) Fail(Format("Cannot create registry key \"%s\".", display.c_str()), rc);
  impl_ = std::make_unique<TImpl>();
  impl_->Key = key;
  impl_->Display = display;
}

bool TRegistryKey::IsOpen() const { return impl_ != nullptr; }

void TRegistryKey::Close() { impl_.reset(); }

namespace {

// The value's type and raw bytes; false when it is missing or unreadable.
bool QueryValue(HKEY key, const std::string& name, DWORD& type, std::vector<BYTE>& data) {
  std::wstring wname = Wide(name);
  DWORD size = 0;
  LONG rc = RegQueryValueExW(key, wname.c_str(), nullptr, &type, nullptr, &size);
  while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
    data.resize(size + sizeof(wchar_t));
    DWORD got = size;
    rc = RegQueryValueExW(key, wname.c_str(), nullptr, &type, data.data(), &got);
    if (rc == ERROR_SUCCESS) {
      data.resize(got);
      return true;
    }
    size = got > size ? got : size * 2 + 64;  // changed meanwhile
  }
  return false;
}

} // namespace

TRegistryValueType TRegistryKey::ValueType(const std::string& name) const {
  DWORD type = 0;
  if (!impl_ || RegQueryValueExW(impl_->Key, Wide(name).c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
    return TRegistryValueType::rtNone;
  switch (type) {
    case REG_SZ: return TRegistryValueType::rtString;
    case REG_EXPAND_SZ: return TRegistryValueType::rtExpandString;
    case REG_DWORD: return TRegistryValueType::rtInteger;
    default: return TRegistryValueType::rtOther;
  }
}

std::optional<std::string> TRegistryKey::ReadString(const std::string& name) const {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!impl_ || !QueryValue(impl_->Key, name, type, data) || (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::nullopt;
  std::u16string text(data.size() / 2, u'\0');
  if (!text.empty()) memcpy(text.data(), data.data(), text.size() * 2);
  // The terminating zero (sloppy writers leave more than one, or none).
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  return SysUtils::Utf16ToUtf8(text);
}

std::optional<uint32_t> TRegistryKey::ReadInteger(const std::string& name) const {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!impl_ || !QueryValue(impl_->Key, name, type, data) || type != REG_DWORD || data.size() != 4)
    return std::nullopt;
  return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 | static_cast<uint32_t>(data[2]) << 16 |
         static_cast<uint32_t>(data[3]) << 24;
}

std::vector<std::string> TRegistryKey::SubKeyNames() const {
  return impl_ ? EnumNames(impl_->Key, true) : std::vector<std::string>();
}

std::vector<std::string> TRegistryKey::ValueNames() const {
  return impl_ ? EnumNames(impl_->Key, false) : std::vector<std::string>();
}

namespace {

void SetValue(const TRegistryKey::TImpl* impl, const std::string& name, DWORD type, const BYTE* data, DWORD size) {
  std::string what = Format("Cannot write registry value \"%s\" of \"%s\".", name.c_str(),
                            impl ? impl->Display.c_str() : "");
  if (!impl) throw EKVLRegistryError(what + " The registry key is not open.");
  LONG rc = RegSetValueExW(impl->Key, Wide(name).c_str(), 0, type, data, size);
  if (rc != ERROR_SUCCESS) Fail(what, rc);
}

void SetText(const TRegistryKey::TImpl* impl, const std::string& name, DWORD type, const std::string& value) {
  std::u16string text = SysUtils::Utf8ToUtf16(value);
  text += u'\0';
  SetValue(impl, name, type, reinterpret_cast<const BYTE*>(text.data()), static_cast<DWORD>(text.size() * 2));
}

} // namespace

void TRegistryKey::WriteString(const std::string& name, const std::string& value) {
  SetText(impl_.get(), name, REG_SZ, value);
}

void TRegistryKey::WriteExpandString(const std::string& name, const std::string& value) {
  SetText(impl_.get(), name, REG_EXPAND_SZ, value);
}

void TRegistryKey::WriteInteger(const std::string& name, uint32_t value) {
  DWORD v = value;
  SetValue(impl_.get(), name, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
}

bool TRegistryKey::DeleteValue(const std::string& name) {
  std::string what = Format("Cannot delete registry value \"%s\" of \"%s\".", name.c_str(),
                            impl_ ? impl_->Display.c_str() : "");
  if (!impl_) throw EKVLRegistryError(what + " The registry key is not open.");
  LONG rc = RegDeleteValueW(impl_->Key, Wide(name).c_str());
  if (rc == ERROR_FILE_NOT_FOUND) return false;
  if (rc != ERROR_SUCCESS) Fail(what, rc);
  return true;
}

bool RegistryKeyExists(TRegistryRoot root, const std::string& path, TRegistryView view) {
  HKEY key;
  LONG rc = RegOpenKeyExW(RootKey(root), Wide(TrimRegistryPath(path)).c_str(), 0, KEY_READ | ViewFlag(view), &key);
  if (rc == ERROR_SUCCESS) RegCloseKey(key);
  return rc == ERROR_SUCCESS || rc == ERROR_ACCESS_DENIED;
}

bool DeleteRegistryKeyTree(TRegistryRoot root, const std::string& path, TRegistryView view) {
  std::string what = Format("Cannot delete registry key \"%s\".", RegistryKeyDisplayName(root, path).c_str());
  std::wstring wpath = Wide(TrimRegistryPath(path));
  if (wpath.empty()) Fail(what, ERROR_INVALID_PARAMETER);
  REGSAM flag = ViewFlag(view);
  HKEY key;
  LONG rc = RegOpenKeyExW(RootKey(root), wpath.c_str(), 0, KEY_READ | DELETE | flag, &key);
  if (rc == ERROR_FILE_NOT_FOUND) return false;
  if (rc != ERROR_SUCCESS) Fail(what, rc);
  rc = DeleteSubKeys(key, flag);
  RegCloseKey(key);
  if (rc == ERROR_SUCCESS) rc = RegDeleteKeyExW(RootKey(root), wpath.c_str(), flag, 0);
  if (rc != ERROR_SUCCESS) Fail(what, rc);
  return true;
}

std::string CurrentUserSid() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::string();
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buf(size ? size : 1);
  std::string sid;
  wchar_t* text = nullptr;
  if (GetTokenInformation(token, TokenUser, buf.data(), size, &size) &&
      ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buf.data())->User.Sid, &text)) {
    sid = Narrow(text, wcslen(text));
    LocalFree(text);
  }
  CloseHandle(token);
  return sid;
}

std::string RegistryStandInPath() { return std::string(); }

// The system's registry needs no grouping of writes.
struct TRegistryBatch::TImpl {};
TRegistryBatch::TRegistryBatch() = default;
TRegistryBatch::~TRegistryBatch() = default;
void TRegistryBatch::Commit() {}

} // namespace KVL::Platform
