// Folder walking shared by every platform, on top of ListDirectory.
#include "KVL/Base/Platform/Directory.h"

#include "KVL/Base/Platform/File.h"

namespace KVL::Platform {

namespace {

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == kPathDelim || folder.back() == '/') return folder + name;
  return folder + kPathDelim + name;
}

void Walk(const std::string& root, const std::string& relative,
          const std::function<void(const std::string&, const TDirectoryEntry&)>& visit) {
  for (const TDirectoryEntry& e : ListDirectory(relative.empty() ? root : Join(root, relative))) {
    std::string rel = relative.empty() ? e.Name : Join(relative, e.Name);
    visit(rel, e);
    if (e.IsFolder && !e.IsLink) Walk(root, rel, visit);
  }
}

} // namespace

void WalkDirectory(const std::string& root,
                   const std::function<void(const std::string& relativePath, const TDirectoryEntry& entry)>& visit) {
  Walk(root, std::string(), visit);
}

} // namespace KVL::Platform
