// The shared pages: full-window pages, license, summary, progress and finish.
#include "setup/ui/StandardPages.h"

#include <cmath>
#include <span>

#include "KVL/Base/Platform/Messaging.h"
#include "KVL/UI/Application.h"
#include "setup/core/Action.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Resources.h"
#include "setup/core/Setup.h"
#include "setup/core/SummaryBuilder.h"
#include "setup/ui/RichViewer.h"

namespace Setup::UI::Pages {

using Setup::Core::Setup;
using Setup::UI::Controls::TKVLRichViewer;

namespace {

void SetFontSize(TKVLControl& control, double points) {
  TKVLFont font = control.Font();
  font.SizePt = points;
  control.SetFont(font);
}

} // namespace

TKVLBitmap LoadSetupImage(const std::string& name) {
  auto stream = Setup->Resources().OpenStream(name);
  return DecodePNG(std::span<const uint8_t>(stream->Memory(), static_cast<size_t>(stream->Size())));
}

// ---- TSetupPageFullScreen ----

void TSetupPageFullScreen::CreateControls() {
  // Chosen once: a later change of the app mode recolours the window but keeps the picture.
  std::string name = "wizard_";
  name += TKVLApplication::IsDarkMode() ? "dark" : "light";
  name += ".png";
  sidePicture_ = CreateControl<TKVLImage>(TKVLRect::FromBounds(0, 0, 188, 435), "");
  sidePicture_->SetStretch(true);
  sidePicture_->SetTransparent(true);
  sidePicture_->SetPicture(LoadSetupImage(name));
  l2_ = CreateLabel(TKVLRect::FromBounds(210, 61, 400, 240), "L2", true);
  l1_ = CreateLabel(TKVLRect::FromBounds(210, 22, 400, 50), "L1", true);
  SetFontSize(*l1_, 11);
}

// ---- TSetupPageLicense ----

void TSetupPageLicense::CreateControls() {
  viewer_ = CreateControl<TKVLRichViewer>(TKVLRect(), "");
  viewer_->SetMargins({28, 22, 28, 4});
  viewer_->SetScrollBars(TKVLScrollBars::ssVertical);
  viewer_->SetAlign(TKVLAlign::alClient);
  l1_ = CreateCheckBox(TKVLRect::FromBounds(0, 0, 0, 16), "L1", [this] { UpdateWizard(); });
  l1_->SetMargins({28, 4, 28, 22});
  l1_->SetAlign(TKVLAlign::alBottom);
}

bool TSetupPageLicense::CanGoNext() { return l1_->Checked(); }

void TSetupPageLicense::Prepare() {
  // Loading replaces what an earlier entry showed.
  auto stream = Setup->Resources().GetLicenseStream();
  if (stream) viewer_->LoadFromStream(stream.get());
}

void TSetupPageLicense::SetVisible(bool visible) {
  TSetupPage::SetVisible(visible);
  if (visible && l1_ && !l1_->Checked() && viewer_->IsShowing()) viewer_->SetFocus();
}

// ---- TSetupPageReadyToInstall ----

void TSetupPageReadyToInstall::CreateControls() {
  viewer_ = CreateControl<TKVLRichViewer>(TKVLRect(), "");
  viewer_->SetMargins({28, 22, 28, 22});
  viewer_->SetScrollBars(TKVLScrollBars::ssVertical);
  viewer_->SetAlign(TKVLAlign::alClient);
  viewer_->SetEnabled(false);
}

void TSetupPageReadyToInstall::Prepare() {
  // Rebuilt on every entry so that it follows the choices of the earlier pages.
  Setup::Core::TSetupSummaryBuilder builder(
      [](std::string_view section, std::string_view key) { return Setup->Resources().GetText(section, key); });
  Setup->ProductInfo().PopulateActions([&builder](const Setup::Core::TSetupActionClass& cls) {
    std::unique_ptr<Setup::Core::TSetupAction> action = cls.Create();
    action->BuildSummary(builder);
  });
  viewer_->SetText(builder.ToString());
}

// ---- TSetupPageInstall ----

TSetupPageInstall::TSetupPageInstall() { Setup->AddListener(this); }

TSetupPageInstall::~TSetupPageInstall() {
  if (Setup) Setup->RemoveListener(this);
}

void TSetupPageInstall::CreateControls() {
  current_ = CreateControl<TKVLProgressBar>(TKVLRect::FromBounds(30, 40, 580, 18), "");
  overall_ = CreateControl<TKVLProgressBar>(TKVLRect::FromBounds(30, 65, 580, 18), "");
  status_ = CreateLabel(TKVLRect::FromBounds(30, 16, 580, 18), "", false);
  SetFontSize(*status_, 8);
  status_->SetCaption(GetText("L1"));
}

int TSetupPageInstall::GetProgress() { return static_cast<int>(std::trunc(overall_->Position())); }

void TSetupPageInstall::Prepare() { Setup->Run(false); }

void TSetupPageInstall::ServePending() {
  struct TDepth {
    TDepth() { ++servingDepth_; }
    ~TDepth() { --servingDepth_; }
  } depth;
  KVL::Platform::ProcessMessages();
}

void TSetupPageInstall::Notify(int32_t code, intptr_t param) {
  switch (code) {
    case Setup::Core::snFinished:
      finished_ = true;
      break;
    case Setup::Core::snProgress: {
      const double current = static_cast<double>(param & 0xFFFF);
      const double overall = static_cast<double>((param >> 16) & 0xFFFF);
      if (current_->Position() == current && overall_->Position() == overall) return;
      current_->SetPosition(current);
      overall_->SetPosition(overall);
      ServePending();
      break;
    }
    case Setup::Core::snStatusText:
      status_->SetCaption(*reinterpret_cast<const std::string*>(param));
      ServePending();
      break;
    default:
      break;
  }
}

// ---- TSetupPageCustomFinish ----

void TSetupPageCustomFinish::CreateControls() {
  TSetupPageFullScreen::CreateControls();
  memo_ = CreateControl<TKVLMemo>(TKVLRect(), "");
  memo_->SetMargins({210, 120, 20, 4});
  memo_->SetScrollBars(TKVLScrollBars::ssVertical);
  memo_->SetReadOnly(true);
  memo_->SetAlign(TKVLAlign::alClient);
}

void TSetupPageCustomFinish::Prepare() {
  const bool errors = Setup->HasErrors();
  memo_->SetVisible(errors);
  if (!errors) return;
  L1()->SetFontColor(TKVLColor(0xFF0000));
  L1()->SetCaption(GetText("E1"));
  std::string text;
  const auto& list = Setup->Errors();
  for (int i = 0; i < list.Count(); ++i) {
    text += list.Strings(i);
    text += "\r\n";
  }
  memo_->SetText(text);
  L2()->SetCaption(GetText("E2"));
}

// ---- TSetupPageFinish ----

void TSetupPageFinish::CreateControls() {
  TSetupPageCustomFinish::CreateControls();
  l3_ = CreateLabel(TKVLRect(), "L3", false);
  l3_->SetMargins({210, 0, 20, 4});
  l3_->SetAlign(TKVLAlign::alBottom);
  l3_->SetAlignment(TKVLTextAlign::taCenter);
  l3_->SetAutoSize(true);
  SetFontSize(*l3_, 8);
  l3_->SetFontColor(TKVLColor(0x0066CC));
  l3_->SetUrl(Setup->ProductInfo().GetHomePage());
  const auto& actions = Setup->Resources().Script().Actions();
  for (int i = 0; i < actions.Count(); ++i) {
    std::string name = "CB";
    name += std::to_string(i + 1);
    TKVLCheckBox* box = CreateCheckBox(TKVLRect::FromBounds(210, 120 + 24 * i, 320, 17), name, [this] { Store(); });
    box->SetChecked(true);
    boxes_.push_back(box);
  }
}

void TSetupPageFinish::Prepare() {
  TSetupPageCustomFinish::Prepare();
  const auto& actions = Setup->Resources().Script().Actions();
  for (int i = 0; i < actions.Count() && i < static_cast<int>(boxes_.size()); ++i) {
    boxes_[i]->SetCaption(GetText(actions.Files(i).GetSourceName()));
    boxes_[i]->SetVisible(!ErrorMemo()->Visible());
  }
  Store();
}

void TSetupPageFinish::Store() {
  const auto& actions = Setup->Resources().Script().Actions();
  for (int i = 0; i < actions.Count() && i < static_cast<int>(boxes_.size()); ++i)
    Setup->Settings().WriteBool("Actions", actions.Files(i).Name, boxes_[i]->Checked());
}

} // namespace Setup::UI::Pages
