// The wizard window: construction order, page flow, buttons, notifications and the close question.
#include "setup/ui/Main.h"

#include <any>

#include "KVL/UI/Application.h"
#include "KVL/UI/Dialogs/MessageDialog.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Resources.h"
#include "setup/core/Setup.h"
#include "setup/core/SetupThread.h"
#include "setup/ui/StandardPages.h"

namespace Setup::UI::Dialogs::Main {

using Setup::Core::Setup;
using namespace Setup::UI::Pages;

namespace {

std::string CommonText(const std::string& key) { return Setup->Resources().GetText("Common", key); }

} // namespace

TWizardForm::TWizardForm(TKVLControl* owner) : TKVLForm(owner) {
  // The form resource, at 96 dots per inch.
  SetName("WizardForm");
  SetClientSize96(640, 480);
  SetDoubleBuffered(true);
  SetBorderStyle(TKVLBorderStyle::bsSingle);
  SetPosition(TKVLPosition::poScreenCenter);
  OnCloseQuery = [this](TKVLForm& sender, bool& canClose) { FormCloseQuery(sender, canClose); };

  lbVerInfo_ = CreateOwned<TKVLLabel>();
  lbVerInfo_->SetName("lbVerInfo");
  lbVerInfo_->SetParent(this);
  lbVerInfo_->SetBounds(12, 447, 257, 25);
  lbVerInfo_->SetTransparent(true);
  lbVerInfo_->SetLayout(TKVLVerticalAlign::vaCenter);

  bNext_ = CreateOwned<TKVLButton>();
  bNext_->SetName("bNext");
  bNext_->SetParent(this);
  bNext_->SetBounds(511, 447, 121, 25);
  bNext_->SetTabStop(true);
  bNext_->SetTabOrder(1);
  bNext_->OnClick = [this](TKVLControl&) { bNextClick(); };
  SetDefaultButton(bNext_);

  bBack_ = CreateOwned<TKVLButton>();
  bBack_->SetName("bBack");
  bBack_->SetParent(this);
  bBack_->SetBounds(384, 447, 121, 25);
  bBack_->SetTabStop(true);
  bBack_->SetTabOrder(0);
  bBack_->OnClick = [this](TKVLControl&) { bBackClick(); };

  // The window learns its monitor's scale now, so that pages are made at it.
  HandleNeeded();

  pages_ = std::make_unique<TSetupPageList>();
  progressViewInfo_ = std::make_unique<TWizardProgressViewInfo>(*this);
  viewInfo_ = std::make_unique<TWizardFormViewInfo>(*this);
  lbVerInfo_->SetFontColor(WizardColors.VersionText);

  // Before any page exists: the progress page, registering when made, hears everything first.
  Setup->AddListener(this);
  listening_ = true;
  try {
    CreatePages();
    LoadTexts();
    UpdateButtons();
    SetActivePage(pages_->First());
  } catch (...) {
    Setup->RemoveListener(this);
    listening_ = false;
    throw;
  }
}

TWizardForm::~TWizardForm() {
  *alive_ = false;
  try {
    Setup->LaunchActions();
  } catch (...) {
    // The installation itself is complete; a program that fails to start ends nothing.
  }
  if (listening_) Setup->RemoveListener(this);
  progressViewInfo_.reset();
  viewInfo_.reset();
  activePage_ = nullptr;
  if (pages_)
    for (int i = 0; i < pages_->Count(); ++i) pages_->Items(i)->SetParent(nullptr);
  pages_.reset();
}

void TWizardForm::CreatePages() {
  if (!Setup->HasFlag(Setup::Core::sfAuto)) {
    Setup->ProductInfo().PopulatePages([this](const std::any& pageClass) {
      // The core hands over anything; only page classes of this unit make pages.
      if (const auto* cls = std::any_cast<TSetupPageClass>(&pageClass)) pages_->Add(*cls);
    });
  }
  if (Setup->Mode() == Setup::Core::smInstall) {
    pages_->Add(PageClass<TSetupPageInstall>());
    pages_->Add(PageClass<TSetupPageFinish>());
  } else {
    pages_->Add(PageClass<TSetupPageUninstall>());
    pages_->Add(PageClass<TSetupPageUninstallFinish>());
  }
  // Parented (hidden) from the start so that every page follows the window's scale.
  for (int i = 0; i < pages_->Count(); ++i) pages_->Items(i)->SetParent(this);
}

void TWizardForm::LoadTexts() {
  SetCaption(CommonText("Caption"));
  bBack_->SetCaption(CommonText(bBack_->Name()));
  bNext_->SetCaption(CommonText(bNext_->Name()));
  KVL::UI::Dialogs::TKVLDialogCaptions& captions = KVL::UI::Dialogs::DialogCaptions();
  captions.Browse = CommonText("lBrowse");
  captions.NewFolder = CommonText("lNewFolder");
  captions.Ok = CommonText("lOk");
  captions.Cancel = CommonText("lCancel");
  lbVerInfo_->SetCaption(Setup->ProductInfo().GetVersionInfo());
}

void TWizardForm::UpdateButtons() {
  bBack_->SetVisible(pages_->CanGoBackFrom(activePage_));
  bNext_->SetEnabled(pages_->CanGoNextFrom(activePage_) || (activePage_ && activePage_ == pages_->Last()));
  TSetupCustomPage* next = pages_->GetNextPage(activePage_);
  std::string key;
  if (!next)
    key = "bFinish";
  else if (dynamic_cast<TSetupPageUninstall*>(next))
    key = "bUninstall";
  else if (dynamic_cast<TSetupPageInstall*>(next))
    key = "bInstall";
  else
    key = bNext_->Name();
  bNext_->SetCaption(CommonText(key));
  // After the run only Finish closes the window.
  if (Setup->State() == Setup::Core::ssFinished) SetCloseEnabled(false);
  progressViewInfo_->Calculate(viewInfo_->GetProgressBounds());
}

void TWizardForm::SetActivePage(TSetupCustomPage* page) {
  if (page == activePage_) return;
  if (activePage_) {
    activePage_->Hide();
    activePage_ = nullptr;
  }
  if (page) {
    activePage_ = page;
    page->SetParent(this);
    page->SetBounds(viewInfo_->GetPageBounds(page->IsFullScreen()));
    page->Prepare();
    page->Show();
  }
  UpdateButtons();
  if (!ActiveControl() && bNext_->CanFocus()) bNext_->SetFocus();
  Invalidate();
}

void TWizardForm::bNextClick() {
  if (pages_->CanGoNextFrom(activePage_))
    SetActivePage(pages_->GetNextPage(activePage_));
  else if (activePage_ && activePage_ == pages_->Last())
    Close();
}

void TWizardForm::bBackClick() {
  if (pages_->CanGoBackFrom(activePage_)) SetActivePage(pages_->GetPrevPage(activePage_));
}

void TWizardForm::StopWorker() {
  if (Setup::Core::TSetupThread* thread = Setup->Thread()) {
    // The wait serves the worker's last notifications, and with them user input.
    stopping_ = true;
    thread->Terminate();
    thread->WaitFor();
    stopping_ = false;
  }
}

void TWizardForm::FormCloseQuery(TKVLForm&, bool& canClose) {
  if (closeConfirmed_ || Setup->State() == Setup::Core::ssFinished) {
    canClose = true;
    return;
  }
  canClose = false;
  // Answered already; the close is on its way.
  if (closePending_ || stopping_) return;
  const int answer = KVL::UI::Dialogs::KVLMessageDlg(this, CommonText("QM"), Caption(),
                                                     KVL::Platform::TMsgDlgType::mtConfirmation,
                                                     KVL::Platform::TMsgDlgButtons::mbOKCancel, KVL::Platform::mrCancel);
  if (answer != KVL::Platform::mrOk) return;
  // The run may have ended while the question was open.
  if (Setup->State() != Setup::Core::ssFinished) cancelled_ = true;
  if (TSetupPageInstall::IsServingNotification()) {
    // The worker is blocked in the notification this question came up in: waiting for it
    // here would never end. Notify posts the close once the notification has returned.
    closePending_ = true;
    return;
  }
  StopWorker();
  canClose = true;
}

void TWizardForm::FinishDeferredClose() {
  closePending_ = false;
  closeConfirmed_ = true;
  StopWorker();
  Close();
}

void TWizardForm::Notify(int32_t code, intptr_t) {
  switch (code) {
    case Setup::Core::snFinished:
      if (Setup->HasFlag(Setup::Core::sfAuto) && !Setup->HasErrors())
        Close();
      else
        bNextClick();
      break;
    case Setup::Core::snUpdateButtons:
      UpdateButtons();
      break;
    case Setup::Core::snInvalidate:
      Invalidate();
      break;
    default:
      break;
  }
  // The form hears every notification last, so the progress page has returned by now.
  if (closePending_) {
    TKVLApplication::Post([this, alive = alive_] {
      if (*alive && closePending_) FinishDeferredClose();
    });
  }
}

void TWizardForm::Paint(IKVLCanvas& canvas) {
  viewInfo_->Draw(canvas);
  progressViewInfo_->Draw(canvas, activePage_);
}

void TWizardForm::DpiChanged() {
  if (!viewInfo_) return;  // during construction nothing is laid out yet
  if (activePage_) activePage_->SetBounds(viewInfo_->GetPageBounds(activePage_->IsFullScreen()));
  progressViewInfo_->Calculate(viewInfo_->GetProgressBounds());
  Invalidate();
}

void TWizardForm::ColorSchemeChanged() {
  UpdateColors();
  TKVLForm::ColorSchemeChanged();
  if (lbVerInfo_) lbVerInfo_->SetFontColor(WizardColors.VersionText);
  Invalidate();
}

} // namespace Setup::UI::Dialogs::Main
