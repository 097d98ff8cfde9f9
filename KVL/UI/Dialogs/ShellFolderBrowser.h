// The folder dialog: a tree of folders with a New Folder command.
#pragma once

#include <string>

namespace KVL::UI {
class TKVLForm;
}

namespace KVL::UI::Dialogs {

class TKVLShellFolderBrowser {
public:
  // Title defaults to DialogCaptions().Browse.
  std::string Title;
  // The folder selected at start and, after a confirmed Execute, the chosen folder
  // (without a trailing separator, except a root).
  std::string Folder;
  // Modal; true when the user confirmed a folder.
  bool Execute(KVL::UI::TKVLForm* owner);
};

} // namespace KVL::UI::Dialogs
