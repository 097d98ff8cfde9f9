// POSIX folder listing (opendir/readdir).
#include "KVL/Base/Platform/Directory.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

std::vector<TDirectoryEntry> ListDirectory(const std::string& path) {
  DIR* dir = ::opendir(path.c_str());
  if (!dir)
    throw SysUtils::EKVLFileOpenError(
        SysUtils::Format("Cannot open folder \"%s\". %s", path.c_str(), LastSystemErrorText().c_str()));
  std::vector<TDirectoryEntry> entries;
  std::string base = path;
  if (!base.empty() && base.back() != '/') base += '/';
  while (dirent* d = ::readdir(dir)) {
    if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
    TDirectoryEntry e;
    e.Name = d->d_name;
    unsigned char type = d->d_type;
    if (type == DT_UNKNOWN || type == DT_LNK) {
      // Some file systems leave d_type empty; links are followed to learn what they point to.
      struct stat st;
      std::string full = base + e.Name;
      if (::lstat(full.c_str(), &st) != 0) {
        e.IsFolder = false;  // vanished meanwhile; the caller's open will report it
      } else if (S_ISLNK(st.st_mode)) {
        e.IsLink = true;
        e.IsFolder = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
      } else {
        e.IsFolder = S_ISDIR(st.st_mode);
      }
    } else {
      e.IsFolder = type == DT_DIR;
    }
    entries.push_back(std::move(e));
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const TDirectoryEntry& a, const TDirectoryEntry& b) { return a.Name < b.Name; });
  return entries;
}

} // namespace KVL::Platform
