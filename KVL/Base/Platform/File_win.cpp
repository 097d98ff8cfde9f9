// Win32 file service; paths are converted to UTF-16 at this edge.
#include "KVL/Base/Platform/File.h"

#include <windows.h>

#include "KVL/Base/Platform/WinString.h"
#include <bcrypt.h>
#include <sddl.h>

#include <algorithm>
#include <vector>

#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

namespace {
HANDLE H(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
// Calls a Win32 function that fills a buffer and answers the length it needs when too small.
template <typename F>
std::string BufferCall(F call) {
  std::vector<wchar_t> buf(MAX_PATH + 1);
  for (;;) {
    DWORD n = call(buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) return Narrow(buf.data(), n);
    buf.resize(n + 1);
  }
}
constexpr DWORD kKnownAttributes = faReadOnly | faHidden | faSystem | faDirectory | faArchive;
} // namespace

bool TPlatformFile::TryOpen(const std::string& path, TFileOpenMode mode) {
  Close();
  DWORD access = mode == TFileOpenMode::fomRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  const bool create = mode == TFileOpenMode::fomCreate || mode == TFileOpenMode::fomCreateShared;
  DWORD share = mode == TFileOpenMode::fomCreate ? FILE_SHARE_READ
                : mode == TFileOpenMode::fomCreateShared ? FILE_SHARE_READ | FILE_SHARE_WRITE
                                                         : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  DWORD disposition = create ? CREATE_ALWAYS : OPEN_EXISTING;
  HANDLE h = CreateFileW(Wide(path).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(h);
  return true;
}

size_t TPlatformFile::Read(void* buffer, size_t count) {
  auto* p = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    DWORD want = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(H(handle_), p + done, want, &got, nullptr) || got == 0) break;
    done += got;
  }
  return done;
}

size_t TPlatformFile::Write(const void* buffer, size_t count) {
  auto* p = static_cast<const uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    DWORD want = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
    DWORD put = 0;
    if (!WriteFile(H(handle_), p + done, want, &put, nullptr) || put == 0) break;
    done += put;
  }
  return done;
}

int64_t TPlatformFile::Seek(int64_t offset, int whence) {
  LARGE_INTEGER dist, pos;
  dist.QuadPart = offset;
  DWORD method = whence == 0 ? FILE_BEGIN : whence == 1 ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(H(handle_), dist, &pos, method)) return -1;
  return pos.QuadPart;
}

int64_t TPlatformFile::Size() {
  LARGE_INTEGER size;
  return GetFileSizeEx(H(handle_), &size) ? size.QuadPart : 0;
}

void TPlatformFile::SetSize(int64_t size) {
  int64_t pos = Seek(0, 1);
  if (Seek(size, 0) < 0 || !SetEndOfFile(H(handle_))) throw SysUtils::EKVLWriteError();
  Seek(std::min(pos, size), 0);
}

void TPlatformFile::Close() {
  if (handle_ != kInvalid) {
    CloseHandle(H(handle_));
    handle_ = kInvalid;
  }
}

int LastSystemErrorCode() { return static_cast<int>(GetLastError()); }

