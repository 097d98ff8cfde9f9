// The uninstaller bootstrap: recognising the uninstaller and moving it out of the folder it removes.
#include "setup/core/Uninstaller.h"

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/FileServices.h"

namespace Setup::Core {

using namespace KVL::Platform;
using KVL::SysUtils::SameText;

namespace {

std::string FileNamePart(const std::string& path) { return path.substr(ExtractFilePath(path).size()); }

} // namespace

bool IsUninstaller() { return SameText(FileNamePart(ExecutablePath()), "Uninstall.exe"); }

std::string UninstallDataPath() {
  const std::string exe = ExecutablePath();
  const std::string name = FileNamePart(exe);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? exe + ".dat" : exe.substr(0, exe.size() - name.size() + dot) + ".dat";
}

std::string CopyToTemp(const std::string& folder, const std::string& file) {
  std::string copy = folder;
  if (!copy.empty() && copy.back() != kPathDelim && copy.back() != '/') copy += kPathDelim;
  copy += FileNamePart(file);
  ClearFileAttributes(copy);  // a read-only leftover of an earlier run is replaced
  CopyFileOrRaise(file, copy);
  ScheduleDeleteOnReboot(copy);
  return copy;
}

void RelaunchFromTemp(const std::string& params) {
  // A folder only we (administrators) can use: the plain temporary folder is writable by
  // every program, which could swap the copy before it starts elevated.
  const std::string folder = CreatePrivateDirectory(TempDirectory(), "ond");
  if (folder.empty()) RaiseLastOSError(TempDirectory());
  const std::string exe = CopyToTemp(folder, ExecutablePath());
  CopyToTemp(folder, UninstallDataPath());
  // After its files, so that the restart deletes them first and then the emptied folder.
  ScheduleDeleteOnReboot(folder.substr(0, folder.size() - 1));
  SetCurrentDir(folder);
  const std::string installFolder = ExtractFilePath(ExecutablePath());
  ShellOpen(exe, KVL::SysUtils::Format("/%s=\"%s\" %s", "PATH", installFolder.c_str(), params.c_str()));
}

bool IsRunningFromTemp() {
  const std::string exe = ExecutablePath();
  const std::string temp = TempDirectory();
  return exe.size() > temp.size() && KVL::SysUtils::StartsText(exe, temp);
}

} // namespace Setup::Core
