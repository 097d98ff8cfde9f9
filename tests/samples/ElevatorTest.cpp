// The sample product's companion program: what each switch registers, and /REG=U taking all of it back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Registry.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/StringList.h"
#include "KVL/Base/SysUtils.h"
#include "TestUtil.h"

#ifdef ONDU_SAMPLE_STAGE_DIR

namespace {

using namespace KVL::Platform;

constexpr TRegistryRoot kMachine = TRegistryRoot::rrLocalMachine;

// The documented audio types with their MIME types (samples/README.md).
const std::vector<std::pair<std::string, std::string>> kAudioTypes = {
    {"mp3", "audio/mpeg"}, {"flac", "audio/flac"},       {"ogg", "audio/ogg"},        {"opus", "audio/x-opus+ogg"},
    {"wav", "audio/x-wav"}, {"m4a", "audio/mp4"},        {"aac", "audio/aac"},        {"wma", "audio/x-ms-wma"},
    {"ape", "audio/x-ape"}, {"wv", "audio/x-wavpack"},   {"mpc", "audio/x-musepack"}, {"aiff", "audio/x-aiff"},
};

// Every key the program may write to or below, and the parents it may create.
std::vector<std::string> WatchedKeys() {
  std::vector<std::string> keys = {
      "Software\\ONDU",
      "Software\\RegisteredApplications",
      "Software\\Clients",
      "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths",
      "Software\\Classes\\Applications\\ONDU.exe",
      "Software\\Classes\\Directory",
      "Software\\Classes\\SystemFileAssociations",
  };
  for (const auto& [ext, mime] : kAudioTypes) {
    keys.push_back("Software\\Classes\\." + ext);
    keys.push_back("Software\\Classes\\ONDU.AssocFile." + KVL::SysUtils::UpperCase(ext));
  }
  return keys;
}

std::vector<std::string> SortedIgnoringCase(std::vector<std::string> names) {
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return KVL::SysUtils::UpperCase(a) < KVL::SysUtils::UpperCase(b);
  });
  return names;
}

// A key with its values and subkeys, in an order both registries agree on.
void DumpKey(const std::string& path, std::string& out) {
  TRegistryKey key;
  if (!key.OpenRead(kMachine, path)) {
    out += "(no " + path + ")\n";
    return;
  }
  out += "[" + path + "]\n";
  for (const std::string& name : SortedIgnoringCase(key.ValueNames())) {
    out += name + "=";
    if (std::optional<std::string> s = key.ReadString(name))
      (out += '"') += *s + '"';
    else if (std::optional<uint32_t> n = key.ReadInteger(name))
      out += std::to_string(*n);
    out += "\n";
  }
  for (const std::string& sub : SortedIgnoringCase(key.SubKeyNames())) DumpKey(path + "\\" + sub, out);
}

std::string Snapshot() {
  std::string out;
  for (const std::string& key : WatchedKeys()) DumpKey(key, out);
  return out;
}

std::optional<std::string> ReadValue(const std::string& path, const std::string& name) {
  TRegistryKey key;
  if (!key.OpenRead(kMachine, path)) return std::nullopt;
  return key.ReadString(name);
}

void WriteValue(const std::string& path, const std::string& name, const std::string& value) {
  TRegistryKey key;
  key.OpenWrite(kMachine, path);
  key.WriteString(name, value);
}

