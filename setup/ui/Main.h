// Unit Setup.UI.Dialogs.Main: the wizard window, its page flow and its close question.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "KVL/UI/Button.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/Label.h"
#include "setup/core/SetupTypes.h"
#include "setup/ui/Pages.h"
#include "setup/ui/WizardViewInfo.h"

namespace Setup::UI::Dialogs::Main {

using Pages::TSetupCustomPage;
using Pages::TSetupPageList;

// The one window of an interactive run. It listens to the setup object for the end of the
// run; its pages decide where the user may go, and the progress page starts the worker.
class TWizardForm : public TKVLForm, public Setup::Core::IInstallerNotify {
public:
  // Raises what the resources raise for missing artwork; nothing stays registered then.
  explicit TWizardForm(TKVLControl* owner = nullptr);
  // Launches the chosen programs, unregisters, frees view infos and pages.
  ~TWizardForm() override;
  std::string ClassName() const override { return "TWizardForm"; }

  void CreatePages();
  void LoadTexts();
  void UpdateButtons();
  void SetActivePage(TSetupCustomPage* page);
  void bNextClick();
  void bBackClick();
  void FormCloseQuery(TKVLForm& sender, bool& canClose);
  void Notify(int32_t code, intptr_t param) override;

  void Paint(IKVLCanvas& canvas) override;
  void DpiChanged() override;
  void ColorSchemeChanged() override;

  TKVLButton* bBack() const { return bBack_; }
  TKVLButton* bNext() const { return bNext_; }
  TKVLLabel* lbVerInfo() const { return lbVerInfo_; }
  TSetupCustomPage* ActivePage() const { return activePage_; }
  TSetupPageList& Pages() { return *pages_; }
  TWizardProgressViewInfo& ProgressViewInfo() { return *progressViewInfo_; }
  TWizardFormViewInfo& ViewInfo() { return *viewInfo_; }

  // The user answered the close question with OK before the run had finished: the
  // program ends with the "cancelled" exit code.
  bool Cancelled() const { return cancelled_; }

private:
  // Asks the worker to terminate and waits for it while serving its notifications.
  void StopWorker();
  // Carries out a close that was confirmed inside a notification, once it has returned.
  void FinishDeferredClose();

  TKVLButton* bBack_ = nullptr;      // owned (component)
  TKVLButton* bNext_ = nullptr;      // owned (component)
  TKVLLabel* lbVerInfo_ = nullptr;   // owned (component)
  TSetupCustomPage* activePage_ = nullptr;
  std::unique_ptr<TSetupPageList> pages_;
  std::unique_ptr<TWizardProgressViewInfo> progressViewInfo_;
  std::unique_ptr<TWizardFormViewInfo> viewInfo_;
  bool listening_ = false;
  bool cancelled_ = false;
  bool closePending_ = false;    // confirmed inside a notification, not yet carried out
  bool closeConfirmed_ = false;  // the deferred close needs no second question
  bool stopping_ = false;        // waiting for the worker to end
  // Lets a deferred close posted to the main loop see that the form has gone meanwhile.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace Setup::UI::Dialogs::Main
