// Win32 rights: the shell's administrator check on the process token.
#include "KVL/Base/Platform/Security.h"

#include <windows.h>
#include <shlobj.h>

namespace KVL::Platform {

bool IsUserAnAdmin() { return ::IsUserAnAdmin() != FALSE; }

} // namespace KVL::Platform
