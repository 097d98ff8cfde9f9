// The ONDU player's own wizard pages: destination and kind, add-ons, integration, removal options.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "KVL/Base/StringList.h"
#include "KVL/UI/Bitmap.h"
#include "KVL/UI/CheckBox.h"
#include "KVL/UI/Edit.h"
#include "KVL/UI/FormattedLabel.h"
#include "KVL/UI/Label.h"
#include "setup/ui/Pages.h"

namespace Setup::Product::ONDU {

using KVL::UI::Controls::FormattedLabel::TKVLFormattedLabel;

// Destination folder and the kind of installation (update, backup, standard or portable).
// The setup object holds the truth; every change goes there and Refresh reads it back.
class TSetupPageSetup : public Setup::UI::Pages::TSetupPage {
public:
  TSetupPageSetup();
  std::string ClassName() const override { return "TSetupPageSetup"; }
  void CreateControls() override;
  bool CanGoNext() override;
  void Prepare() override;
  // Shows the setup object's destination, flags and warnings.
  void Refresh();

  void OnPathChange();
  void OnBrowseClick();
  void OnOptionClick();
  void OnModeClick();

  KVL::UI::TKVLEdit* PathEdit = nullptr;
  KVL::UI::TKVLCheckBox* CB1 = nullptr;  // update
  KVL::UI::TKVLCheckBox* CB4 = nullptr;  // backup
  KVL::UI::TKVLRadioBox* CB3 = nullptr;  // portable
  KVL::UI::TKVLRadioBox* CB2 = nullptr;  // standard
  KVL::UI::TKVLLabel* CB3Hint = nullptr;
  // Owned by the page; Refresh frees and rebuilds them.
  std::vector<KVL::UI::TKVLValidationLabel*> Warnings;
  // Set while the user's typing is applied, so the edit keeps what was typed.
  bool Editing = false;

private:
  void ClearWarnings();
  void AddWarning(const std::string& text);
};

// The optional add-ons offer; its texts and picture come from "addons.ini".
class TSetupPageAddons : public Setup::UI::Pages::TSetupPage {
public:
  TSetupPageAddons();
  std::string ClassName() const override { return "TSetupPageAddons"; }
  void CreateControls() override;
  void LoadTexts() override;
  void Prepare() override;
  void Paint(KVL::UI::IKVLCanvas& canvas) override;
  void Store();

  const KVL::Classes::TKVLStringList& Description() const { return *description_; }
  const KVL::UI::TKVLBitmap& Picture() const { return picture_; }
  // Where Paint draws the picture: its own size scaled, top right, 10 px from the right edge.
  KVL::UI::TKVLRect PictureRect() const;

  KVL::UI::TKVLCheckBox* CB1 = nullptr;  // viewer
  KVL::UI::TKVLCheckBox* CB2 = nullptr;  // extensions
  KVL::UI::TKVLCheckBox* CB3 = nullptr;  // shortcuts
  TKVLFormattedLabel* Label1 = nullptr;
  TKVLFormattedLabel* Label2 = nullptr;

private:
  std::unique_ptr<KVL::Classes::TKVLStringList> description_;
  KVL::UI::TKVLBitmap picture_;
};

// Shortcuts and shell integration; not shown for portable installations and updates.
class TSetupPageIntegration : public Setup::UI::Pages::TSetupPage {
public:
  std::string ClassName() const override { return "TSetupPageIntegration"; }
  bool IsAvailable() override;
  void CreateControls() override;
  void Prepare() override;
  void Store();

  KVL::UI::TKVLCheckBox* CB1 = nullptr;  // desktop shortcut
  KVL::UI::TKVLCheckBox* CB2 = nullptr;  // Start menu shortcut
  KVL::UI::TKVLCheckBox* CB3 = nullptr;  // file associations
  KVL::UI::TKVLCheckBox* CB4 = nullptr;  // Windows integration
  KVL::UI::TKVLCheckBox* CB5 = nullptr;  // context menu
};

// What removal deletes besides the program: backups and every user's data.
class TSetupPageUninstallParams : public Setup::UI::Pages::TSetupPage {
public:
  std::string ClassName() const override { return "TSetupPageUninstallParams"; }
  void CreateControls() override;
  void Prepare() override;
  void Store();

  KVL::UI::TKVLCheckBox* CB1 = nullptr;  // backups
  KVL::UI::TKVLCheckBox* CB2 = nullptr;  // content
};

// The picture named by an entry of the setup package, decoded.
KVL::UI::TKVLBitmap LoadSetupImage(const std::string& name);

} // namespace Setup::Product::ONDU