std::string SystemErrorText(int code) {
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&buf), 0, nullptr);
  std::u16string w;
  if (n && buf) w.assign(reinterpret_cast<char16_t*>(buf), n);
  if (buf) LocalFree(buf);
  while (!w.empty() && (w.back() == u'\r' || w.back() == u'\n' || w.back() == u' ')) w.pop_back();
  if (w.empty()) return SysUtils::Format("System error %lu", static_cast<unsigned long>(code));
  return SysUtils::Utf16ToUtf8(w);
}

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesW(Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  DWORD a = GetFileAttributesW(Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void ClearFileAttributes(const std::string& path) {
  SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

bool RemoveFile(const std::string& path) { return DeleteFileW(Wide(path).c_str()) != 0; }

bool ForceDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::string p = path;
  while (p.size() > 3 && (p.back() == '\\' || p.back() == '/')) p.pop_back();
  if (DirectoryExists(p)) return true;
  size_t slash = p.find_last_of("\\/");
  if (slash != std::string::npos && slash > 0 && !ForceDirectories(p.substr(0, slash))) return false;
  return CreateDirectoryW(Wide(p).c_str(), nullptr) || DirectoryExists(p);
}

std::string TempDirectory() {
  wchar_t buf[MAX_PATH + 2];
  DWORD n = GetTempPathW(MAX_PATH + 1, buf);
  std::string dir = SysUtils::Utf16ToUtf8(std::u16string(reinterpret_cast<char16_t*>(buf), n));
  if (dir.empty() || dir.back() != '\\') dir += '\\';
  return dir;
}

bool CopyFileReplacing(const std::string& source, const std::string& target) {
  // Windows refuses a read-only or hidden target; wine replaces it. Check so both agree.
  DWORD a = GetFileAttributesW(Wide(target).c_str());
  if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) &&
      (a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return CopyFileW(Wide(source).c_str(), Wide(target).c_str(), FALSE) != 0;
}

bool RenameFile(const std::string& oldName, const std::string& newName) {
  return MoveFileExW(Wide(oldName).c_str(), Wide(newName).c_str(), MOVEFILE_COPY_ALLOWED) != 0;
}

bool RemoveEmptyDirectory(const std::string& path) { return RemoveDirectoryW(Wide(path).c_str()) != 0; }

std::optional<TFileInfo> QueryFileInfo(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  TFileInfo info;
  info.Attributes = data.dwFileAttributes & kKnownAttributes;
  if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    info.Size = static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  info.LastWriteTime = static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                            data.ftLastWriteTime.dwLowDateTime);
  return info;
}

bool SetFileExecutable(const std::string& path) {
  const DWORD a = GetFileAttributesW(Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool SetFileAttr(const std::string& path, uint32_t attributes) {
  DWORD a = attributes & kKnownAttributes & ~static_cast<DWORD>(faDirectory);
  return SetFileAttributesW(Wide(path).c_str(), a ? a : FILE_ATTRIBUTE_NORMAL) != 0;
}

bool SetLastWriteTime(const std::string& path, int64_t time) {
  HANDLE h = CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(time));
  ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(time) >> 32);
  bool ok = SetFileTime(h, nullptr, nullptr, &ft) != 0;
  DWORD error = GetLastError();
  CloseHandle(h);
  SetLastError(error);
  return ok;
}

std::string ExpandFileName(const std::string& path) {
  if (path.empty()) return std::string();
  std::wstring w = Wide(path);
  return BufferCall([&](wchar_t* buf, DWORD size) { return GetFullPathNameW(w.c_str(), size, buf, nullptr); });
}

std::string GetLongPath(const std::string& path) {
  std::wstring w = Wide(path);
  std::string longPath = BufferCall([&](wchar_t* buf, DWORD size) { return GetLongPathNameW(w.c_str(), buf, size); });
  return longPath.empty() ? path : longPath;
}

std::string CreateTempFile(const std::string& folder, const std::string& prefix) {
  wchar_t buf[MAX_PATH + 1];
  if (!GetTempFileNameW(Wide(folder).c_str(), Wide(prefix).c_str(), 0, buf)) return std::string();
  return Narrow(buf, wcslen(buf));
}

std::string CreatePrivateDirectory(const std::string& folder, const std::string& prefix) {
  // Protected (no inherited entries): full control for the administrators and the system only,
  // passed on to everything created inside.
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", SDDL_REVISION_1,
                                                            &sd, nullptr))
    return std::string();
  SECURITY_ATTRIBUTES sa = {sizeof sa, sd, FALSE};
  std::string dir = folder;
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  std::string result;
  DWORD error = ERROR_ALREADY_EXISTS;
  for (int attempt = 0; attempt < 100 && error == ERROR_ALREADY_EXISTS; ++attempt) {
    uint64_t random = 0;
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&random), sizeof random,
                                        BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
      error = ERROR_GEN_FAILURE;
      break;
    }
    std::string path = dir + prefix + SysUtils::Format("%016llX", static_cast<unsigned long long>(random));
    if (CreateDirectoryW(Wide(path).c_str(), &sa)) {
      result = path + '\\';
      error = ERROR_SUCCESS;
    } else {
      error = GetLastError();
    }
  }
  LocalFree(sd);
  SetLastError(error);
  return result;
}

bool ScheduleDeleteAtRestart(const std::string& path) {
  return MoveFileExW(Wide(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

std::vector<std::string> PendingDeletions() {
  // The session manager keeps pairs of names (source, target); an empty target means delete.
  std::vector<std::string> paths;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_QUERY_VALUE,
                    &key) != ERROR_SUCCESS)
    return paths;
  DWORD type = 0, size = 0;
  std::vector<wchar_t> data;
  if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      type == REG_MULTI_SZ) {
    data.resize(size / sizeof(wchar_t) + 2, L'\0');
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                         &size) != ERROR_SUCCESS)
      data.clear();
  }
  RegCloseKey(key);
  std::vector<std::wstring> strings;
  for (size_t i = 0; i < data.size();) {
    size_t len = wcslen(data.data() + i);
    if (i + len >= data.size()) break;
    strings.emplace_back(data.data() + i, len);
    i += len + 1;
  }
  // The list ends with an empty string; pairs come before it.
  while (!strings.empty() && strings.size() % 2 != 0) strings.pop_back();
  for (size_t i = 0; i + 1 < strings.size(); i += 2) {
    if (!strings[i + 1].empty() || strings[i].empty()) continue;
    std::wstring source = strings[i];
    if (source.rfind(L"\\?" L"?\\", 0) == 0) source.erase(0, 4);  // the NT prefix "\??\"
    paths.push_back(Narrow(source.data(), source.size()));
  }
  return paths;
}

std::string GetCurrentDir() {
  std::string dir = BufferCall([](wchar_t* buf, DWORD size) { return GetCurrentDirectoryW(size, buf); });
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  return dir;
}

bool SetCurrentDir(const std::string& path) { return SetCurrentDirectoryW(Wide(path).c_str()) != 0; }

} // namespace KVL::Platform
