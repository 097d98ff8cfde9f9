// The folder dialog: a path edit over a list of the current folder's subfolders, New Folder, OK, Cancel.
#include "KVL/UI/Dialogs/ShellFolderBrowser.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "KVL/Base/Platform/Directory.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"
#include "KVL/UI/Button.h"
#include "KVL/UI/Dialogs/FolderRoots.h"
#include "KVL/UI/Dialogs/MessageDialog.h"
#include "KVL/UI/Edit.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/ListBox.h"

namespace KVL::UI::Dialogs {

namespace {

using KVL::Platform::IsPathDelimiter;
using KVL::Platform::kPathDelim;

const char kUp[] = "..";

bool IsRootPath(const std::string& path) {
  if (path.size() == 1) return IsPathDelimiter(path[0]);
  return path.size() == 3 && path[1] == ':' && IsPathDelimiter(path[2]);
}

std::string WithDelim(std::string path) {
  if (!path.empty() && !IsPathDelimiter(path.back())) path += kPathDelim;
  return path;
}

// Without trailing separators, except for a root.
std::string WithoutDelim(std::string path) {
  while (path.size() > 1 && IsPathDelimiter(path.back()) && !IsRootPath(path)) path.pop_back();
  return path;
}

// The folder above (with a trailing separator); "" above a root, which is the list of roots.
std::string ParentOf(const std::string& folder) {
  if (folder.empty() || IsRootPath(folder)) return {};
  const std::string trimmed = WithoutDelim(folder);
  size_t at = trimmed.size();
  while (at > 0 && !IsPathDelimiter(trimmed[at - 1])) --at;
  return trimmed.substr(0, at);
}

// The last element of a folder path ("" for a root).
std::string NameOf(const std::string& folder) {
  const std::string trimmed = WithoutDelim(folder);
  size_t at = trimmed.size();
  while (at > 0 && !IsPathDelimiter(trimmed[at - 1])) --at;
  return trimmed.substr(at);
}

std::string WithoutAccelerator(const std::string& caption) {
  std::string out;
  for (char c : caption)
    if (c != '&') out += c;
  return out;
}

class TFolderBrowserForm : public TKVLForm {
public:
  // owner (may be null) is the window the dialog belongs to; it does not free the dialog.
  TFolderBrowserForm(TKVLForm* owner, const std::string& title, const std::string& folder)
      : TKVLForm(owner), roots_(FolderRoots()) {
    SetCaption(title);
    SetName("FolderBrowser");
    SetBorderStyle(TKVLBorderStyle::bsDialog);
    SetPosition(TKVLPosition::poScreenCenter);
    SetClientSize96(380, 360);
    const TKVLDialogCaptions& captions = DialogCaptions();

    edit_ = Place<TKVLEdit>({8, 8, 372, 31}, "PathEdit", 0);
    list_ = Place<TKVLListBox>({8, 39, 372, 319}, "FolderList", 1);
    list_->OnChange = [this](TKVLListBox&) { ShowSelection(); };
    list_->OnItemActivate = [this](TKVLListBox& list) { Enter(list.ItemIndex()); };
    newFolder_ = Place<TKVLButton>({8, 327, 118, 352}, "NewFolderButton", 2);
    newFolder_->SetCaption(captions.NewFolder);
    newFolder_->OnClick = [this](TKVLControl&) { MakeNewFolder(); };
    ok_ = Place<TKVLButton>({196, 327, 281, 352}, "OkButton", 3);
    ok_->SetCaption(captions.Ok);
    ok_->OnClick = [this](TKVLControl&) { Confirm(); };
    auto* cancel = Place<TKVLButton>({287, 327, 372, 352}, "CancelButton", 4);
    cancel->SetCaption(captions.Cancel);
    cancel->SetModalResult(KVL::Platform::mrCancel);
    SetDefaultButton(ok_);
    SetCancelButton(cancel);

    // Opens on the folder, or on the nearest one above it that exists.
    std::string start = folder.empty() ? std::string() : WithDelim(KVL::Platform::ExpandFileName(folder));
    while (!start.empty() && !KVL::Platform::DirectoryExists(start)) start = ParentOf(start);
    if (start.empty() && roots_.size() == 1) start = roots_.front();
    Navigate(start, {});
    edit_->SetText(folder.empty() ? Display(current_) : WithoutDelim(folder));
  }

  // Shown with the focus in the list.
  void SetVisible(bool visible) override {
    TKVLForm::SetVisible(visible);
    if (visible && !ActiveControl()) SetActiveControl(list_);
  }

