// The page base, the page list and the translated page with its control factories.
#include "setup/ui/Pages.h"

#include "setup/core/Resources.h"
#include "setup/core/Setup.h"

namespace Setup::UI::Pages {

using Setup::Core::Setup;

// ---- TSetupCustomPage ----

TSetupCustomPage::TSetupCustomPage() { SetVisible(false); }

TSetupCustomPage::~TSetupCustomPage() = default;

void TSetupCustomPage::AfterConstruction() {
  // The class name is only known once construction is complete: "TSetupPageWelcome" is
  // named "PageWelcome", which is also its language section.
  const std::string cls = ClassName();
  SetName(cls.size() > 6 ? cls.substr(6) : std::string());
}

void TSetupCustomPage::UpdateWizard() {
  if (Setup) Setup->SendNotify(Setup::Core::snUpdateButtons, 0);
}

// ---- TSetupPageList ----

TSetupCustomPage* TSetupPageList::Add(const TSetupPageClass& pageClass) {
  pages_.push_back(pageClass());
  return pages_.back().get();
}

int TSetupPageList::IndexOf(const TSetupCustomPage* page) const {
  for (size_t i = 0; i < pages_.size(); ++i)
    if (pages_[i].get() == page) return static_cast<int>(i);
  return -1;
}

TSetupCustomPage* TSetupPageList::First() const { return pages_.empty() ? nullptr : pages_.front().get(); }

TSetupCustomPage* TSetupPageList::Last() const { return pages_.empty() ? nullptr : pages_.back().get(); }

TSetupCustomPage* TSetupPageList::GetNextPage(TSetupCustomPage* page) const {
  const int index = IndexOf(page);
  if (index < 0) return nullptr;
  for (int i = index + 1; i < Count(); ++i)
    if (pages_[i]->IsAvailable()) return pages_[i].get();
  return nullptr;
}

TSetupCustomPage* TSetupPageList::GetPrevPage(TSetupCustomPage* page) const {
  const int index = IndexOf(page);
  for (int i = index - 1; i >= 0; --i)
    if (pages_[i]->IsAvailable()) return pages_[i].get();
  return nullptr;
}

bool TSetupPageList::CanGoNextFrom(TSetupCustomPage* page) const {
  return page && page->CanGoNext() && GetNextPage(page);
}

bool TSetupPageList::CanGoBackFrom(TSetupCustomPage* page) const {
  return page && page->CanGoBack() && GetPrevPage(page);
}

// ---- TSetupPage ----

TSetupPage::TSetupPage() = default;

void TSetupPage::AfterConstruction() {
  TSetupCustomPage::AfterConstruction();
  CreateControls();
  LoadTexts();
}

std::string TSetupPage::GetText(const std::string& key) const {
  return Setup ? Setup->Resources().GetText(Name(), key) : std::string();
}

namespace {

// Every named component with a caption, at any depth of ownership, takes its text.
void TranslateComponents(TKVLControl& owner, const TSetupPage& page) {
  for (int i = 0; i < owner.ComponentCount(); ++i) {
    TKVLControl* component = owner.Components(i);
    if (component->HasCaption() && !component->Name().empty()) component->SetCaption(page.GetText(component->Name()));
    TranslateComponents(*component, page);
  }
}

} // namespace

void TSetupPage::LoadTexts() {
  Title = GetText("Title");
  Description = GetText("Description");
  TranslateComponents(*this, *this);
}

void TSetupPage::Paint(IKVLCanvas& canvas) {
  // Both ends of the gradient are the page colour: a plain fill that themes may vary.
  canvas.FillGradientV(ClientRect(), WizardColors.PageBackground, WizardColors.PageBackground);
}

void TSetupPage::PlaceControl(TKVLControl* control, const TKVLRect& bounds96, const std::string& name) {
  control->SetParent(this);
  control->SetBounds(ScaleRect(bounds96, Dpi()));
  control->SetName(name);
}

TKVLLabel* TSetupPage::CreateLabel(const TKVLRect& bounds96, const std::string& name, bool wrap) {
  auto* label = CreateControl<TKVLLabel>(bounds96, name);
  label->SetTransparent(true);
  if (wrap) {
    label->SetWordWrap(true);
    label->SetLayout(TKVLVerticalAlign::vaTop);
  }
  return label;
}

TKVLLabel* TSetupPage::CreateHeading(const TKVLRect& bounds96, const std::string& name) {
  auto* label = CreateLabel(bounds96, name, false);
  TKVLFont font = label->Font();
  font.Name = "Segoe UI";
  font.SizePt = 11;
  label->SetFont(font);
  return label;
}

TKVLCheckBox* TSetupPage::CreateCheckBox(const TKVLRect& bounds96, const std::string& name,
                                         std::function<void()> onClick) {
  auto* box = CreateControl<TKVLCheckBox>(bounds96, name);
  if (onClick) box->OnClick = [handler = std::move(onClick)](TKVLControl&) { handler(); };
  return box;
}

TKVLRadioBox* TSetupPage::CreateRadioBox(const TKVLRect& bounds96, const std::string& name,
                                         std::function<void()> onClick) {
  auto* box = CreateControl<TKVLRadioBox>(bounds96, name);
  if (onClick) box->OnClick = [handler = std::move(onClick)](TKVLControl&) { handler(); };
  return box;
}

} // namespace Setup::UI::Pages
