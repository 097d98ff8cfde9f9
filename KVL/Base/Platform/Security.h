// Platform service: the rights of the running process.
#pragma once

namespace KVL::Platform {

// True when the process runs with administrator rights (Windows: an elevated administrator
// token; POSIX: effective user 0).
bool IsUserAnAdmin();

} // namespace KVL::Platform
