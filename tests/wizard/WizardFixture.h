// Test fixture: the wizard on a headless host over the sample's setup package and a product whose pages and actions tests set.
#pragma once

#include <any>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "KVL/Base/Platform/Messaging.h"
#include "KVL/UI/Application.h"
#include "KVL/UI/Button.h"
#include "KVL/UI/Dialogs/MessageDialog.h"
#include "KVL/UI/HeadlessHost.h"
#include "TestUtil.h"
#include "setup/core/Action.h"
#include "setup/core/Errors.h"
#include "setup/core/Resources.h"
#include "setup/core/Setup.h"
#include "setup/core/SetupThread.h"
#include "setup/core/SummaryBuilder.h"
#include "setup/ui/Main.h"
#include "setup/ui/Pages.h"
#include "setup/ui/RichViewer.h"
#include "setup/ui/StandardPages.h"
#include "tests/setup/SetupFixture.h"

namespace WizardTest {

using namespace Setup::Core;
using namespace Setup::UI::Pages;
using Setup::UI::Dialogs::Main::TWizardForm;

// Every file of the sample product's setup package.
inline SetupTest::TFiles SampleSetupFiles() {
  SetupTest::TFiles files;
  const std::filesystem::path dir = std::filesystem::path(ONDU_SOURCE_DIR) / "samples" / "ondu" / "SETUP";
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.is_regular_file())
      files.emplace_back(entry.path().filename().string(), TestUtil::ReadWholeFile(entry.path().string()));
  return files;
}

// The sample's files with one group of Install.xml replaced ("Actions": one entry in the
// sample; "license": the documents per language family).
inline SetupTest::TFiles WithGroup(SetupTest::TFiles files, const std::string& tag, const std::string& group) {
  for (auto& [name, bytes] : files) {
    if (name != "Install.xml") continue;
    const size_t begin = bytes.find("<" + tag + ">");
    const std::string close = "</" + tag + ">";
    const size_t end = bytes.find(close);
    bytes.replace(begin, end + close.size() - begin, group);
  }
  return files;
}

inline SetupTest::TFiles Without(SetupTest::TFiles files, const std::string& name) {
  std::erase_if(files, [&](const auto& f) { return f.first == name; });
  return files;
}

// Stand-ins for the product's pages: a setup page whose Next a test may refuse, an
// integration page skipped for portable installations and updates, an add-ons page, and
// the uninstall options page.
class TSetupPageOptions : public TSetupPage {
public:
  static inline bool AllowNext = true;
  std::string ClassName() const override { return "TSetupPageOptions"; }
  bool CanGoNext() override { return AllowNext; }
  void Prepare() override { ++Prepared; }
  int Prepared = 0;
};

class TSetupPageExtras : public TSetupPage {
public:
  std::string ClassName() const override { return "TSetupPageExtras"; }
};

class TSetupPageShortcuts : public TSetupPage {
public:
  std::string ClassName() const override { return "TSetupPageShortcuts"; }
  bool IsAvailable() override { return !Setup::Core::Setup->HasFlag(sfPortable) && !Setup::Core::Setup->HasFlag(sfUpdate); }
};

class TSetupPageRemoval : public TSetupPage {
public:
  std::string ClassName() const override { return "TSetupPageRemoval"; }
};

// Actions of the tests' runs. The summary action describes itself with a text a test sets;
// the step action reports a status text and progress, or fails; the blocking action
// reports 50 % and then keeps sending status texts until the run is told to stop.
class TSummaryAction : public TSetupAction {
public:
  static inline std::string Line = "first";
  void Execute() override {}
  void BuildSummary(TSetupSummaryBuilder& builder) override {
    builder.BeginGroup("Options");
    builder.AddLine(Line);
  }
};

class TStepAction : public TSetupAction {
public:
  static inline bool Fail = false;
  void Execute() override {
    Status("step one");
    SetProgress(50);
    if (Fail) throw EInstallerInstallError("step failed");
  }
};