// Built by appending: GCC 12 at -O3 misreads "x" + s + "y" as an overlapping copy.
std::string Quoted(const std::string& text) {
  std::string out(1, '"');
  out += text;
  out += '"';
  return out;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Puts a key's default value back as it was (on Windows the prefix outlives the test).
class TSavedDefault {
public:
  explicit TSavedDefault(std::string path) : path_(std::move(path)), existed_(RegistryKeyExists(kMachine, path_)) {
    if (existed_) value_ = ReadValue(path_, "");
  }
  ~TSavedDefault() {
    if (!existed_) {
      DeleteRegistryKeyTree(kMachine, path_);
      return;
    }
    TRegistryKey key;
    key.OpenWrite(kMachine, path_);
    if (value_)
      key.WriteString("", *value_);
    else
      key.DeleteValue("");
  }

private:
  std::string path_;
  bool existed_;
  std::optional<std::string> value_;
};

// On POSIX every write of the registry stand-in rewrites its file and flushes it to disk, and
// these runs make hundreds of writes: the scratch machine lives in memory where there is room.
std::unique_ptr<TestUtil::TTempDir> MakeMachineRoot() {
#ifndef _WIN32
  if (DirectoryExists("/dev/shm/")) {
    TEnvironmentOverride inMemory("TMPDIR", "/dev/shm");
    return std::make_unique<TestUtil::TTempDir>();
  }
#endif
  return std::make_unique<TestUtil::TTempDir>();
}

struct TRun {
  uint32_t code;
  std::string output;  // standard output and error
};

// The companion program in a program folder of its own, a scratch machine (the POSIX stand-in
// below a private root; on Windows the prefix's registry), and a player type that another
// program handles: ".mp3" opens with "OtherPlayer.MP3".
class Elevator : public ::testing::Test {
protected:
  Elevator() {
    EXPECT_TRUE(ForceDirectories(programFolder_));
    std::filesystem::copy_file(std::filesystem::u8path(ExpandFileName(std::string(ONDU_SAMPLE_STAGE_DIR) + "/PRODUCT/Elevator.exe")),
                               std::filesystem::u8path(Program()));
    // Under wine the registry outlives each test, and installations by other tests leave a
    // registration behind: a clean machine is one that /REG=U has gone over.
    EXPECT_EQ(Run({"/REG=U"}).code, 0u);
    savedMp3_.emplace(kMp3);
    savedOgg_.emplace("Software\\Classes\\.ogg");
    WriteValue(kMp3, "", "OtherPlayer.MP3");
    clean_ = Snapshot();
  }
  ~Elevator() override { Run({"/REG=U"}); }

  TRun Run(const std::vector<std::string>& args) {
    const std::string output = scratch_.File("output.txt");
    TProcess p = StartProcessCapturing(Program(), args, output);
    if (!p.WaitForExit(60000)) return {999, "did not end"};
    return {p.ExitCode(), TestUtil::ReadWholeFile(output)};
  }
  std::string Program() const { return programFolder_ + "Elevator.exe"; }
  std::string Player() const { return programFolder_ + "ONDU.exe"; }
  std::string OpenCommand() const { return Quoted(Player()) + " \"%1\""; }
  std::string EnqueueCommand() const { return Quoted(Player()) + " /ADD \"%1\""; }
  std::string LogFile(const std::string& name) const { return logs_.File(name); }
  std::string DesktopEntry() const {
    return root_->File("usr/share/applications/ondu-player.desktop");
  }
  // The whole POSIX stand-in, to show that nothing outside the watched keys changed.
  std::string RegistryFile() const {
    const std::string file = RegistryStandInPath();
    return file.empty() || !FileExists(file) ? std::string() : TestUtil::ReadWholeFile(file);
  }

  static constexpr const char* kMp3 = "Software\\Classes\\.mp3";
  std::unique_ptr<TestUtil::TTempDir> root_ = MakeMachineRoot();
  TEnvironmentOverride systemRoot_{"KVL_SYSTEM_ROOT", root_->Path()};
  TestUtil::TTempDir program_, logs_, scratch_;
  // A blank in the folder makes every command line quote the player.
  const std::string programFolder_ = program_.File("ONDU Player/");
  TEnvironmentOverride logDir_{"ONDU_STANDIN_LOG_DIR", logs_.Path()};
  TEnvironmentOverride noUi_{"ONDU_ELEVATOR_NO_UI", "1"};
  std::optional<TSavedDefault> savedMp3_, savedOgg_;
  std::string clean_;
};

TEST_F(Elevator, EachSwitchWritesItsPartAndUnregisterTakesItBack) {
  struct TValueCheck {
    std::string key, name;
    std::optional<std::string> value;  // nothing: the key must not exist
  };
  const std::string caps = "Software\\ONDU\\Capabilities";
  const std::string mp3Class = "Software\\Classes\\ONDU.AssocFile.MP3";
  const std::string aiffClass = "Software\\Classes\\ONDU.AssocFile.AIFF";
  const std::string client = "Software\\Clients\\Media\\ONDU";
  const std::string folderPlay = "Software\\Classes\\Directory\\shell\\ONDU.Play";
  struct TCase {
    std::vector<std::string> args;
    std::vector<TValueCheck> checks;
  };
  const TCase cases[] = {
      {{"/REG=L1"},
       {{caps, "ApplicationName", "ONDU"},
        {caps + "\\FileAssociations", ".flac", "ONDU.AssocFile.FLAC"},
        {caps + "\\FileAssociations", ".aiff", "ONDU.AssocFile.AIFF"},
        {"Software\\RegisteredApplications", "ONDU", caps},
        {"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ONDU.exe", "", Player()},
        {"Software\\Classes\\Applications\\ONDU.exe\\shell\\open\\command", "", OpenCommand()},
        {"Software\\Classes\\Applications\\ONDU.exe\\SupportedTypes", ".wv", ""},
        {kMp3, "", "OtherPlayer.MP3"},
        {mp3Class, "", std::nullopt},
        {client, "", std::nullopt}}},
      {{"/REG=D1"},
       {{client, "", "ONDU"},
        {client + "\\shell\\open\\command", "", Quoted(Player())},
        {client + "\\InstallInfo", "ReinstallCommand", Quoted(Program()) + " /REG=R2"},
        {caps, "", std::nullopt}}},
      {{"/REG=R1"},
       {{mp3Class + "\\shell\\open\\command", "", OpenCommand()},
        {aiffClass + "\\shell\\enqueue\\command", "", EnqueueCommand()},
        {aiffClass + "\\shell\\enqueue", "", "Add to ONDU playlist"},
        {kMp3, "", "OtherPlayer.MP3"},
        {folderPlay, "", std::nullopt}}},
      {{"/REG=M1"},
       {{folderPlay + "\\command", "", OpenCommand()},
        {"Software\\Classes\\Directory\\shell\\ONDU.Enqueue\\command", "", EnqueueCommand()},
        {"Software\\Classes\\SystemFileAssociations\\audio\\shell\\ONDU.Play\\command", "", OpenCommand()},
        {"Software\\Classes\\SystemFileAssociations\\audio\\shell\\ONDU.Enqueue\\command", "", EnqueueCommand()},
        {mp3Class, "", std::nullopt}}},
      {{"/REG=R2"},
       {{kMp3, "", "ONDU.AssocFile.MP3"},
        {kMp3 + std::string("\\OpenWithProgids"), "ONDU.AssocFile.MP3", ""},
        {"Software\\Classes\\.aiff", "", "ONDU.AssocFile.AIFF"},
        {"Software\\ONDU\\PreviousHandlers", ".mp3", "OtherPlayer.MP3"},
        // The types must not point at a class that is not there.
        {aiffClass + "\\shell\\open\\command", "", OpenCommand()},
        {caps, "", std::nullopt}}},
      {{"/REG=L1", "/REG=D1", "/REG=R1", "/REG=M1", "/REG=R2", "/REG_UI"},
       {{caps, "ApplicationName", "ONDU"},
        {client, "", "ONDU"},
        {mp3Class + "\\shell\\enqueue\\command", "", EnqueueCommand()},
        {folderPlay + "\\command", "", OpenCommand()},
        {kMp3, "", "ONDU.AssocFile.MP3"}}},
  };
  const std::string cleanFile = RegistryFile();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.args.front() + (c.args.size() > 1 ? " ..." : ""));
    TRun run = Run(c.args);
    ASSERT_EQ(run.code, 0u) << run.output;
    for (const TValueCheck& v : c.checks) {
      if (v.value)
        EXPECT_EQ(ReadValue(v.key, v.name), v.value) << v.key << " " << v.name;
      else
        EXPECT_FALSE(RegistryKeyExists(kMachine, v.key)) << v.key;
    }
    run = Run({"/REG=U"});
    ASSERT_EQ(run.code, 0u) << run.output;
    EXPECT_EQ(Snapshot(), clean_);
    EXPECT_EQ(RegistryFile(), cleanFile);
    EXPECT_FALSE(FileExists(DesktopEntry()));
  }
  // Each start was recorded, switches and all.
  KVL::Classes::TKVLStringList starts;
  starts.SetText(TestUtil::ReadWholeFile(LogFile("elevator.log")));
  ASSERT_EQ(starts.Count(), 1 + 12);  // the fixture's clean-up, then two runs per case
  EXPECT_TRUE(EndsWith(starts.Strings(11), "\t/REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2 /REG_UI"))
      << starts.Strings(11);
}

