// Win32 file service; paths are converted to UTF-16 at this edge.
#include "KVL/Base/Platform/File.h"

#include <windows.h>

#include <algorithm>

#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

namespace {
std::wstring Wide(const std::string& s) {
  std::u16string w = SysUtils::Utf8ToUtf16(s);
  return std::wstring(w.begin(), w.end());
}
HANDLE H(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
} // namespace

bool TPlatformFile::TryOpen(const std::string& path, TFileOpenMode mode) {
  Close();
  DWORD access = mode == TFileOpenMode::fomRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  DWORD share = mode == TFileOpenMode::fomCreate ? FILE_SHARE_READ
                                                 : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  DWORD disposition = mode == TFileOpenMode::fomCreate ? CREATE_ALWAYS : OPEN_EXISTING;
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

std::string LastSystemErrorText() {
  DWORD code = GetLastError();
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<LPWSTR>(&buf), 0, nullptr);
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

} // namespace KVL::Platform
