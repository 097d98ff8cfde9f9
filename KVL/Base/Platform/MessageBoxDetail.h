// Internals of the message dialog shared by its common part and the system backends.
#pragma once

#include <cstdint>
#include <string>

#include "KVL/Base/Platform/MessageBox.h"

namespace KVL::Platform::Detail {

// The system's own dialog (no handler installed).
int PlatformMessageDlg(const std::string& text, const std::string& caption, TMsgDlgType type, TMsgDlgButtons buttons,
                       int defaultResult);

// The Windows MessageBox style for a dialog: icon, buttons and default button (MB_DEFBUTTONn
// for the position of defaultResult among the buttons; the first when it is not one of them).
uint32_t MessageBoxStyle(TMsgDlgType type, TMsgDlgButtons buttons, int defaultResult);

// The answer of a dialog nobody can see: the most cautious button offered.
int UnattendedAnswer(TMsgDlgButtons buttons);

} // namespace KVL::Platform::Detail
