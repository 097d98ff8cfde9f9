// The folder dialog: navigating a scratch folder tree, New Folder on disk, confirming and cancelling.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "KVL/Base/Platform/File.h"
#include "KVL/UI/Button.h"
#include "KVL/UI/Dialogs/MessageDialog.h"
#include "KVL/UI/Dialogs/ShellFolderBrowser.h"
#include "KVL/UI/Edit.h"
#include "KVL/UI/ListBox.h"
#include "tests/TestUtil.h"
#include "tests/ui/DialogsTestUtil.h"
#include "tests/ui/ToolkitFixture.h"

using namespace KVL::UI;
using DialogsTest::FindNamed;
using DialogsTest::HostOf;
using KVL::UI::Dialogs::TKVLShellFolderBrowser;

namespace {

// The dialog's controls while the modal handler runs.
struct TBrowser {
  TKVLForm& form;
  TKVLEdit* edit;
  TKVLListBox* list;

  explicit TBrowser(TKVLForm& f)
      : form(f), edit(FindNamed<TKVLEdit>(f, "PathEdit")), list(FindNamed<TKVLListBox>(f, "FolderList")) {}

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const TKVLListItem& item : list->Items()) lines.push_back(item.Text);
    return lines;
  }
  int IndexOf(const std::string& text) const {
    for (int i = 0; i < list->ItemCount(); ++i)
      if (list->Items()[i].Text == text) return i;
    ADD_FAILURE() << "no item " << text;
    return -1;
  }
  void ClickItem(const std::string& text) {
    const TKVLRect r = list->ItemRect(IndexOf(text)).Offset(list->ScreenRectInForm().Left, list->ScreenRectInForm().Top);
    HostOf(form).Click(r.Left + 10, r.Top + r.Height() / 2);
  }
  void DoubleClickItem(const std::string& text) {
    ClickItem(text);
    ClickItem(text);
  }
  void Press(const std::string& button) { HostOf(form).ClickControl(*FindNamed<TKVLButton>(form, button)); }
};

// A scratch tree: a/, b/c/, and the file f.txt, which is no folder.
struct TTree {
  TestUtil::TTempDir dir;
  TTree() {
    KVL::Platform::ForceDirectories(dir.File("a"));
    KVL::Platform::ForceDirectories(dir.File("b/c"));
    TestUtil::WriteWholeFile(dir.File("f.txt"), "x");
  }
  // A folder of the tree as the dialog reports it: no trailing separator.
  std::string Folder(const std::string& relative = {}) const {
    std::string path = relative.empty() ? dir.Path() : dir.File(relative);
    while (KVL::Platform::IsPathDelimiter(path.back())) path.pop_back();
    return path;
  }
};

bool RunDialog(TKVLShellFolderBrowser& browser, const std::function<void(TBrowser&)>& user) {
  SetHeadlessModalHandler([&](TKVLForm& form) {
    TBrowser b(form);
    user(b);
  });
  return browser.Execute(nullptr);
}

} // namespace

class ToolkitFolderBrowser : public ToolkitTest::TToolkitTest {};

TEST_F(ToolkitFolderBrowser, NavigatesAndConfirmsAFolder) {
  // The captions are program-wide and a wizard test before this one may have translated them.
  KVL::UI::Dialogs::DialogCaptions() = {};
  TTree tree;
  TKVLShellFolderBrowser browser;
  browser.Folder = tree.Folder();
  std::string caption;
  const bool confirmed = RunDialog(browser, [&](TBrowser& b) {
    caption = HostOf(b.form).Caption();
    EXPECT_EQ(b.edit->Text(), tree.Folder());
    EXPECT_EQ(b.Lines(), (std::vector<std::string>{"..", "a", "b"}));
    b.DoubleClickItem("b");
    EXPECT_EQ(b.Lines(), (std::vector<std::string>{"..", "c"}));
    EXPECT_EQ(b.edit->Text(), tree.Folder("b"));
    b.ClickItem("c");
    EXPECT_EQ(b.edit->Text(), tree.Folder("b/c"));
    b.Press("OkButton");
  });
  EXPECT_TRUE(confirmed);
  EXPECT_EQ(browser.Folder, tree.Folder("b/c"));
  EXPECT_EQ(caption, "Browse");
}

