// Platform service: the message dialog (text, caption, icon, buttons with a default).
#pragma once

#include <functional>
#include <string>

namespace KVL::Platform {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };

enum class TMsgDlgButtons { mbOK, mbOKCancel, mbAbortRetryIgnore, mbYesNo };

// Results as Windows numbers them.
enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7 };

// Shows the dialog modally and returns the button chosen; defaultResult names the default
// button. Windows: the system's message box. POSIX without a display: caption and text go
// to standard error and the answer is the most cautious one offered (Abort, else Cancel or
// No, else OK), so an unattended run never hangs. A handler installed with
// SetMessageDialogHandler (a user-interface toolkit, a test) replaces both.
int MessageDlg(const std::string& text, const std::string& caption, TMsgDlgType type, TMsgDlgButtons buttons,
               int defaultResult);

using TMessageDialogHandler = std::function<int(const std::string& text, const std::string& caption,
                                                TMsgDlgType type, TMsgDlgButtons buttons, int defaultResult)>;
// Installs a handler (an empty one restores the platform's); returns the previous one.
TMessageDialogHandler SetMessageDialogHandler(TMessageDialogHandler handler);

} // namespace KVL::Platform
