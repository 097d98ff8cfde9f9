// The ONDU player's own wizard pages.
#include "setup/product/ProductPages.h"

#include <span>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"
#include "KVL/UI/Dialogs/ShellFolderBrowser.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Resources.h"
#include "setup/core/Setup.h"
#include "setup/product/ProductInfoONDU.h"
#include "setup/product/TextFormat.h"

namespace Setup::Product::ONDU {

using namespace KVL::UI;
using Setup::Core::sfNoBackup;
using Setup::Core::sfPortable;
using Setup::Core::sfUpdate;
using Setup::Core::TSetup;

namespace {

TSetup& SetupObject() { return *Setup::Core::Setup; }

TKVLRect Bounds(int left, int top, int width, int height) { return TKVLRect::FromBounds(left, top, width, height); }

// The last element of a folder held with a trailing separator ("" for a root such as "/").
std::string LastPathElement(const std::string& folder) {
  size_t end = folder.size();
  while (end > 0 && KVL::Platform::IsPathDelimiter(folder[end - 1])) --end;
  size_t start = end;
  while (start > 0 && !KVL::Platform::IsPathDelimiter(folder[start - 1])) --start;
  return folder.substr(start, end - start);
}

} // namespace

TKVLBitmap LoadSetupImage(const std::string& name) {
  std::unique_ptr<KVL::Streams::TKVLMemoryStream> stream = SetupObject().Resources().OpenStream(name);
  return DecodePNG(std::span<const uint8_t>(stream->Memory(), static_cast<size_t>(stream->Size())));
}

// ---- TSetupPageSetup ----

TSetupPageSetup::TSetupPageSetup() {
  // The warnings dock to the bottom inside the same side gaps as the other controls.
  SetAlignPadding({40, 20, 40, 20});
}

void TSetupPageSetup::CreateControls() {
  CreateHeading(Bounds(40, 30, 540, 20), "LB1");
  PathEdit = CreateControl<TKVLEdit>(Bounds(60, 70, 540, 21), "PathEdit");
  PathEdit->OnChange = [this](TKVLEdit&) { OnPathChange(); };
  PathEdit->AddButton({GetText("Browse"), 100, [this](TKVLEdit&) { OnBrowseClick(); }});
  CB1 = CreateCheckBox(Bounds(60, 100, 540, 17), "CB1", [this] { OnOptionClick(); });
  CB4 = CreateCheckBox(Bounds(60, 120, 540, 17), "CB4", [this] { OnOptionClick(); });
  CreateHeading(Bounds(40, 150, 540, 20), "LB2");
  CB3 = CreateRadioBox(Bounds(60, 190, 540, 16), "CB3", [this] { OnModeClick(); });
  CB3Hint = CreateLabel(Bounds(79, 212, 500, 48), "CB3Hint", true);
  CB3Hint->SetEnabled(false);
  CB2 = CreateRadioBox(Bounds(60, 248, 540, 16), "CB2", [this] { OnModeClick(); });
}

bool TSetupPageSetup::CanGoNext() { return !SetupObject().DestPath().empty(); }

void TSetupPageSetup::Prepare() { Refresh(); }

void TSetupPageSetup::Refresh() {
  TSetup& setup = SetupObject();
  Setup::Core::TSetupProductInfo& info = setup.ProductInfo();
  UpdateWizard();
  if (!Editing) PathEdit->SetText(setup.DestPath());

  const bool update = setup.HasFlag(sfUpdate);
  CB1->SetChecked(update);
  CB1->SetVisible(info.CanUpdate());
  CB4->SetChecked(!setup.HasFlag(sfNoBackup));
  CB4->SetVisible(update);

  // An update keeps the kind of the installation it replaces.
  const bool portable = (update ? info.IsPortable() : setup.HasFlag(sfPortable)) && !setup.IsInProgramFiles();
  if (portable)
    CB3->SetChecked(true);
  else
    CB2->SetChecked(true);
  CB3->SetEnabled(!update);
  CB2->SetEnabled(!update);

  ClearWarnings();
  if (update) AddWarning(GetText("W1"));
  if (!update) {
    std::string folder;
    if (info.GetInstalledVersion() > 0 || (!setup.HasFlag(sfPortable) && TProductInfoONDU::FindInstallation(folder)))
      AddWarning(GetText("W3"));
  }
}

void TSetupPageSetup::ClearWarnings() {
  for (TKVLValidationLabel* warning : Warnings) DestroyComponent(warning);
  Warnings.clear();
}

void TSetupPageSetup::AddWarning(const std::string& text) {
  auto* warning = CreateOwned<TKVLValidationLabel>();
  warning->SetParent(this);
  TKVLFont font = warning->Font();
  font.Bold = true;
  warning->SetFont(font);
  warning->SetAutoSize(true);
  warning->SetCaption(text);
  warning->SetAlign(TKVLAlign::alBottom);
  Warnings.push_back(warning);
}

void TSetupPageSetup::OnPathChange() {
  struct TEditingScope {
    bool& flag;
    explicit TEditingScope(bool& f) : flag(f) { flag = true; }
    ~TEditingScope() { flag = false; }
  } scope(Editing);
  TSetup& setup = SetupObject();
  // Compared exactly: the stored form carries a trailing separator the user may not type.
  const std::string text = PathEdit->Text();
  if (text != setup.DestPath()) {
    setup.SetDestPath(text);
    Refresh();
  }
}

void TSetupPageSetup::OnBrowseClick() {
  TSetup& setup = SetupObject();
  KVL::UI::Dialogs::TKVLShellFolderBrowser browser;
  browser.Title = setup.Resources().GetText("Common", "lBrowse");
  browser.Folder = setup.DestPath();
  if (!browser.Execute(FindForm())) return;

  std::string folder = browser.Folder;
  if (folder.empty() || !KVL::Platform::IsPathDelimiter(folder.back())) folder += KVL::Platform::kPathDelim;
  const std::string name = setup.ProductInfo().GetName();
  std::string candidate = folder;
  if (!KVL::SysUtils::SameText(LastPathElement(folder), name)) {
    candidate += name;
    candidate += KVL::Platform::kPathDelim;
  }
  if (candidate != setup.DestPath()) {
    setup.SetDestPath(candidate);
    Refresh();
  }
}

void TSetupPageSetup::OnOptionClick() {
  TSetup& setup = SetupObject();
  setup.SetFlag(sfNoBackup, !CB4->Checked());
  setup.SetFlag(sfUpdate, CB1->Checked());
  Refresh();
}

void TSetupPageSetup::OnModeClick() {
  TSetup& setup = SetupObject();
  Setup::Core::TSetupProductInfo& info = setup.ProductInfo();
  if (CB3->Checked()) {
    // A portable copy cannot live in a program-files folder.
    if (setup.IsInProgramFiles()) setup.SetDestPath(info.GetDefaultPortablePath());
  } else if (CB2->Checked()) {
    // Only the untouched portable default goes back; a folder the user chose stays.
    if (KVL::SysUtils::SameText(setup.DestPath(), info.GetDefaultPortablePath())) setup.SetDestPath(info.GetDefaultPath());
  }
  setup.SetFlag(sfPortable, CB3->Checked());
  Refresh();
}

// ---- TSetupPageAddons ----

TSetupPageAddons::TSetupPageAddons() {
  // Both before the controls exist: a missing description or picture stops the wizard early.
  description_ = SetupObject().Resources().LoadStringList("addons.ini");
  picture_ = LoadSetupImage(description_->Value("I0"));
}

void TSetupPageAddons::CreateControls() {
  TKVLLabel* heading = CreateHeading(Bounds(40, 30, 300, 40), "L0");
  heading->SetWordWrap(true);
  CB1 = CreateCheckBox(Bounds(60, 100, 500, 17), "CB1", [this] { Store(); });
  CB2 = CreateCheckBox(Bounds(60, 120, 500, 17), "CB2", [this] { Store(); });
  CB3 = CreateCheckBox(Bounds(60, 140, 500, 17), "CB3", [this] { Store(); });
  Label1 = CreateControl<TKVLFormattedLabel>(Bounds(40, 280, 500, 20), "");
  Label2 = CreateControl<TKVLFormattedLabel>(Bounds(40, 310, 550, 50), "");
  for (TKVLFormattedLabel* label : {Label1, Label2}) {
    label->SetBorder(false);
    label->SetTransparent(true);
  }
}

void TSetupPageAddons::LoadTexts() {
  TSetupPage::LoadTexts();
  Label1->SetCaption(FormatText(GetText("L1"), {description_->Value("L0")}));
  Label2->SetCaption(FormatText(GetText("L2"), {description_->Value("L1"), description_->Value("L2")}));
}

TKVLRect TSetupPageAddons::PictureRect() const {
  const int dpi = Dpi();
  const int right = Width() - ScaleValue(10, dpi);
  return {right - ScaleValue(picture_.Width(), dpi), 0, right, ScaleValue(picture_.Height(), dpi)};
}

void TSetupPageAddons::Paint(IKVLCanvas& canvas) {
  TSetupPage::Paint(canvas);
  if (!picture_.IsEmpty()) canvas.DrawPicture(picture_, PictureRect());
}

void TSetupPageAddons::Prepare() {
  const auto& settings = SetupObject().Settings();
  CB1->SetChecked(settings.ReadBool("Common", "AddonsViewer", true));
  CB3->SetChecked(settings.ReadBool("Common", "AddonsShortcuts", true));
  CB2->SetChecked(settings.ReadBool("Common", "AddonsExtensions", true));
  // The add-ons action reads the keys whether or not the user touched a box.
  Store();
}

void TSetupPageAddons::Store() {
  auto& settings = SetupObject().Settings();
  settings.WriteBool("Common", "AddonsViewer", CB1->Checked());
  settings.WriteBool("Common", "AddonsExtensions", CB2->Checked());
  settings.WriteBool("Common", "AddonsShortcuts", CB3->Checked());
}

// ---- TSetupPageIntegration ----

bool TSetupPageIntegration::IsAvailable() {
  const TSetup& setup = SetupObject();
  return !setup.HasFlag(sfPortable) && !setup.HasFlag(sfUpdate);
}

void TSetupPageIntegration::CreateControls() {
  auto store = [this] { Store(); };
  CreateHeading(Bounds(40, 30, 540, 20), "LB1");
  CB1 = CreateCheckBox(Bounds(60, 70, 540, 16), "CB1", store);
  CB2 = CreateCheckBox(Bounds(60, 90, 540, 16), "CB2", store);
  CreateHeading(Bounds(40, 120, 540, 20), "LB2");
  CB4 = CreateCheckBox(Bounds(60, 160, 540, 16), "CB4", store);
  CreateLabel(Bounds(79, 180, 540, 48), "CB4Hint", true)->SetEnabled(false);
  CB3 = CreateCheckBox(Bounds(60, 230, 540, 16), "CB3", store);
  CB5 = CreateCheckBox(Bounds(60, 250, 540, 16), "CB5", store);
}

void TSetupPageIntegration::Prepare() {
  TSetup& setup = SetupObject();
  const auto& settings = setup.Settings();
  const bool def = !setup.HasFlag(sfPortable);
  CB1->SetChecked(settings.ReadBool("Integration", "ShortcutDesktop", def));
  CB2->SetChecked(settings.ReadBool("Integration", "ShortcutStartMenu", def));
  CB3->SetChecked(settings.ReadBool("Integration", "AssociateWithFiles", def));
  CB4->SetChecked(settings.ReadBool("Integration", "IntegrateToWindows", def));
  CB5->SetChecked(settings.ReadBool("Integration", "RegisterContextMenu", def));
}

void TSetupPageIntegration::Store() {
  auto& settings = SetupObject().Settings();
  settings.WriteBool("Integration", "ShortcutDesktop", CB1->Checked());
  settings.WriteBool("Integration", "ShortcutStartMenu", CB2->Checked());
  settings.WriteBool("Integration", "AssociateWithFiles", CB3->Checked());
  settings.WriteBool("Integration", "IntegrateToWindows", CB4->Checked());
  settings.WriteBool("Integration", "RegisterContextMenu", CB5->Checked());
}

// ---- TSetupPageUninstallParams ----

void TSetupPageUninstallParams::CreateControls() {
  CB1 = CreateCheckBox(Bounds(44, 40, 480, 17), "CB1", [this] { Store(); });
  CB2 = CreateCheckBox(Bounds(44, 65, 480, 17), "CB2", [this] { Store(); });
}

void TSetupPageUninstallParams::Prepare() {
  const auto& settings = SetupObject().Settings();
  CB1->SetChecked(settings.ReadBool("Common", "RemoveBackups", false));
  CB2->SetChecked(settings.ReadBool("Common", "RemoveContent", false));
}

void TSetupPageUninstallParams::Store() {
  auto& settings = SetupObject().Settings();
  settings.WriteBool("Common", "RemoveBackups", CB1->Checked());
  settings.WriteBool("Common", "RemoveContent", CB2->Checked());
}

} // namespace Setup::Product::ONDU
