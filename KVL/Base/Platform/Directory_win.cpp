// Win32 folder listing (FindFirstFileW); names are converted to UTF-8 at this edge.
#include "KVL/Base/Platform/Directory.h"

#include <windows.h>

#include <algorithm>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

std::vector<TDirectoryEntry> ListDirectory(const std::string& path) {
  std::string pattern = path;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += '*';
  std::u16string w = SysUtils::Utf8ToUtf16(pattern);
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileExW(reinterpret_cast<LPCWSTR>(w.c_str()), FindExInfoBasic, &fd, FindExSearchNameMatch,
                              nullptr, FIND_FIRST_EX_LARGE_FETCH);
  std::vector<TDirectoryEntry> entries;
  if (h == INVALID_HANDLE_VALUE) {
    // An empty folder still lists "." and "..", so not finding anything means an error.
    throw SysUtils::EKVLFileOpenError(
        SysUtils::Format("Cannot open folder \"%s\". %s", path.c_str(), LastSystemErrorText().c_str()));
  }
  do {
    std::u16string name(reinterpret_cast<const char16_t*>(fd.cFileName));
    if (name == u"." || name == u"..") continue;
    TDirectoryEntry e;
    e.Name = SysUtils::Utf16ToUtf8(name);
    e.IsFolder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.IsLink = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entries.push_back(std::move(e));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  std::sort(entries.begin(), entries.end(),
            [](const TDirectoryEntry& a, const TDirectoryEntry& b) { return a.Name < b.Name; });
  return entries;
}

} // namespace KVL::Platform
