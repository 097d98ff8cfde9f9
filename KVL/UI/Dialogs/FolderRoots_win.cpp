// The folder dialog's roots on Windows: the logical drives.
#include "KVL/UI/Dialogs/FolderRoots.h"

#include <windows.h>

namespace KVL::UI::Dialogs {

std::vector<std::string> FolderRoots() {
  std::vector<std::string> roots;
  const DWORD drives = GetLogicalDrives();
  for (int i = 0; i < 26; ++i)
    if (drives & (1u << i)) {
      std::string root(1, static_cast<char>('A' + i));
      root += ":\\";
      roots.push_back(root);
    }
  return roots;
}

} // namespace KVL::UI::Dialogs
