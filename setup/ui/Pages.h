// Unit Setup.UI.Pages: the page base, the page list and the pages every product shares.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "KVL/UI/CheckBox.h"
#include "KVL/UI/Control.h"
#include "KVL/UI/Label.h"
#include "setup/core/SetupTypes.h"

namespace Setup::UI::Pages {

using namespace KVL::UI;

// The wizard's colour table: one for the program, filled by UpdateColors from the
// toolkit's dark-mode flag.
struct TWizardColors {
  TKVLColor Accent;
  TKVLColor PageBackground;
  TKVLColor StripBackground;
  TKVLColor HeaderText;
  TKVLColor VersionText;
};
extern TWizardColors WizardColors;
void UpdateColors();

// Base of every page: hidden, without owner, named after its class without "TSetup".
class TSetupCustomPage : public TKVLControl {
public:
  TSetupCustomPage();
  ~TSetupCustomPage() override;
  virtual int GetProgress() { return 0; }
  virtual bool CanGoBack() { return true; }
  virtual bool CanGoNext() { return true; }
  virtual bool IsAvailable() { return true; }
  virtual void Prepare() {}
  // Whether the page covers header and strip (the full-window pages).
  virtual bool IsFullScreen() const { return false; }
  // Sends snUpdateButtons through the setup object.
  void UpdateWizard();
  // Called once after construction: names the page after ClassName() without "TSetup"
  // (every page class overrides ClassName); TSetupPage builds and translates its controls.
  virtual void AfterConstruction();
};

// A class reference: makes a page of that class.
using TSetupPageClass = std::function<std::unique_ptr<TSetupCustomPage>()>;
template <class T>
TSetupPageClass PageClass() {
  return [] {
    auto page = std::make_unique<T>();
    page->AfterConstruction();
    return std::unique_ptr<TSetupCustomPage>(std::move(page));
  };
}

class TSetupPageList {
public:
  TSetupCustomPage* Add(const TSetupPageClass& pageClass);
  int Count() const { return static_cast<int>(pages_.size()); }
  TSetupCustomPage* Items(int index) const { return pages_[index].get(); }
  int IndexOf(const TSetupCustomPage* page) const;
  TSetupCustomPage* First() const;
  TSetupCustomPage* Last() const;
  TSetupCustomPage* GetNextPage(TSetupCustomPage* page) const;
  TSetupCustomPage* GetPrevPage(TSetupCustomPage* page) const;
  bool CanGoNextFrom(TSetupCustomPage* page) const;
  bool CanGoBackFrom(TSetupCustomPage* page) const;

private:
  std::vector<std::unique_ptr<TSetupCustomPage>> pages_;
};

// Pages with controls made at 96-dpi bounds and texts from the page's language section.
class TSetupPage : public TSetupCustomPage {
public:
  TSetupPage();
  void AfterConstruction() override;
  std::string Title;
  std::string Description;

  // The text <page name>/key.
  std::string GetText(const std::string& key) const;

  // Made once, after construction, by AfterConstruction: CreateControls then LoadTexts.
  virtual void CreateControls() {}
  virtual void LoadTexts();
  void Paint(IKVLCanvas& canvas) override;

  // Owned by and parented to the page, at bounds scaled from 96 dpi, named.
  template <class T>
  T* CreateControl(const TKVLRect& bounds96, const std::string& name) {
    T* control = CreateOwned<T>();
    PlaceControl(control, bounds96, name);
    return control;
  }
  TKVLLabel* CreateLabel(const TKVLRect& bounds96, const std::string& name, bool wrap);
  TKVLLabel* CreateHeading(const TKVLRect& bounds96, const std::string& name);
  TKVLCheckBox* CreateCheckBox(const TKVLRect& bounds96, const std::string& name,
                               std::function<void()> onClick);
  TKVLRadioBox* CreateRadioBox(const TKVLRect& bounds96, const std::string& name,
                               std::function<void()> onClick);

private:
  void PlaceControl(TKVLControl* control, const TKVLRect& bounds96, const std::string& name);
};

} // namespace Setup::UI::Pages