class TBlockingAction : public TSetupAction {
public:
  static inline std::atomic<bool> Started{false};
  void Execute() override {
    SetProgress(50);
    Started = true;
    while (!cancelled_) {
      Status("still working");
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  void Cancel() override { cancelled_ = true; }

private:
  std::atomic<bool> cancelled_{false};
};

// The product: pages and actions from static lists (anything that is not a page class is
// offered too, and must be ignored).
class TWizardProduct : public SetupTest::TTestProductInfo {
public:
  static inline std::vector<TSetupPageClass> Pages;
  void PopulatePages(const TSetupPageClassCallback& callback) override {
    callback(std::any(42));
    for (const auto& cls : Pages) callback(std::any(cls));
  }
  std::string GetHomePage() override { return "https://ondu.example/"; }
};

// The interactive installation's pages of the player, with stand-ins for its own.
inline std::vector<TSetupPageClass> InstallPages(bool extras = false) {
  std::vector<TSetupPageClass> pages{PageClass<TSetupPageWelcome>(), PageClass<TSetupPageLicense>(),
                                     PageClass<TSetupPageOptions>()};
  if (extras) pages.push_back(PageClass<TSetupPageExtras>());
  pages.push_back(PageClass<TSetupPageShortcuts>());
  pages.push_back(PageClass<TSetupPageReadyToInstall>());
  return pages;
}

struct TWizardOptions {
  std::string Params;                 // command line ("{dest}": the scratch folder); "" is interactive
  SetupTest::TFiles SetupFiles = SampleSetupFiles();
  SetupTest::TFiles ProductFiles;     // Uninstall.ini here makes an uninstaller
  std::vector<TSetupPageClass> Pages = InstallPages();
  std::vector<const TSetupActionClass*> Actions;
  int32_t InstalledVersion = 0;
  int Dpi = 96;
  bool Dark = false;
};

// One wizard per test on a headless host. The setup object installs into a scratch folder.
class TWizardEnv {
public:
  explicit TWizardEnv(TWizardOptions options) {
    TKVLApplication::SetHostFactory(CreateHeadlessHost);
    TKVLApplication::SetScreenDpi(options.Dpi);
    TKVLApplication::SetDarkMode(options.Dark);
    UpdateColors();
    SetupTest::TTestProductInfo::Reset();
    SetupTest::TTestProductInfo::InstalledVersion = options.InstalledVersion;
    SetupTest::TTestProductInfo::Actions = options.Actions;
    TWizardProduct::Pages = options.Pages;
    TSetupPageOptions::AllowNext = true;
    TSummaryAction::Line = "first";
    TStepAction::Fail = false;
    TBlockingAction::Started = false;
    // "{dest}" in the command line names the scratch destination.
    std::string params = options.Params;
    if (size_t at = params.find("{dest}"); at != std::string::npos) params.replace(at, 6, dir_.File("dest"));
    setup_ = std::make_unique<SetupTest::TSetupFixture>(options.SetupFiles, options.ProductFiles, params,
                                                        [] { return std::make_unique<TWizardProduct>(); });
    Setup().Resources().LoadLanguage("English.lng");
    // Interactive runs start at the program-files folder, the uninstaller gets its folder
    // from the command line: keep every run in the scratch folder.
    if (Setup().DestPath().empty() || (Setup().Mode() == smInstall && !Setup().HasFlag(sfAuto)))
      Setup().SetDestPath(dir_.File("dest"));
  }

  ~TWizardEnv() {
    // Nothing the finish page chose is started by the tests.
    const auto& actions = Setup().Resources().Script().Actions();
    for (int i = 0; i < actions.Count(); ++i) Setup().Settings().WriteBool("Actions", actions.Files(i).Name, false);
    form_.reset();
    SetHeadlessModalHandler(nullptr);
    setup_.reset();
    TKVLApplication::SetScreenDpi(96);
    TKVLApplication::SetDarkMode(false);
    UpdateColors();
  }

  TSetup& Setup() { return setup_->Setup(); }
  const std::string& Dir() const { return dir_.Path(); }

  TWizardForm& Create() {
    form_ = std::make_unique<TWizardForm>();
    form_->Show();
    return *form_;
  }
  TWizardForm& Form() { return *form_; }
  TKVLHeadlessHost& Host() { return *HeadlessHostOf(*form_); }

  std::string Common(const std::string& key) { return Setup().Resources().GetText("Common", key); }
  std::vector<std::string> PageNames() {
    std::vector<std::string> names;
    for (int i = 0; i < form_->Pages().Count(); ++i) names.push_back(form_->Pages().Items(i)->Name());
    return names;
  }
  std::string ActiveName() { return form_->ActivePage() ? form_->ActivePage()->Name() : std::string(); }
  template <class T>
  T* Page() {
    for (int i = 0; i < form_->Pages().Count(); ++i)
      if (auto* page = dynamic_cast<T*>(form_->Pages().Items(i))) return page;
    return nullptr;
  }

  // Serves the main thread (the worker's notifications, posted calls) until cond holds.
  static bool PumpUntil(const std::function<bool()>& cond, int timeoutMs = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!cond()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      KVL::Platform::ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
  bool PumpUntilFinished() {
    return PumpUntil([this] { return Setup().State() == ssFinished; });
  }

  // Answers every message dialog by pressing the button with that caption, and records
  // the dialogs' captions and texts.
  struct TQuestion {
    std::string Caption;
    std::vector<std::string> Texts;
  };
  std::vector<TQuestion> Questions;
  void AnswerDialogs(const std::string& buttonCaption) {
    SetHeadlessModalHandler([this, buttonCaption](TKVLForm& dialog) {
      TQuestion q{dialog.Caption(), {}};
      TKVLButton* button = nullptr;
      Collect(dialog, q.Texts, buttonCaption, button);
      Questions.push_back(q);
      ASSERT_NE(button, nullptr) << "no button " << buttonCaption;
      button->Click();
    });
  }

private:
  static void Collect(TKVLControl& control, std::vector<std::string>& texts, const std::string& caption,
                      TKVLButton*& button) {
    for (int i = 0; i < control.ControlCount(); ++i) {
      TKVLControl* child = control.Controls(i);
      if (!child->Caption().empty()) texts.push_back(child->Caption());
      if (auto* b = dynamic_cast<TKVLButton*>(child); b && b->Caption() == caption) button = b;
      Collect(*child, texts, caption, button);
    }
  }

  TestUtil::TTempDir dir_;
  std::unique_ptr<SetupTest::TSetupFixture> setup_;
  std::unique_ptr<TWizardForm> form_;
};

} // namespace WizardTest