TEST_F(Elevator, UnregisterGivesBackOnlyTheDefaultsThatAreStillThePlayers) {
  ASSERT_EQ(Run({"/REG=R2"}).code, 0u);
  // Repeating the association must not make the player its own previous handler.
  ASSERT_EQ(Run({"/REG=R2"}).code, 0u);
  // Another program took ".ogg" since.
  WriteValue("Software\\Classes\\.ogg", "", "ThirdPlayer.OGG");

  TRun run = Run({"/REG=U"});
  ASSERT_EQ(run.code, 0u) << run.output;
  EXPECT_EQ(ReadValue(kMp3, ""), "OtherPlayer.MP3");
  EXPECT_EQ(ReadValue("Software\\Classes\\.ogg", ""), "ThirdPlayer.OGG");
  EXPECT_EQ(ReadValue("Software\\Classes\\.ogg\\OpenWithProgids", "ONDU.AssocFile.OGG"), std::nullopt);
  EXPECT_FALSE(RegistryKeyExists(kMachine, "Software\\ONDU"));
  EXPECT_FALSE(RegistryKeyExists(kMachine, "Software\\Classes\\ONDU.AssocFile.OGG"));
}

TEST_F(Elevator, AssociatingWritesADesktopEntryWithTheMimeTypesOnPosix) {
  ASSERT_EQ(Run({"/REG=R2"}).code, 0u);
#ifdef _WIN32
  EXPECT_FALSE(FileExists(DesktopEntry()));
#else
  ASSERT_TRUE(FileExists(DesktopEntry()));
  KVL::Classes::TKVLStringList entry;
  entry.SetText(TestUtil::ReadWholeFile(DesktopEntry()));
  EXPECT_EQ(entry.Strings(0), "[Desktop Entry]");
  EXPECT_EQ(entry.Value("Type"), "Application");
  EXPECT_EQ(entry.Value("Exec"), Quoted(Player()) + " %F");
  std::string mimeTypes;
  for (const auto& [ext, mime] : kAudioTypes) mimeTypes += mime + ";";
  EXPECT_EQ(entry.Value("MimeType"), mimeTypes);
#endif
}

