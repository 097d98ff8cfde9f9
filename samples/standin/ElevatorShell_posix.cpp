// The companion program and a POSIX desktop: the player's Desktop Entry.
#include "ElevatorShell.h"

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/SysUtils.h"

namespace OnduSample {

namespace {

constexpr const char* kEntryName = "ondu-player.desktop";

std::string ApplicationsFolder() { return KVL::Platform::SystemRoot() + "usr/share/applications/"; }

// One argument of an Exec key: quoted when it holds a reserved character, with ", `, $ and
// \ escaped inside the quotes; then % doubled, since a single one starts a field code.
std::string ExecArgument(const std::string& arg) {
  std::string out;
  if (arg.empty() || arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos) {
    // Built by appending: GCC 12 at -O3 misreads an assignment here as an overlapping copy.
    out.push_back('"');
    for (char c : arg) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
      out += c;
    }
    out += '"';
  } else {
    out = arg;
  }
  std::string doubled;
  for (char c : out) {
    doubled += c;
    if (c == '%') doubled += '%';
  }
  return doubled;
}

// A value of a string key: backslashes and control characters in their escaped form.
std::string EntryValue(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

} // namespace

std::string DesktopEntryPath() { return ApplicationsFolder() + kEntryName; }

void WriteDesktopEntry(const std::string& playerExe, const std::vector<std::string>& mimeTypes) {
  std::string types;
  for (const std::string& t : mimeTypes) types += t + ";";
  // NoDisplay: the menu shortcut is the installer's business; this entry serves the types.
  const std::string text = "[Desktop Entry]\n"
                           "Type=Application\n"
                           "Name=ONDU\n"
                           "GenericName=Media Player\n"
                           "Comment=Plays audio files with ONDU\n"
                           "Exec=" + EntryValue(ExecArgument(playerExe)) + " %F\n"
                           "Terminal=false\n"
                           "NoDisplay=true\n"
                           "Categories=AudioVideo;Audio;Player;\n"
                           "MimeType=" + types + "\n";
  if (!KVL::Platform::ForceDirectories(ApplicationsFolder()))
    KVL::Platform::RaiseLastOSError("Cannot create the folder " + ApplicationsFolder());
  KVL::Platform::TPlatformFile file = KVL::Platform::TPlatformFile::Open(DesktopEntryPath(), KVL::Platform::TFileOpenMode::fomCreate);
  if (file.Write(text.data(), text.size()) != text.size())
    KVL::Platform::RaiseLastOSError("Cannot write " + DesktopEntryPath());
}

void RemoveDesktopEntry() {
  const std::string path = DesktopEntryPath();
  if (KVL::Platform::FileExists(path) && !KVL::Platform::RemoveFile(path))
    KVL::Platform::RaiseLastOSError("Cannot delete " + path);
}

TDefaultAppsPage DefaultAppsPage() { return {}; }

} // namespace OnduSample
