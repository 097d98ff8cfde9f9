// Removing a folder with everything in it, as removal and the update tasks do.
#pragma once

#include <string>

namespace Setup::Product::ONDU::Actions {

// Deletes the folder's files and sub-folders depth first, stopping at the first item that
// cannot be deleted, then the folder itself if it has become empty. Linked folders are
// unlinked, never entered. A file-system root is never emptied. True when the folder is gone.
bool RemoveFolderWithContents(const std::string& folder);

// A drive root ("C:\"), a share root ("\\server\share\") or "/" (with or without the
// trailing separator), or the empty path.
bool IsRootFolder(const std::string& folder);

} // namespace Setup::Product::ONDU::Actions