TEST_F(Elevator, TheDefaultAppsPageIsOnlyRecordedWhenWindowsAreForbidden) {
  TRun run = Run({"/REG_UI"});
  ASSERT_EQ(run.code, 0u) << run.output;
  EXPECT_EQ(Snapshot(), clean_);
#ifdef _WIN32
  const std::string record = TestUtil::ReadWholeFile(LogFile("elevator-ui.log"));
  EXPECT_TRUE(EndsWith(record, "\tsuppressed\r\n")) << record;
  EXPECT_NE(record.find(IsWindows10OrLater() ? "ms-settings:defaultapps" : "Microsoft.DefaultPrograms"),
            std::string::npos) << record;
#else
  // Nothing to show on a POSIX desktop.
  EXPECT_FALSE(FileExists(LogFile("elevator-ui.log")));
#endif
}

TEST_F(Elevator, FailuresAreReportedOnStandardErrorWithExitCode1) {
  TRun run = Run({"/REG=L1", "/REG=X9"});
  EXPECT_EQ(run.code, 1u);
  EXPECT_NE(run.output.find("unknown switch \"/REG=X9\""), std::string::npos) << run.output;
  // Nothing was done, but the start was recorded.
  EXPECT_EQ(Snapshot(), clean_);
  EXPECT_TRUE(FileExists(LogFile("elevator.log")));
#ifndef _WIN32
  const std::string damaged = "[HKLM\\Software\\Broken\n";
  TestUtil::WriteWholeFile(RegistryStandInPath(), damaged);
  run = Run({"/REG=L1"});
  EXPECT_EQ(run.code, 1u);
  EXPECT_NE(run.output.find("damaged"), std::string::npos) << run.output;
  EXPECT_EQ(TestUtil::ReadWholeFile(RegistryStandInPath()), damaged);
  std::filesystem::remove(std::filesystem::u8path(RegistryStandInPath()));
#endif
}

} // namespace

#endif // ONDU_SAMPLE_STAGE_DIR