  std::string ClassName() const override { return "TKVLShellFolderBrowser"; }
  const std::string& Chosen() const { return chosen_; }

private:
  template <class T>
  T* Place(const TKVLRect& rect96, const std::string& name, int tabOrder) {
    T* control = CreateOwned<T>();
    control->SetName(name);
    control->SetBounds(ScaleRect(rect96, Dpi()));
    control->SetTabOrder(tabOrder);
    control->SetParent(this);
    return control;
  }

  static std::string Display(const std::string& folder) { return WithoutDelim(folder); }

  bool HasParent() const { return !current_.empty() && !(roots_.size() == 1 && current_ == roots_.front()); }

  // Lists the folder's subfolders (the roots for ""), selecting the one named select.
  void Navigate(const std::string& folder, const std::string& select) {
    current_ = folder;
    targets_.clear();
    std::vector<TKVLListItem> items;
    if (HasParent()) {
      items.push_back({kUp, -1});
      targets_.push_back(ParentOf(current_));
    }
    std::vector<std::string> names;
    if (current_.empty()) {
      names = roots_;
    } else {
      try {
        for (const auto& entry : KVL::Platform::ListDirectory(current_))
          if (entry.IsFolder && entry.Name.front() != '.') names.push_back(entry.Name);
      } catch (const std::exception&) {
        // A folder that cannot be read shows no subfolders; the user can still go up.
      }
      std::sort(names.begin(), names.end(),
                [](const std::string& a, const std::string& b) { return KVL::SysUtils::NaturalCompareText(a, b) < 0; });
    }
    int selectIndex = -1;
    for (const std::string& name : names) {
      if (name == select) selectIndex = static_cast<int>(items.size());
      items.push_back({name, -1});
      targets_.push_back(current_.empty() ? name : WithDelim(current_ + name));
    }
    list_->SetItems(std::move(items));
    list_->SetItemIndex(selectIndex);
    newFolder_->SetEnabled(!current_.empty());
    ShowSelection();
  }

  // The edit shows the selected folder, or the current one.
  void ShowSelection() {
    const int index = list_->ItemIndex();
    const bool up = HasParent() && index == 0;
    edit_->SetText(Display(index >= 0 && !up ? targets_[static_cast<size_t>(index)] : current_));
  }

  void Enter(int index) {
    if (index < 0 || index >= static_cast<int>(targets_.size())) return;
    if (HasParent() && index == 0) {
      // Up: the folder we came from stays selected.
      const std::string from = current_;
      const std::string parent = targets_.front();
      Navigate(parent, parent.empty() ? from : NameOf(from));
    } else {
      Navigate(targets_[static_cast<size_t>(index)], {});
    }
  }

  void MakeNewFolder() {
    if (current_.empty()) return;
    const std::string base = WithoutAccelerator(DialogCaptions().NewFolder);
    std::string name = base;
    for (int n = 2; KVL::Platform::DirectoryExists(current_ + name) || KVL::Platform::FileExists(current_ + name); ++n) {
      name = base;
      name += " (";
      name += std::to_string(n);
      name += ")";
    }
    if (!KVL::Platform::ForceDirectories(current_ + name)) {
      KVLMessageDlg(this, KVL::Platform::LastSystemErrorText(), Caption(), TMsgDlgType::mtError, TMsgDlgButtons::mbOK,
                    KVL::Platform::mrOk);
      return;
    }
    Navigate(current_, name);
    SetActiveControl(list_);
  }

  void Confirm() {
    std::string text = edit_->Text();
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    chosen_ = WithoutDelim(text);
    SetModalResult(KVL::Platform::mrOk);
  }

  std::vector<std::string> roots_;
  std::string current_;               // with a trailing separator; "" for the list of roots
  std::vector<std::string> targets_;  // the folder each list item leads to
  std::string chosen_;
  TKVLEdit* edit_ = nullptr;
  TKVLListBox* list_ = nullptr;
  TKVLButton* newFolder_ = nullptr;
  TKVLButton* ok_ = nullptr;
};

} // namespace

bool TKVLShellFolderBrowser::Execute(KVL::UI::TKVLForm* owner) {
  const std::string title = Title.empty() ? DialogCaptions().Browse : Title;
  auto form = std::make_unique<TFolderBrowserForm>(owner, title, Folder);
  if (form->ShowModal() != KVL::Platform::mrOk) return false;
  Folder = form->Chosen();
  return true;
}

} // namespace KVL::UI::Dialogs
