// The tops of the folder dialog's tree: the drive roots on Windows, "/" elsewhere.
#pragma once

#include <string>
#include <vector>

namespace KVL::UI::Dialogs {

// Each root with its trailing separator, in drive-letter order.
std::vector<std::string> FolderRoots();

} // namespace KVL::UI::Dialogs
