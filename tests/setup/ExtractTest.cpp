// Extraction run end to end: files written, the file record in Uninstall.dat, registration,
// failures, and targets that are in use by a running program.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/MessageBox.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Registry.h"
#include "KVL/Base/StringList.h"
#include "TestUtil.h"
#include "setup/core/ApplicationRepository.h"
#include "setup/core/Extract.h"
#include "setup/core/Resources.h"
#include "setup/core/Setup.h"
#include "setup/core/package/PackageReader.h"
#include "tests/setup/SetupFixture.h"

using namespace KVL::Platform;
using namespace Setup::Core;
using SetupTest::TFiles;
using SetupTest::TSetupFixture;
using SetupTest::TTestProductInfo;
using TestUtil::ReadWholeFile;
using TestUtil::TTempDir;
using TestUtil::WriteWholeFile;

namespace {

// The test child runs from path, so that the file is in use (it cannot be opened for writing,
// but can be read and renamed) until Release.
class TProgramInUse {
public:
  TProgramInUse(const std::string& path, const std::string& scratch)
      : started_(scratch + "started"), release_(scratch + "release") {
    TestUtil::CopyChildProgram(path);
    process_ = StartProcess(path, {"--marker", started_, "--wait-for", release_});
    for (int i = 0; i < 1000 && !FileExists(started_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ~TProgramInUse() { Release(); }
  bool IsRunning() { return FileExists(started_) && !process_.WaitForExit(0); }
  void Release() {
    if (!process_.IsValid() || process_.WaitForExit(0)) return;
    WriteWholeFile(release_, "go");
    EXPECT_TRUE(process_.WaitForExit(20000));
  }

private:
  std::string started_, release_;
  TProcess process_;
};

// Records what the progress page would see.
class TRecorder : public IInstallerNotify {
public:
  std::vector<int> progress;  // the current action's value of every progress notification
  std::vector<std::string> status;
  std::function<void(int)> onProgress;
  void Notify(int32_t code, intptr_t param) override {
    if (code == snProgress) {
      progress.push_back(static_cast<int>(param & 0xFFFF));
      if (onProgress) onProgress(progress.back());
    } else if (code == snStatusText) {
      status.push_back(*reinterpret_cast<const std::string*>(param));
    }
  }
};

struct TQuestion {
  std::string text, caption;
  TMsgDlgType type;
  TMsgDlgButtons buttons;
  int defaultResult;
  bool onMainThread;
};

class Extract : public ::testing::Test {
protected:
  TTempDir root_;
  TEnvironmentOverride systemRoot_{"KVL_SYSTEM_ROOT", root_.Path()};
  TEnvironmentOverride home_{"HOME", root_.Path()};
  const std::string dest_ = root_.File("Apps/ONDU/");
  std::unique_ptr<TSetupFixture> fixture_;
  std::vector<TQuestion> questions_;
  std::vector<int> answers_;  // given in order; Abort when they run out
  std::function<void()> onQuestion_;
  TMessageDialogHandler savedHandler_;

  void SetUp() override {
    TTestProductInfo::Reset();
    TTestProductInfo::Actions = {&ActionClassOf<TSetupActionExtract>("TSetupActionExtract")};
    savedHandler_ = SetMessageDialogHandler([this](const std::string& text, const std::string& caption,
                                                   TMsgDlgType type, TMsgDlgButtons buttons, int def) {
      questions_.push_back({text, caption, type, buttons, def, IsMainThread()});
      if (onQuestion_) onQuestion_();
      if (questions_.size() > answers_.size()) return static_cast<int>(mrAbort);
      return answers_[questions_.size() - 1];
    });
  }
  void TearDown() override {
    fixture_.reset();
    SetMessageDialogHandler(savedHandler_);
    TSetupApplicationRepository::Unregister("ONDU");
    TTestProductInfo::Reset();
  }

  // The setup object for an unattended installation into dest_ whose script installs the
  // given <File> elements; the language file is loaded as the start-up would.
  TSetup& Make(const std::string& components, const TFiles& product, const std::string& switches = "",
               const std::string& language = "English.lng", const TFiles& extraSetupFiles = {}) {
    TFiles setupFiles = SetupTest::MinimalSetupFiles();
    for (auto& [name, bytes] : setupFiles) {
      if (name == "Install.xml") {
        size_t at = bytes.find("</product>");
        bytes.insert(at, "<Components>" + components + "</Components>");
      } else if (name == "English.lng") {
        bytes += "T1=%d%% of %s\r\nT2=%s and %s\r\n";
      }
    }
    setupFiles.insert(setupFiles.end(), extraSetupFiles.begin(), extraSetupFiles.end());
    fixture_ = std::make_unique<TSetupFixture>(setupFiles, product, "/AUTO=\"" + dest_ + "\" " + switches);
    fixture_->Setup().Resources().LoadLanguage(language);
    return fixture_->Setup();
  }

  // Runs the extraction on the worker thread and answers its error list.
  std::vector<std::string> Run() {
    TSetup& setup = fixture_->Setup();
    setup.Run(true);
    std::vector<std::string> errors;
    for (int i = 0; i < setup.Errors().Count(); ++i) errors.push_back(setup.Errors().Strings(i));
    return errors;
  }

  std::string Dest(const std::string& relative) const { return root_.File("Apps/ONDU/" + relative); }

  // Uninstall.ini as read back from the data package.
  std::unique_ptr<KVL::FileFormats::INI::TKVLIniFile> ReadRecord(std::string* raw = nullptr) {
    Package::TSetupPackageReader package(dest_ + "Uninstall.dat");
    EXPECT_EQ(package.FileTable().Count(), 1);
    std::unique_ptr<KVL::Streams::TKVLMemoryStream> text = package.Extract("Uninstall.ini");
    if (raw) raw->assign(reinterpret_cast<const char*>(text->Memory()), static_cast<size_t>(text->Size()));
    auto ini = std::make_unique<KVL::FileFormats::INI::TKVLIniFile>();
    ini->LoadFromStream(*text);
    return ini;
  }

  static std::vector<std::string> Keys(const KVL::FileFormats::INI::TKVLIniFile& ini, const std::string& section) {
    KVL::Classes::TKVLStringList keys;
    ini.ReadKeys(section, keys);
    std::vector<std::string> out;
    for (int i = 0; i < keys.Count(); ++i) out.push_back(keys.Strings(i));
    return out;
  }
};

} // namespace

TEST_F(Extract, RecordListsFilesAfterTheSettingsAndTheUninstallerIsRegistered) {
  const std::string outside = root_.File("Shared/notes.txt");
  TSetup& setup = Make("<File name='$DEST\\ONDU.exe'/>"
                       "<File name='$DEST\\Langs\\English.lng'/>"
                       "<File name='" + outside + "'>notes.txt</File>",
                       {{"ONDU.exe", "player"}, {"notes.txt", "shared notes"}});
  setup.Settings().WriteString("Integration", "Desktop", "1");
  setup.Settings().WriteString("Uninstall", "Count", "99");  // an old record must not survive
  setup.Settings().WriteString("Uninstall", "7", "stale.dll");
  setup.Settings().WriteString("Actions", "$DEST\\ONDU.exe", "0");
  ASSERT_EQ(Run(), std::vector<std::string>{});

  EXPECT_EQ(ReadWholeFile(Dest("ONDU.exe")), "player");
  EXPECT_EQ(ReadWholeFile(Dest("Langs/English.lng")).substr(0, 6), "[File]");  // found in SETUP
  EXPECT_EQ(ReadWholeFile(outside), "shared notes");
  EXPECT_EQ(ReadWholeFile(Dest("Uninstall.exe")), ReadWholeFile(ExecutablePath()));

  std::string raw;
  auto ini = ReadRecord(&raw);
  EXPECT_EQ(raw.substr(0, 2), "\xFF\xFE");  // UTF-16LE with its byte-order mark
  ASSERT_GE(ini->SectionCount(), 3);
  EXPECT_EQ(ini->SectionName(ini->SectionCount() - 1), "Uninstall");
  EXPECT_EQ(ini->ReadString("Integration", "Desktop"), "1");
  EXPECT_EQ(ini->ReadString("Actions", "$DEST\\ONDU.exe"), "0");
  EXPECT_EQ(Keys(*ini, "Uninstall"), (std::vector<std::string>{"0", "Count", "1", "2", "3", "4"}));
  const std::string sep(1, kPathDelim);
  EXPECT_EQ(ini->ReadString("Uninstall", "Count"), "5");
  EXPECT_EQ(ini->ReadString("Uninstall", "0"), "ONDU.exe");
  EXPECT_EQ(ini->ReadString("Uninstall", "1"), "Langs" + sep + "English.lng");
  EXPECT_EQ(ini->ReadString("Uninstall", "2"), outside);
  EXPECT_EQ(ini->ReadString("Uninstall", "3"), "Uninstall.dat");
  EXPECT_EQ(ini->ReadString("Uninstall", "4"), "Uninstall.exe");

  TRegistryKey key;
  ASSERT_TRUE(key.OpenRead(TRegistryRoot::rrLocalMachine, TSetupApplicationRepository::KeyPath("ONDU")));
  EXPECT_EQ(key.ReadString("DisplayName"), "ONDU");
  EXPECT_EQ(key.ReadString("DisplayIcon"), dest_ + "Uninstall.exe");
  EXPECT_EQ(key.ReadString("DisplayVersion"), "5.39.0.1");
  EXPECT_EQ(key.ReadString("Publisher"), "ONDU Team");
  EXPECT_EQ(key.ReadString("URLInfoAbout"), "https://ondu.example/");
}

TEST_F(Extract, PortableInstallationIsNotRegistered) {
  Make("<File name='$DEST\\ONDU.exe'/>", {{"ONDU.exe", "player"}}, "/PORTABLE");
  ASSERT_TRUE(fixture_->Setup().HasFlag(sfPortable));
  ASSERT_EQ(Run(), std::vector<std::string>{});
  EXPECT_TRUE(FileExists(Dest("Uninstall.exe")));
  EXPECT_EQ(ReadRecord()->ReadString("Uninstall", "Count"), "3");
  EXPECT_FALSE(RegistryKeyExists(TRegistryRoot::rrLocalMachine, TSetupApplicationRepository::KeyPath("ONDU")));
}

#ifndef _WIN32
// Packages keep no permission bits: programs are recognised by their header and made runnable.
TEST_F(Extract, ProgramsBecomeRunnableOtherFilesDoNot) {
  Make("<File name='$DEST\\ONDU.exe'/><File name='$DEST\\run.sh'/><File name='$DEST\\ReadMe.txt'/>",
       {{"ONDU.exe", std::string("\x7f" "ELF\x02\x01", 6)}, {"run.sh", "#!/bin/sh\n"}, {"ReadMe.txt", "ELF #!"}});
  ASSERT_EQ(Run(), std::vector<std::string>{});
  const auto runnable = [&](const char* name) {
    return (std::filesystem::status(Dest(name)).permissions() & std::filesystem::perms::owner_exec) !=
           std::filesystem::perms::none;
  };
  EXPECT_TRUE(runnable("ONDU.exe"));
  EXPECT_TRUE(runnable("run.sh"));
  EXPECT_FALSE(runnable("ReadMe.txt"));
}
#endif

TEST_F(Extract, EntriesFollowTheLanguageFamilyAndTheirSourceNames) {
  const std::string components = "<File name='$DEST\\ONDU.exe'/>"
                                 "<File name='$DEST\\Langs\\Help.txt' lang-family='en'>help\\en.txt</File>"
                                 "<File name='$DEST\\Langs\\Help.txt' lang-family='RU'>help\\ru.txt</File>"
                                 "<File name='$DEST\\Plugins\\x.dll'>bin\\x64.dll</File>";
  const TFiles product = {{"ONDU.exe", "player"}, {"help\\en.txt", "help"}, {"help\\ru.txt", "spravka"},
                          {"bin\\x64.dll", "plugin"}};
  const TFiles russian = {{"Russian.lng", "[File]\r\nName=Russian\r\nFamily=RU\r\n[Common]\r\n"}};
  struct Case {
    const char* language;
    const char* help;
  };
  for (const Case& c : {Case{"English.lng", "help"}, Case{"Russian.lng", "spravka"}}) {
    SCOPED_TRACE(c.language);
    Make(components, product, "", c.language, russian);
    ASSERT_EQ(Run(), std::vector<std::string>{});
    EXPECT_EQ(ReadWholeFile(Dest("ONDU.exe")), "player");
    EXPECT_EQ(ReadWholeFile(Dest("Langs/Help.txt")), c.help);
    EXPECT_EQ(ReadWholeFile(Dest("Plugins/x.dll")), "plugin");
    EXPECT_EQ(ReadRecord()->ReadString("Uninstall", "Count"), "5");
    fixture_.reset();
    TSetupApplicationRepository::Unregister("ONDU");
  }
}

TEST_F(Extract, ProgressIsSetBeforeEachFileBetweenTwoStatusTexts) {
  Make("<File name='$DEST\\1.txt'/><File name='$DEST\\2.txt'/><File name='$DEST\\3.txt'/><File name='$DEST\\4.txt'/>",
       {{"1.txt", "1"}, {"2.txt", "2"}, {"3.txt", "3"}, {"4.txt", "4"}});
  TRecorder recorder;
  std::vector<std::string> seen;  // for each value, which of the files existed then
  recorder.onProgress = [&](int value) {
    std::string files;
    for (const char* f : {"1.txt", "2.txt", "3.txt", "4.txt"})
      if (FileExists(Dest(f))) files += f[0];
    seen.push_back(std::to_string(value) + ":" + files);
  };
  fixture_->Setup().AddListener(&recorder);
  ASSERT_EQ(Run(), std::vector<std::string>{});
  fixture_->Setup().RemoveListener(&recorder);
  EXPECT_EQ(seen, (std::vector<std::string>{"0:", "25:", "50:1", "75:12", "100:123"}));
  EXPECT_EQ(recorder.status, (std::vector<std::string>{"Copying files...", "Creating the uninstaller..."}));
}

TEST_F(Extract, FailuresNameTheTargetAndEndTheRun) {
  const std::string sep(1, kPathDelim);
  struct Case {
    const char* components;
    std::string error;
  };
  const Case cases[] = {
      {"<File name='$DEST\\Readme.txt'/>",
       Dest("Readme.txt") + "\r\nCannot locate \"Readme.txt\" file in setup archive"},
      {"<File name='$DEST\\a.txt'>docs\\a.txt</File>",
       Dest("a.txt") + "\r\nCannot locate \"docs\\a.txt\" file in setup archive"},
      // A file stands where the folder should be.
      {"<File name='$DEST\\Blocked\\x.dll'/>",
       Dest("Blocked/x.dll") + "\r\nCannot create the folder " + Dest("Blocked/") + "."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.components);
    Make(std::string("<File name='$DEST\\ONDU.exe'/>") + c.components + "<File name='$DEST\\Last.txt'/>",
         {{"ONDU.exe", "player"}, {"Last.txt", "last"}, {"x.dll", "plugin"}});
    ASSERT_TRUE(ForceDirectories(dest_));
    WriteWholeFile(Dest("Blocked"), "a file");
    EXPECT_EQ(Run(), std::vector<std::string>{c.error});
    EXPECT_EQ(ReadWholeFile(Dest("ONDU.exe")), "player");  // what was written stays
    EXPECT_FALSE(FileExists(Dest("Last.txt")));
    EXPECT_FALSE(FileExists(Dest("Uninstall.dat")));
    fixture_.reset();
  }
}

TEST_F(Extract, MessagesReplaceOnlyTheirPlaceholders) {
  Make("", {});
  TSetupExtractHelper& helper = fixture_->Setup().ExtractHelper();
  struct Case {
    const char* key;
    const char* arg;
    const char* expected;
  };
  const Case cases[] = {
      {"E3", "C:\\Apps\\", "Cannot create the folder C:\\Apps\\."},
      {"A4", "ignored", "Copying files..."},
      {"T1", "%s%n", "%d%% of %s%n"},  // neither the text nor the argument is a format
      {"T2", "x", "x and x"},
      {"NoSuchKey", "x", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(helper.FormatMessage(c.key, c.arg), c.expected) << c.key;
}

TEST_F(Extract, TargetInUseIsSkippedMovedAsideOrLeftToTheUser) {
  const std::string program = ReadWholeFile(TestUtil::ChildProgramPath());
  enum TOutcome { otKept, otReplaced };
  struct Case {
    const char* what;
    bool sameContent;          // the package holds the running program's own bytes
    bool olderBackup;          // an earlier ONDU.exe.bak keeps the file from being moved aside
    std::vector<int> answers;  // to the questions, in order
    size_t questions;
    TOutcome outcome;
    bool aborted;
  };
  const Case cases[] = {
      {"same content", true, false, {}, 0, otKept, false},
      {"moved aside", false, false, {}, 0, otReplaced, false},
      {"retry, then ignore", false, true, {mrRetry, mrIgnore}, 2, otKept, false},
      {"abort", false, true, {mrAbort}, 1, otKept, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TTempDir scratch;
    questions_.clear();
    answers_ = c.answers;
    const std::string target = Dest("ONDU.exe");
    Make("<File name='$DEST\\ONDU.exe'/><File name='$DEST\\Readme.txt'/>",
         {{"ONDU.exe", c.sameContent ? program : "new player"}, {"Readme.txt", "readme"}});
    ASSERT_TRUE(ForceDirectories(dest_));
    if (c.olderBackup) WriteWholeFile(target + ".bak", "older backup");
    TProgramInUse inUse(target, scratch.Path());
    ASSERT_TRUE(inUse.IsRunning());

    std::vector<std::string> errors = Run();
    if (c.aborted) {
      EXPECT_EQ(errors, std::vector<std::string>{target + "\r\nFile " + target + " is in use."});
    } else {
      EXPECT_EQ(errors, std::vector<std::string>{});
      EXPECT_EQ(ReadWholeFile(Dest("Readme.txt")), "readme");
      EXPECT_EQ(ReadRecord()->ReadString("Uninstall", "0"), "ONDU.exe");  // listed even when skipped
    }
    ASSERT_EQ(questions_.size(), c.questions);
    for (const TQuestion& q : questions_) {
      EXPECT_EQ(q.text, "File " + target + " is in use. Retry?");
      EXPECT_EQ(q.caption, "ONDU Setup");
      EXPECT_EQ(q.type, TMsgDlgType::mtWarning);
      EXPECT_EQ(q.buttons, TMsgDlgButtons::mbAbortRetryIgnore);
      EXPECT_EQ(q.defaultResult, mrRetry);
      EXPECT_TRUE(q.onMainThread);
    }
    if (c.outcome == otReplaced) {
      EXPECT_EQ(ReadWholeFile(target), "new player");
      EXPECT_EQ(ReadWholeFile(target + ".bak"), program);
    } else {
      EXPECT_EQ(ReadWholeFile(target), program);
      if (c.olderBackup)
        EXPECT_EQ(ReadWholeFile(target + ".bak"), "older backup");
      else
        EXPECT_FALSE(FileExists(target + ".bak"));
    }
    inUse.Release();
    fixture_.reset();
    TSetupApplicationRepository::Unregister("ONDU");
    RemoveFile(target);
    RemoveFile(target + ".bak");
  }
}

TEST_F(Extract, RetryWritesTheFileOnceItIsFree) {
  TTempDir scratch;
  const std::string target = Dest("ONDU.exe");
  Make("<File name='$DEST\\ONDU.exe'/>", {{"ONDU.exe", "new player"}});
  ASSERT_TRUE(ForceDirectories(dest_));
  WriteWholeFile(target + ".bak", "older backup");
  TProgramInUse inUse(target, scratch.Path());
  answers_ = {mrRetry};
  onQuestion_ = [&] { inUse.Release(); };  // the user closes the program, then answers Retry
  ASSERT_EQ(Run(), std::vector<std::string>{});
  EXPECT_EQ(questions_.size(), 1u);
  EXPECT_EQ(ReadWholeFile(target), "new player");
}
