// Folder copying and cleanup-list pruning shared by the update tasks.
#include "setup/core/SetupHelper.h"

#include <vector>

#include "KVL/Base/Platform/Directory.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"

namespace Setup::Core {

using namespace KVL::Platform;

namespace {

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && !KVL::Platform::IsPathDelimiter(folder.back())) folder += kPathDelim;
  return folder;
}

bool CopyTree(const std::string& source, const std::string& target, bool deleteSource) {
  std::vector<TDirectoryEntry> entries;
  try {
    entries = ListDirectory(source);
  } catch (const KVL::SysUtils::EKVLError&) {
    return false;
  }
  if (!ForceDirectories(target)) return false;
  for (const TDirectoryEntry& e : entries) {
    const std::string from = source + e.Name;
    const std::string to = target + e.Name;
    if (e.IsFolder) {
      // A link may lead back up the tree; what it points to is not part of the settings.
      if (e.IsLink) continue;
      if (!CopyTree(from + kPathDelim, to + kPathDelim, deleteSource)) return false;
    } else {
      // A read-only copy from an earlier run must not block the new one.
      if (FileExists(to)) ClearFileAttributes(to);
      if (!CopyFileReplacing(from, to)) return false;
      if (deleteSource && !RemoveFile(from)) return false;
    }
  }
  if (deleteSource) RemoveEmptyDirectory(source);
  return true;
}

} // namespace

bool TSetupHelper::CopyFolder(const std::string& source, const std::string& target, bool deleteSource) {
  const std::string from = WithSeparator(source);
  const std::string to = WithSeparator(target);
  // Copying a folder into itself would never end.
  if (KVL::SysUtils::StartsText(to, from)) return false;
  return CopyTree(from, to, deleteSource);
}

void TSetupHelper::RemoveByPrefix(KVL::Classes::TKVLStringList& list, const std::string& prefix) {
  for (int i = list.Count() - 1; i >= 0; --i)
    if (KVL::SysUtils::StartsText(list.Strings(i), prefix)) list.Delete(i);
}

} // namespace Setup::Core
