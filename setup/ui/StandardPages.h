// Unit Setup.UI.Pages: the pages every product shares (welcome, license, ready, progress, finish).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "KVL/UI/Bitmap.h"
#include "KVL/UI/Image.h"
#include "KVL/UI/Memo.h"
#include "KVL/UI/ProgressBar.h"
#include "setup/core/SetupTypes.h"
#include "setup/ui/Pages.h"

namespace Setup::UI::Controls {
class TKVLRichViewer;
}

namespace Setup::UI::Pages {

// A picture of the setup package; raises "Cannot locate "%s" file in setup archive" when
// it is missing.
TKVLBitmap LoadSetupImage(const std::string& name);

// A page over the whole window above the footer, with a side picture and two texts.
class TSetupPageFullScreen : public TSetupPage {
public:
  std::string ClassName() const override { return "TSetupPageFullScreen"; }
  bool IsFullScreen() const override { return true; }
  // The side picture is a child control, stretched over (0, 0)-(188, 435) above the
  // page's background.
  void CreateControls() override;

  TKVLImage* SidePicture() const { return sidePicture_; }
  TKVLLabel* L1() const { return l1_; }
  TKVLLabel* L2() const { return l2_; }

private:
  TKVLImage* sidePicture_ = nullptr;
  TKVLLabel* l1_ = nullptr;
  TKVLLabel* l2_ = nullptr;
};

class TSetupPageWelcome : public TSetupPageFullScreen {
public:
  std::string ClassName() const override { return "TSetupPageWelcome"; }
};

class TSetupPageLicense : public TSetupPage {
public:
  std::string ClassName() const override { return "TSetupPageLicense"; }
  void CreateControls() override;
  bool CanGoBack() override { return false; }
  bool CanGoNext() override;
  void Prepare() override;
  void SetVisible(bool visible) override;

  TKVLCheckBox* AcceptBox() const { return l1_; }
  Controls::TKVLRichViewer* Viewer() const { return viewer_; }

private:
  TKVLCheckBox* l1_ = nullptr;
  Controls::TKVLRichViewer* viewer_ = nullptr;
};

class TSetupPageReadyToInstall : public TSetupPage {
public:
  std::string ClassName() const override { return "TSetupPageReadyToInstall"; }
  void CreateControls() override;
  void Prepare() override;

  Controls::TKVLRichViewer* Viewer() const { return viewer_; }

private:
  Controls::TKVLRichViewer* viewer_ = nullptr;
};

// The progress page: entering it starts the run; it follows the worker's notifications.
class TSetupPageInstall : public TSetupPage, public Setup::Core::IInstallerNotify {
public:
  TSetupPageInstall();
  ~TSetupPageInstall() override;
  std::string ClassName() const override { return "TSetupPageInstall"; }
  void CreateControls() override;
  bool CanGoBack() override { return false; }
  bool CanGoNext() override { return finished_; }
  int GetProgress() override;
  void Prepare() override;
  void Notify(int32_t code, intptr_t param) override;

  bool Finished() const { return finished_; }
  TKVLLabel* StatusLabel() const { return status_; }
  TKVLProgressBar* CurrentBar() const { return current_; }
  TKVLProgressBar* OverallBar() const { return overall_; }

  // True while a progress page serves pending messages inside a notification: a close
  // confirmed then must not wait for the worker, which is blocked in that notification.
  static bool IsServingNotification() { return servingDepth_ > 0; }

private:
  void ServePending();

  TKVLLabel* status_ = nullptr;
  TKVLProgressBar* current_ = nullptr;
  TKVLProgressBar* overall_ = nullptr;
  bool finished_ = false;
  static inline int servingDepth_ = 0;
};

class TSetupPageUninstall : public TSetupPageInstall {
public:
  std::string ClassName() const override { return "TSetupPageUninstall"; }
};

// Base of both finish pages: the run's errors in a memo instead of the closing words.
class TSetupPageCustomFinish : public TSetupPageFullScreen {
public:
  std::string ClassName() const override { return "TSetupPageCustomFinish"; }
  void CreateControls() override;
  bool CanGoBack() override { return false; }
  void Prepare() override;

  TKVLMemo* ErrorMemo() const { return memo_; }

private:
  TKVLMemo* memo_ = nullptr;
};

class TSetupPageFinish : public TSetupPageCustomFinish {
public:
  std::string ClassName() const override { return "TSetupPageFinish"; }
  void CreateControls() override;
  void Prepare() override;

  TKVLLabel* Link() const { return l3_; }
  const std::vector<TKVLCheckBox*>& ActionBoxes() const { return boxes_; }

private:
  // Writes the boxes into Settings "Actions", keyed by the script's entry names.
  void Store();

  TKVLLabel* l3_ = nullptr;
  std::vector<TKVLCheckBox*> boxes_;  // owned as components of the page
};

class TSetupPageUninstallFinish : public TSetupPageCustomFinish {
public:
  std::string ClassName() const override { return "TSetupPageUninstallFinish"; }
};

} // namespace Setup::UI::Pages
