// Platform service: desktop shortcuts (shell links on Windows, Desktop Entry launchers on POSIX).
#pragma once

#include <optional>
#include <string>

namespace KVL::Platform {

// The file that stands for the shortcut written as linkPath: linkPath itself on Windows; on
// POSIX a trailing ".lnk" (any case) becomes ".desktop". Callers that delete shortcuts by
// their Windows name delete this file.
std::string ShellLinkFileName(const std::string& linkPath);

// Saves a shortcut to target at linkPath (through ShellLinkFileName), replacing what is
// there: target only, no arguments, working folder, icon or description. Windows: a shell
// link; POSIX: a Desktop Entry of type Application named after the file, whose Exec is the
// quoted target. False when it could not be saved.
bool CreateShellLink(const std::string& linkPath, const std::string& target);

// The target path of the shortcut at linkPath; nothing when there is no file or it cannot
// be read as a shortcut. Windows: loaded through the long-path form; POSIX: the program of
// the Desktop Entry's Exec line, unquoted.
std::optional<std::string> ReadShellLinkTarget(const std::string& linkPath);

// Makes the system's shell objects usable on the calling thread (Windows: COM in a
// single-threaded apartment), once per thread; undone when the thread ends. The shortcut
// functions call it themselves. False when the thread cannot use them.
bool InitializeShellObjects();

// Tells the desktop shell that file associations changed, so icons and open-with lists
// refresh at once. Windows: the association-changed event, flushed synchronously; POSIX:
// update-desktop-database on the user's and the machine's applications folders when the
// tool is on PATH, else nothing. Raises nothing.
void NotifyAssociationsChanged();

} // namespace KVL::Platform
