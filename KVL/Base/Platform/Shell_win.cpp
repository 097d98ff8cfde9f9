// Win32 shell facts: known folders, the user's name and language, the system's version.
#include "KVL/Base/Platform/Shell.h"

#include <windows.h>

#include "KVL/Base/Platform/WinString.h"
#include <knownfolders.h>
#include <shlobj.h>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

namespace {

std::string KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::string dir;
  // Don't verify: a folder the user deleted still has its name, which is what callers want.
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path)) && path) dir = Narrow(path, wcslen(path));
  CoTaskMemFree(path);
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  return dir;
}

// The real version: GetVersionEx answers 6.2 to programs without a compatibility manifest.
bool VersionAtLeast(DWORD major, DWORD minor) {
  static const OSVERSIONINFOW info = [] {
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof v;
    using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll"))
      if (FARPROC proc = GetProcAddress(ntdll, "RtlGetVersion"))
        reinterpret_cast<TRtlGetVersion>(reinterpret_cast<void (*)()>(proc))(&v);
    return v;
  }();
  return info.dwMajorVersion > major || (info.dwMajorVersion == major && info.dwMinorVersion >= minor);
}

} // namespace

std::string GetSpecialFolder(TSpecialFolder folder) {
  switch (folder) {
    case TSpecialFolder::sfProgramFiles: return KnownFolder(FOLDERID_ProgramFiles);
    case TSpecialFolder::sfProgramFilesX86: return KnownFolder(FOLDERID_ProgramFilesX86);
    case TSpecialFolder::sfCommonDesktop: return KnownFolder(FOLDERID_PublicDesktop);
    case TSpecialFolder::sfCommonStartMenu: return KnownFolder(FOLDERID_CommonStartMenu);
    case TSpecialFolder::sfCommonPrograms: return KnownFolder(FOLDERID_CommonPrograms);
    case TSpecialFolder::sfCommonAppData: return KnownFolder(FOLDERID_ProgramData);
    case TSpecialFolder::sfSystem: return KnownFolder(FOLDERID_System);
    case TSpecialFolder::sfUserDesktop: return KnownFolder(FOLDERID_Desktop);
    case TSpecialFolder::sfUserStartMenu: return KnownFolder(FOLDERID_StartMenu);
    case TSpecialFolder::sfUserPrograms: return KnownFolder(FOLDERID_Programs);
    case TSpecialFolder::sfAppData: return KnownFolder(FOLDERID_RoamingAppData);
    case TSpecialFolder::sfLocalAppData: return KnownFolder(FOLDERID_LocalAppData);
    case TSpecialFolder::sfProfile: return KnownFolder(FOLDERID_Profile);
    case TSpecialFolder::sfTemp: return TempDirectory();
    case TSpecialFolder::sfDocuments: return KnownFolder(FOLDERID_Documents);
  }
  return std::string();
}

std::string UserName() {
  wchar_t buf[129];
  DWORD n = 129;
  if (!GetUserNameW(buf, &n) || n == 0) return std::string();
  return Narrow(buf, n - 1);  // n counts the terminating zero
}

uint16_t UserDefaultUILanguage() { return GetUserDefaultUILanguage(); }

bool IsWindowsVistaOrLater() { return VersionAtLeast(6, 0); }
bool IsWindows7OrLater() { return VersionAtLeast(6, 1); }
bool IsWindows8OrLater() { return VersionAtLeast(6, 2); }
bool IsWindows10OrLater() { return VersionAtLeast(10, 0); }

bool CanElevate() { return IsWindowsVistaOrLater(); }

} // namespace KVL::Platform
