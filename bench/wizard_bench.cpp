// Wizard paint timings on the headless host at 96 dpi: the first paint of a new wizard and
// the repaint after a page change, over the sample product's setup package.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "BenchPlatform.h"
#include "KVL/Base/Streams.h"
#include "KVL/UI/Application.h"
#include "KVL/UI/HeadlessHost.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Resources.h"
#include "setup/core/Setup.h"
#include "setup/core/package/Package.h"
#include "setup/core/package/PackageBuilder.h"
#include "setup/ui/Main.h"
#include "setup/ui/Pages.h"
#include "setup/ui/StandardPages.h"

using namespace Setup::Core;
using namespace Setup::UI::Pages;
using Setup::UI::Dialogs::Main::TWizardForm;

namespace {

// The shared pages only: the product's own pages would read the machine's installations.
class TBenchProduct : public TSetupProductInfo {
public:
  bool CanUpdate() override { return false; }
  bool IsPortable() override { return false; }
  int32_t GetInstalledVersion() override { return 0; }
  void LoadInstallation() override {}
  void PopulateActions(const TSetupActionClassCallback&) override {}
  void PopulatePages(const TSetupPageClassCallback& callback) override {
    callback(std::any(PageClass<TSetupPageWelcome>()));
    callback(std::any(PageClass<TSetupPageLicense>()));
    callback(std::any(PageClass<TSetupPageReadyToInstall>()));
  }
};

std::unique_ptr<Package::TSetupPackageReader> PackFolder(const std::string& folder) {
  Package::TSetupPackageBuilder builder(Package::kSetupPackageKey);
  if (!folder.empty()) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream bytes;
      bytes << in.rdbuf();
      const std::string data = bytes.str();
      KVL::Streams::TKVLReadOnlyMemoryStream stream(data.data(), data.size());
      builder.Add(stream, entry.path().filename().string());
    }
  }
  // The reader takes what it needs from the stream while it is made.
  KVL::Streams::TKVLMemoryStream packed;
  builder.Commit(packed, 1);
  packed.Seek(0, KVL::Streams::TSeekOrigin::soBeginning);
  return std::make_unique<Package::TSetupPackageReader>(packed);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Time(const std::function<void()>& fn) {
  const double start = ProcessCpuSeconds();
  fn();
  return (ProcessCpuSeconds() - start) * 1000.0;
}

} // namespace

int main(int argc, char** argv) {
  const std::string setupFolder = argc > 1 ? argv[1] : std::string(ONDU_SOURCE_DIR) + "/samples/ondu/SETUP";
  KVL::UI::TKVLApplication::SetHostFactory(KVL::UI::CreateHeadlessHost);
  KVL::UI::TKVLApplication::SetScreenDpi(96);
  UpdateColors();
  SetupProductInfoClass = [] { return std::make_unique<TBenchProduct>(); };
  TSetup setup("", std::make_unique<TSetupResources>(PackFolder(setupFolder), PackFolder("")));
  setup.Resources().LoadLanguage("English.lng");

  constexpr int kWizards = 20;
  constexpr int kChanges = 300;
  std::vector<double> first, change;
  for (int i = 0; i < kWizards; ++i) {
    std::unique_ptr<TWizardForm> form;
    first.push_back(Time([&] {
      form = std::make_unique<TWizardForm>();
      form->Show();
      KVL::UI::HeadlessHostOf(*form)->Render();
    }));
  }
  TWizardForm form;
  form.Show();
  // Welcome (full window), license (rich text), ready (summary), and back.
  std::vector<TSetupCustomPage*> cycle;
  for (int i = 0; i < 3; ++i) cycle.push_back(form.Pages().Items(i));
  for (int i = 0; i < kChanges; ++i) {
    TSetupCustomPage* page = cycle[static_cast<size_t>(i) % cycle.size()];
    change.push_back(Time([&] {
      form.SetActivePage(page);
      KVL::UI::HeadlessHostOf(form)->Render();
    }));
  }
  std::printf("first paint (construction + render), median of %d: %.2f ms CPU\n", kWizards, Median(first));
  std::printf("page change + repaint, median of %d: %.2f ms CPU\n", kChanges, Median(change));
  return 0;
}
