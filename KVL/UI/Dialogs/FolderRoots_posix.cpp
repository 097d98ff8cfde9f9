// The folder dialog's roots on POSIX: the one file-system root.
#include "KVL/UI/Dialogs/FolderRoots.h"

namespace KVL::UI::Dialogs {

std::vector<std::string> FolderRoots() { return {"/"}; }

} // namespace KVL::UI::Dialogs
