// The toolkit's message dialog and the captions its dialogs share.
#pragma once

#include <string>

#include "KVL/Base/Platform/MessageBox.h"

namespace KVL::UI {
class TKVLForm;
}

namespace KVL::UI::Dialogs {

using KVL::Platform::TMsgDlgButtons;
using KVL::Platform::TMsgDlgType;

// Captions of the toolkit's dialogs (the wizard sets them from its language file); OK and
// Cancel also name the message dialog's buttons. Defaults: "Browse", "New Folder", "OK",
// "Cancel"; Abort, Retry, Ignore, Yes and No keep English captions.
struct TKVLDialogCaptions {
  std::string Browse = "Browse";
  std::string NewFolder = "New Folder";
  std::string Ok = "OK";
  std::string Cancel = "Cancel";
};
TKVLDialogCaptions& DialogCaptions();

// A modal dialog: icon by type, the text (wrapped), the buttons with defaultResult as the
// default (Enter) button; Escape and the close box answer Cancel where offered, else the
// default. owner (may be null) is the window it is centred on. Returns the TModalResult.
int KVLMessageDlg(KVL::UI::TKVLForm* owner, const std::string& text, const std::string& caption, TMsgDlgType type,
                  TMsgDlgButtons buttons, int defaultResult);

// Routes KVL::Platform::MessageDlg (the core's questions) to KVLMessageDlg while the
// toolkit's windows are in use; RestorePlatformMessageDialog undoes it.
void UseToolkitMessageDialog();
void RestorePlatformMessageDialog();

} // namespace KVL::UI::Dialogs
