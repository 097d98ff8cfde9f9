// POSIX rights: root is the administrator.
#include "KVL/Base/Platform/Security.h"

#include <unistd.h>

namespace KVL::Platform {

bool IsUserAnAdmin() { return geteuid() == 0; }

} // namespace KVL::Platform
