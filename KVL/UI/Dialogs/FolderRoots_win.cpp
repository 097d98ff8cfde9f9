// The folder dialog's roots on Windows: the logical drives.
#include "KVL/UI/Dialogs/FolderRoots.h"

#include <windows.h>

namespace KVL::UI::Dialogs {

std::vector<std::string> FolderRoots() {
  std::vector<std::string> roots;
  const DWORD drives = GetLogicalDrives();
  for (int i = 0; i < 26; ++i)
    if (drives & (1u << i)) roots.push_back(std::string(1, static_cast<char>('A' + i)) + ":\\");
  return roots;
}

} // namespace KVL::UI::Dialogs