TEST_F(ToolkitFolderBrowser, UpByEnterSelectsTheFolderWeCameFrom) {
  TTree tree;
  TKVLShellFolderBrowser browser;
  browser.Folder = tree.Folder("b");
  browser.Title = "Pick";
  std::string caption;
  EXPECT_TRUE(RunDialog(browser, [&](TBrowser& b) {
    caption = HostOf(b.form).Caption();
    EXPECT_EQ(b.Lines(), (std::vector<std::string>{"..", "c"}));
    b.ClickItem("..");
    HostOf(b.form).Key(TKVLKey::kEnter);  // the list takes Enter before the OK button
    EXPECT_EQ(b.Lines(), (std::vector<std::string>{"..", "a", "b"}));
    EXPECT_EQ(b.list->ItemIndex(), b.IndexOf("b"));
    EXPECT_EQ(b.edit->Text(), tree.Folder("b"));
    HostOf(b.form).Key(TKVLKey::kUp);
    EXPECT_EQ(b.edit->Text(), tree.Folder("a"));
    b.edit->SetFocus();
    HostOf(b.form).Key(TKVLKey::kEnter);  // OK from the edit
  }));
  EXPECT_EQ(browser.Folder, tree.Folder("a"));
  EXPECT_EQ(caption, "Pick");
}

TEST_F(ToolkitFolderBrowser, NewFolderIsMadeOnDiskWithAFreeName) {
  TTree tree;
  TKVLShellFolderBrowser browser;
  browser.Folder = tree.Folder();
  EXPECT_TRUE(RunDialog(browser, [&](TBrowser& b) {
    b.Press("NewFolderButton");
    b.Press("NewFolderButton");
    EXPECT_EQ(b.list->ItemIndex(), b.IndexOf("New Folder (2)"));
    EXPECT_EQ(b.edit->Text(), tree.Folder("New Folder (2)"));
    EXPECT_EQ(b.Lines(), (std::vector<std::string>{"..", "a", "b", "New Folder", "New Folder (2)"}));
    b.Press("OkButton");
  }));
  EXPECT_TRUE(KVL::Platform::DirectoryExists(tree.dir.File("New Folder")));
  EXPECT_TRUE(KVL::Platform::DirectoryExists(tree.dir.File("New Folder (2)")));
  EXPECT_EQ(browser.Folder, tree.Folder("New Folder (2)"));
}

TEST_F(ToolkitFolderBrowser, CancelChangesNothing) {
  TTree tree;
  struct Case { const char* what; std::function<void(TBrowser&)> cancel; };
  const Case cases[] = {
      {"Cancel button", [](TBrowser& b) { b.Press("CancelButton"); }},
      {"Escape", [](TBrowser& b) { HostOf(b.form).Key(TKVLKey::kEscape); }},
      {"close box", [](TBrowser& b) { HostOf(b.form).RequestClose(); }},
  };
  for (const Case& c : cases) {
    TKVLShellFolderBrowser browser;
    browser.Folder = tree.Folder("a");
    EXPECT_FALSE(RunDialog(browser, [&](TBrowser& b) {
      b.DoubleClickItem("..");
      b.ClickItem("b");
      c.cancel(b);
    })) << c.what;
    EXPECT_EQ(browser.Folder, tree.Folder("a")) << c.what;
  }
}

TEST_F(ToolkitFolderBrowser, MissingStartFolderOpensOnTheNearestExistingOne) {
  TTree tree;
  TKVLShellFolderBrowser browser;
  browser.Folder = tree.Folder("b/x/ONDU");
  EXPECT_TRUE(RunDialog(browser, [&](TBrowser& b) {
    EXPECT_EQ(b.Lines(), (std::vector<std::string>{"..", "c"}));
    EXPECT_EQ(b.edit->Text(), tree.Folder("b/x/ONDU"));
    b.Press("OkButton");
  }));
  EXPECT_EQ(browser.Folder, tree.Folder("b/x/ONDU"));
}

TEST_F(ToolkitFolderBrowser, AboveTheRoots) {
  TKVLShellFolderBrowser browser;
#ifdef _WIN32
  // Up from a drive's root lists the drives.
  browser.Folder = "C:\\";
  EXPECT_FALSE(RunDialog(browser, [&](TBrowser& b) {
    ASSERT_FALSE(b.Lines().empty());
    EXPECT_EQ(b.Lines().front(), "..");
    b.DoubleClickItem("..");
    const std::vector<std::string> lines = b.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), ".."), 0);
    EXPECT_EQ(b.list->ItemIndex(), b.IndexOf("C:\\"));
    EXPECT_EQ(b.edit->Text(), "C:\\");
    EXPECT_FALSE(FindNamed<TKVLButton>(b.form, "NewFolderButton")->Enabled());
    b.DoubleClickItem("C:\\");
    EXPECT_EQ(b.Lines().front(), "..");
    b.Press("CancelButton");
  }));
#else
  // The one root has nothing above it.
  browser.Folder = "/";
  EXPECT_TRUE(RunDialog(browser, [&](TBrowser& b) {
    const std::vector<std::string> lines = b.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), ".."), 0);
    EXPECT_EQ(b.edit->Text(), "/");
    b.Press("OkButton");
  }));
  EXPECT_EQ(browser.Folder, "/");
#endif
}
