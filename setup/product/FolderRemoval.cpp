// Removing a folder with everything in it.
#include "setup/product/FolderRemoval.h"

#include <vector>

#include "KVL/Base/Platform/Directory.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"

namespace Setup::Product::ONDU::Actions {

using namespace KVL::Platform;

namespace {

// A link is removed as a name; what it points to is not ours.
bool RemoveLink(const std::string& path, bool isFolder) {
  // Windows removes a folder link (junction) with RemoveDirectory; POSIX unlinks it.
  if (isFolder && RemoveEmptyDirectory(path)) return true;
  return RemoveFile(path);
}

} // namespace

bool IsRootFolder(const std::string& folder) {
  std::string p = folder;
  while (!p.empty() && KVL::Platform::IsPathDelimiter(p.back())) p.pop_back();
  if (p.empty()) return true;
  if (p.size() == 2 && p[1] == ':') return true;
  if (p.size() > 2 && KVL::Platform::IsPathDelimiter(p[0]) && KVL::Platform::IsPathDelimiter(p[1])) {
    // \\server\share: at most one separator after the server name.
    size_t server = p.find_first_of("\\/", 2);
    return server == std::string::npos || p.find_first_of("\\/", server + 1) == std::string::npos;
  }
  return false;
}

bool RemoveFolderWithContents(const std::string& folder) {
  if (IsRootFolder(folder)) return false;
  std::string base = folder;
  if (!KVL::Platform::IsPathDelimiter(base.back())) base += kPathDelim;
  std::vector<TDirectoryEntry> entries;
  try {
    entries = ListDirectory(base);
  } catch (const KVL::SysUtils::EKVLError&) {
    return false;  // missing or unreadable: nothing that can be removed
  }
  for (const TDirectoryEntry& e : entries) {
    const std::string path = base + e.Name;
    if (e.IsLink) {
      if (!RemoveLink(path, e.IsFolder)) return false;
    } else if (e.IsFolder) {
      if (!RemoveFolderWithContents(path + kPathDelim)) return false;
    } else {
      ClearFileAttributes(path);
      if (!RemoveFile(path)) return false;
    }
  }
  return RemoveEmptyDirectory(base);
}

} // namespace Setup::Product::ONDU::Actions
