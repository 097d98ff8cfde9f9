// POSIX message dialog: without a display the message goes to standard error and the most
// cautious answer is taken, so an unattended run never waits for a reader.
#include "KVL/Base/Platform/MessageBox.h"

#include <cstdio>

#include "KVL/Base/Platform/MessageBoxDetail.h"

namespace KVL::Platform::Detail {

int PlatformMessageDlg(const std::string& text, const std::string& caption, TMsgDlgType /*type*/,
                       TMsgDlgButtons buttons, int /*defaultResult*/) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  return UnattendedAnswer(buttons);
}

} // namespace KVL::Platform::Detail
