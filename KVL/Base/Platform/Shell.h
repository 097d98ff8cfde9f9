// Platform service: special folders, the user's name and language, and the system's version.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace KVL::Platform {

enum class TSpecialFolder {
  sfProgramFiles,     // the native (64-bit) program files folder
  sfProgramFilesX86,  // the 32-bit program files folder (POSIX: the same as sfProgramFiles)
  sfCommonDesktop,    // the all-users desktop
  sfCommonStartMenu,  // the all-users Start menu
  sfCommonPrograms,   // its Programs folder
  sfCommonAppData,    // application data shared by all users
  sfSystem,           // the system's own libraries and programs
  sfUserDesktop,
  sfUserStartMenu,
  sfUserPrograms,
  sfAppData,          // the user's roaming application data
  sfLocalAppData,     // the user's application data that stays on this machine
  sfProfile,          // the user's profile (home) folder
  sfTemp,             // the temporary folder
  sfDocuments,        // the user's documents
};

// The folder with a trailing separator; "" when the system cannot name it. The folder need
// not exist. POSIX mapping: docs/platform.md.
std::string GetSpecialFolder(TSpecialFolder folder);

#ifndef _WIN32
// The folder that stands for the machine's root: $KVL_SYSTEM_ROOT (default "/"), with a
// trailing '/'. Everything machine-wide lives below it.
std::string SystemRoot();
#endif

// The name of the account running the program (at most 128 characters); "" when unknown.
std::string UserName();

// The user's interface language as a Windows language identifier (1033 for en-US).
// POSIX: from LC_ALL, LC_MESSAGES or LANG, through LanguageIdFromLocaleName.
uint16_t UserDefaultUILanguage();
// The Windows language identifier of a locale name such as "de_AT.UTF-8", "pt-BR" or "ru";
// 1033 for names it does not know ("C", "POSIX", empty).
uint16_t LanguageIdFromLocaleName(std::string_view name);

// Windows version tests; false on every other system, where the Windows-only behaviours
// they guard (the .exe-only shortcut rule, the default-apps page, the shell-cache refresh)
// do not apply.
bool IsWindowsVistaOrLater();
bool IsWindows7OrLater();
bool IsWindows8OrLater();
bool IsWindows10OrLater();

// Whether the program can re-launch itself with administrator rights: Windows Vista and
// later (UAC); POSIX when pkexec is found on PATH.
bool CanElevate();

} // namespace KVL::Platform
