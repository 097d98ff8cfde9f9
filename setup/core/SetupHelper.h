// Folder copying and cleanup-list pruning shared by the update tasks.
#pragma once

#include <string>

#include "KVL/Base/StringList.h"

namespace Setup::Core {

class TSetupHelper {
public:
  TSetupHelper() = delete;

  // Copies every file and sub-folder of source (recursively) into target, creating folders
  // as needed and overwriting existing files; with deleteSource each copied file is deleted
  // and each emptied source folder removed. Stops at the first failure and returns false
  // (the system's last error tells why). Linked folders are not entered. A target inside
  // the source is refused.
  static bool CopyFolder(const std::string& source, const std::string& target, bool deleteSource);

  // Deletes every entry that starts with prefix, ignoring case, walking from the last entry
  // to the first. An empty prefix removes nothing.
  static void RemoveByPrefix(KVL::Classes::TKVLStringList& list, const std::string& prefix);
};

} // namespace Setup::Core
