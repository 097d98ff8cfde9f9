// Writing and removing the player's registry entries: application, client, classes, verbs, associations.
#include "ElevatorRegistration.h"

#include <optional>
#include <utility>

#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Registry.h"
#include "KVL/Base/SysUtils.h"
#include "ElevatorShell.h"

namespace OnduSample {

using KVL::Platform::TRegistryKey;
using KVL::Platform::TRegistryRoot;

namespace {

constexpr const char* kAppName = "ONDU";
constexpr const char* kProgIdPrefix = "ONDU.AssocFile.";
constexpr const char* kSoftware = "Software";
constexpr const char* kClasses = "Software\\Classes";
constexpr const char* kProductKey = "Software\\ONDU";
constexpr const char* kCapabilities = "Software\\ONDU\\Capabilities";
// The defaults the audio types had before /REG=R2, by extension.
constexpr const char* kPreviousHandlers = "Software\\ONDU\\PreviousHandlers";
constexpr const char* kRegisteredApplications = "Software\\RegisteredApplications";
constexpr const char* kAppPath = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ONDU.exe";
constexpr const char* kApplication = "Software\\Classes\\Applications\\ONDU.exe";
constexpr const char* kClient = "Software\\Clients\\Media\\ONDU";
// Where the context-menu verbs go: every folder, and every file the shell counts as audio
// whatever program it opens with.
constexpr const char* kMenuOwners[] = {"Software\\Classes\\Directory\\shell",
                                       "Software\\Classes\\SystemFileAssociations\\audio\\shell"};
constexpr const char* kPlayVerb = "ONDU.Play";
constexpr const char* kEnqueueVerb = "ONDU.Enqueue";

void WriteString(const std::string& path, const std::string& name, const std::string& value) {
  TRegistryKey key;
  key.OpenWrite(TRegistryRoot::rrLocalMachine, path);
  key.WriteString(name, value);
}

std::optional<std::string> ReadString(const std::string& path, const std::string& name) {
  TRegistryKey key;
  if (!key.OpenRead(TRegistryRoot::rrLocalMachine, path)) return std::nullopt;
  return key.ReadString(name);
}

std::string Parent(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Removes path and then each parent that has become empty (no values, no subkeys), up to
// but not including floor: a key we created to hold ours carries nothing once ours is gone.
void PruneEmpty(std::string path, const std::string& floor) {
  while (path.size() > floor.size() && KVL::SysUtils::StartsText(path, floor + "\\")) {
    {
      TRegistryKey key;
      if (!key.OpenRead(TRegistryRoot::rrLocalMachine, path)) {
        path = Parent(path);
        continue;
      }
      if (!key.ValueNames().empty() || !key.SubKeyNames().empty()) return;
    }
    KVL::Platform::DeleteRegistryKeyTree(TRegistryRoot::rrLocalMachine, path);
    path = Parent(path);
  }
}

void DeleteKey(const std::string& path, const std::string& floor) {
  KVL::Platform::DeleteRegistryKeyTree(TRegistryRoot::rrLocalMachine, path);
  PruneEmpty(Parent(path), floor);
}

void DeleteValue(const std::string& path, const std::string& name, const std::string& floor) {
  {
    TRegistryKey key;
    if (!key.OpenRead(TRegistryRoot::rrLocalMachine, path)) return;
    if (!key.ValueExists(name)) return;
  }
  TRegistryKey key;
  key.OpenWrite(TRegistryRoot::rrLocalMachine, path);
  key.DeleteValue(name);
  key.Close();
  PruneEmpty(path, floor);
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string ExtensionKey(const TAudioType& type) { return std::string(kClasses) + "\\" + type.Extension; }

} // namespace

const std::vector<TAudioType>& AudioTypes() {
  static const std::vector<TAudioType> types = {
      {".mp3", "MP3 audio", "audio/mpeg"},
      {".flac", "FLAC audio", "audio/flac"},
      {".ogg", "Ogg Vorbis audio", "audio/ogg"},
      {".opus", "Opus audio", "audio/x-opus+ogg"},
      {".wav", "Wave audio", "audio/x-wav"},
      {".m4a", "MPEG-4 audio", "audio/mp4"},
      {".aac", "AAC audio", "audio/aac"},
      {".wma", "Windows Media audio", "audio/x-ms-wma"},
      {".ape", "Monkey's Audio", "audio/x-ape"},
      {".wv", "WavPack audio", "audio/x-wavpack"},
      {".mpc", "Musepack audio", "audio/x-musepack"},
      {".aiff", "AIFF audio", "audio/x-aiff"},
  };
  return types;
}

std::string ProgIdOf(const TAudioType& type) {
  return kProgIdPrefix + KVL::SysUtils::UpperCase(std::string(type.Extension + 1));
}

TElevatorRegistration::TElevatorRegistration(std::string playerExe, std::string elevatorExe)
    : playerExe_(std::move(playerExe)), elevatorExe_(std::move(elevatorExe)) {}

std::string TElevatorRegistration::OpenCommand() const { return Quoted(playerExe_) + " \"%1\""; }
std::string TElevatorRegistration::EnqueueCommand() const { return Quoted(playerExe_) + " /ADD \"%1\""; }
std::string TElevatorRegistration::Icon() const { return playerExe_ + ",0"; }

void TElevatorRegistration::RegisterApplication() {
  WriteString(kCapabilities, "ApplicationName", kAppName);
  WriteString(kCapabilities, "ApplicationDescription", "ONDU media player");
  WriteString(kCapabilities, "ApplicationIcon", Icon());
  const std::string associations = std::string(kCapabilities) + "\\FileAssociations";
  for (const TAudioType& type : AudioTypes()) WriteString(associations, type.Extension, ProgIdOf(type));
  WriteString(kRegisteredApplications, kAppName, kCapabilities);

  WriteString(kAppPath, "", playerExe_);
  WriteString(kAppPath, "Path", KVL::Platform::ExtractFilePath(playerExe_));

  WriteString(kApplication, "FriendlyAppName", kAppName);
  WriteString(std::string(kApplication) + "\\DefaultIcon", "", Icon());
  WriteString(std::string(kApplication) + "\\shell\\open\\command", "", OpenCommand());
  const std::string supported = std::string(kApplication) + "\\SupportedTypes";
  for (const TAudioType& type : AudioTypes()) WriteString(supported, type.Extension, "");
}

void TElevatorRegistration::RegisterClient() {
  WriteString(kClient, "", kAppName);
  WriteString(std::string(kClient) + "\\DefaultIcon", "", Icon());
  WriteString(std::string(kClient) + "\\shell\\open\\command", "", Quoted(playerExe_));
  // What the default-programs list runs to make the player the default again.
  WriteString(std::string(kClient) + "\\InstallInfo", "ReinstallCommand", Quoted(elevatorExe_) + " /REG=R2");
  TRegistryKey info;
  info.OpenWrite(TRegistryRoot::rrLocalMachine, std::string(kClient) + "\\InstallInfo");
  info.WriteInteger("IconsVisible", 1);
}

void TElevatorRegistration::WriteProgId(const TAudioType& type) {
  const std::string key = std::string(kClasses) + "\\" + ProgIdOf(type);
  WriteString(key, "", type.Description);
  WriteString(key + "\\DefaultIcon", "", Icon());
  // "open" is the shell's default verb and has its own caption.
  WriteString(key + "\\shell\\open\\command", "", OpenCommand());
  WriteString(key + "\\shell\\enqueue", "", "Add to ONDU playlist");
  WriteString(key + "\\shell\\enqueue\\command", "", EnqueueCommand());
}

void TElevatorRegistration::RegisterProgIds() {
  for (const TAudioType& type : AudioTypes()) WriteProgId(type);
}

void TElevatorRegistration::RegisterContextMenu() {
  for (const char* owner : kMenuOwners) {
    const std::string play = std::string(owner) + "\\" + kPlayVerb;
    WriteString(play, "", "Play with ONDU");
    WriteString(play, "Icon", Icon());
    WriteString(play + "\\command", "", OpenCommand());
    const std::string enqueue = std::string(owner) + "\\" + kEnqueueVerb;
    WriteString(enqueue, "", "Add to ONDU playlist");
    WriteString(enqueue, "Icon", Icon());
    WriteString(enqueue + "\\command", "", EnqueueCommand());
  }
}

void TElevatorRegistration::AssociateFiles() {
  std::vector<std::string> mimeTypes;
  for (const TAudioType& type : AudioTypes()) {
    const std::string progId = ProgIdOf(type);
    // A default pointing at a class that is not there would leave the type without a handler.
    if (ReadString(std::string(kClasses) + "\\" + progId + "\\shell\\open\\command", "") != OpenCommand())
      WriteProgId(type);
    const std::string previous = ReadString(ExtensionKey(type), "").value_or(std::string());
    // Repeating the association must not forget the handler from before the first one.
    if (!previous.empty() && !KVL::SysUtils::SameText(previous, progId))
      WriteString(kPreviousHandlers, type.Extension, previous);
    WriteString(ExtensionKey(type), "", progId);
    WriteString(ExtensionKey(type) + "\\OpenWithProgids", progId, "");
    bool listed = false;
    for (const std::string& m : mimeTypes) listed = listed || m == type.MimeType;
    if (!listed) mimeTypes.push_back(type.MimeType);
  }
  WriteDesktopEntry(playerExe_, mimeTypes);
}

void TElevatorRegistration::Unregister() {
  for (const TAudioType& type : AudioTypes()) {
    const std::string progId = ProgIdOf(type);
    const std::string current = ReadString(ExtensionKey(type), "").value_or(std::string());
    // A default that another program took since is the user's or that program's now.
    if (KVL::SysUtils::SameText(current, progId)) {
      const std::optional<std::string> previous = ReadString(kPreviousHandlers, type.Extension);
      if (previous && !previous->empty())
        WriteString(ExtensionKey(type), "", *previous);
      else
        DeleteValue(ExtensionKey(type), "", kClasses);
    }
    DeleteValue(ExtensionKey(type) + "\\OpenWithProgids", progId, kClasses);
    DeleteKey(std::string(kClasses) + "\\" + progId, kClasses);
  }
  RemoveDesktopEntry();

  for (const char* owner : kMenuOwners) {
    DeleteKey(std::string(owner) + "\\" + kPlayVerb, kClasses);
    DeleteKey(std::string(owner) + "\\" + kEnqueueVerb, kClasses);
  }
  DeleteKey(kClient, kSoftware);
  DeleteKey(kApplication, kClasses);
  DeleteKey(kAppPath, kSoftware);
  DeleteValue(kRegisteredApplications, kAppName, kSoftware);
  DeleteKey(kCapabilities, kSoftware);
  DeleteKey(kPreviousHandlers, kSoftware);
  PruneEmpty(kProductKey, kSoftware);
}

} // namespace OnduSample
