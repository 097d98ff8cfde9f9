// Memo, rich viewer and formatted label on the headless host: loading, zoom, colours, scrolling, painting and links.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "KVL/Base/Streams.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/FormattedLabel.h"
#include "KVL/UI/Memo.h"
#include "KVL/UI/Theme.h"
#include "TestUtil.h"
#include "ToolkitFixture.h"
#include "setup/ui/RichViewer.h"

using namespace KVL::UI;
using KVL::UI::Controls::FormattedLabel::TKVLFormattedLabel;
using Setup::UI::Controls::TKVLRichViewer;
using ToolkitTest::TToolkitTest;

namespace {

void Fill(KVL::Streams::TKVLMemoryStream& stream, const std::string& bytes) {
  stream.SetSize(0);
  stream.WriteBuffer(bytes.data(), bytes.size());
  stream.SetPosition(0);
}

template <class T>
T* Add(TKVLForm& form, TKVLRect bounds) {
  auto* control = form.CreateOwned<T>();
  control->SetBounds(bounds);
  control->SetParent(&form);
  return control;
}

// The first point of control (in form coordinates) whose link is link; none when no pixel has it.
std::optional<TKVLPoint> FindLink(TKVLControl& control, const std::function<std::string(TKVLPoint)>& linkAt,
                                  const std::string& link) {
  const TKVLRect r = control.ScreenRectInForm();
  for (int y = 0; y < r.Height(); ++y)
    for (int x = 0; x < r.Width(); ++x)
      if (linkAt({x, y}) == link) return TKVLPoint{r.Left + x, r.Top + y};
  return std::nullopt;
}

} // namespace

TEST(LinkTarget, AddressesFoldersAndBareHosts) {
  struct TCase {
    std::string link, target;
  };
  TestUtil::TTempDir dir;
  const TCase cases[] = {
      {"www.example.com", "http://www.example.com"},
      {"example.com/x", "http://example.com/x"},
      {"https://a.b/c", "https://a.b/c"},
      {"file:///tmp/x", "file:///tmp/x"},
      {"//server/share", "//server/share"},
      {dir.Path(), dir.Path()},
      {dir.File("missing"), std::string("http://").append(dir.File("missing"))},
      {"", ""},
  };
  for (const TCase& c : cases) EXPECT_EQ(LinkTarget(c.link), c.target) << c.link;
}

TEST_F(TToolkitTest, RichViewerZoomNumerators) {
  struct TCase {
    int percent;
    int numerator;  // 0: out of range, the zoom stays at 150 %
  };
  const TCase cases[] = {{100, 64}, {125, 80}, {150, 96}, {200, 128}, {50, 32}, {1, 2},
                         {6399, 4095}, {0, 0}, {-50, 0}, {6400, 0}, {100000, 0}};
  TKVLRichViewer viewer;
  auto& inner = viewer.Viewer();
  for (const TCase& c : cases) {
    inner.ApplyZoom(150);
    inner.ApplyZoom(c.percent);
    const int numerator = c.numerator ? c.numerator : 96;
    EXPECT_EQ(inner.ZoomNumerator(), numerator) << c.percent;
    EXPECT_EQ(inner.Scale, c.numerator ? c.percent : 150) << c.percent;
    EXPECT_DOUBLE_EQ(inner.Zoom(), numerator / 64.0) << c.percent;
  }
}

TEST_F(TToolkitTest, RichViewerLoadingReplacesAndReadsFromThePosition) {
  TKVLRichViewer viewer;
  KVL::Streams::TKVLMemoryStream stream;
  Fill(stream, R"({\rtf1 one\par {\b two}})");
  viewer.LoadFromStream(&stream);
  Fill(stream, R"({\rtf1 one\par {\b two}})");
  viewer.LoadFromStream(&stream);
  EXPECT_EQ(viewer.Text(), "one\r\ntwo");
  ASSERT_EQ(viewer.Viewer().Document().Paragraphs.size(), 2u);
  EXPECT_TRUE(viewer.Viewer().Document().Paragraphs[1].Runs[0].Style.Bold);

  viewer.LoadFromStream(nullptr);
  EXPECT_EQ(viewer.Text(), "one\r\ntwo");

  Fill(stream, R"(skip{\rtf1 after})");
  stream.SetPosition(4);
  viewer.LoadFromStream(&stream);
  EXPECT_EQ(viewer.Text(), "after");

  // A license that is not RTF shows as plain text.
  Fill(stream, "plain\r\nlicense");
  viewer.LoadFromStream(&stream);
  EXPECT_EQ(viewer.Text(), "plain\r\nlicense");
}

TEST_F(TToolkitTest, RichViewerTextKeepsColourAndZoom) {
  TKVLRichViewer viewer;
  viewer.Viewer().ApplyZoom(125);
  viewer.SetText("summary\r\nline");
  EXPECT_EQ(viewer.Text(), "summary\r\nline");
  EXPECT_EQ(viewer.Viewer().ZoomNumerator(), 80);
  EXPECT_EQ(viewer.Viewer().FontColor(), StyleColors().Text);
  EXPECT_EQ(viewer.Viewer().Background(), StyleColors().EditBackground);
  EXPECT_TRUE(viewer.Viewer().DetectUrls());

  TKVLApplication::SetDarkMode(true);
  viewer.SetText("dark");
  EXPECT_EQ(viewer.Viewer().FontColor(), StyleColors().Text);
  EXPECT_EQ(viewer.Viewer().ZoomNumerator(), 80);
}

TEST_F(TToolkitTest, RichViewerFollowsTheScaleAndIgnoresFontChanges) {
  TKVLForm form;
  form.SetClientSize96(300, 200);
  auto* viewer = Add<TKVLRichViewer>(form, TKVLRect::FromBounds(10, 10, 200, 150));
  form.Show();
  const TKVLFont before = viewer->Viewer().Font();
  TKVLFont big;
  big.SizePt = 20;
  viewer->SetFont(big);
  EXPECT_EQ(viewer->Viewer().Font(), before);

  HeadlessHostOf(form)->ChangeDpi(192);
  EXPECT_EQ(viewer->Viewer().ZoomNumerator(), 128);
  EXPECT_EQ(viewer->Viewer().Scale, 200);
  viewer->SetText("after scaling");
  EXPECT_EQ(viewer->Viewer().ZoomNumerator(), 128);
}

TEST_F(TToolkitTest, MemoScrollsByKeysWheelAndBar) {
  TKVLForm form;
  form.SetClientSize96(200, 100);
  auto* memo = Add<TKVLMemo>(form, TKVLRect::FromBounds(0, 0, 200, 100));
  memo->SetScrollBars(TKVLScrollBars::ssVertical);
  std::string text;
  for (int i = 0; i < 60; ++i) {
    text += "line ";
    text += std::to_string(i);
    text += "\r\n";
  }
  memo->SetText(text);
  form.Show();
  TKVLHeadlessHost& host = *HeadlessHostOf(form);
  TKVLInnerMemo& inner = memo->Inner();
  const int bottom = inner.ContentHeight() - inner.PageHeight();
  ASSERT_GT(bottom, 0);

  host.Click(50, 50);  // focus the text
  host.Key(TKVLKey::kDown);
  const int line = inner.ScrollPos();
  EXPECT_GT(line, 0);
  EXPECT_EQ(memo->ScrollBar().Position(), line);
  host.Key(TKVLKey::kPageDown);
  EXPECT_GT(inner.ScrollPos(), 2 * line);
  host.Key(TKVLKey::kEnd);
  EXPECT_EQ(inner.ScrollPos(), bottom);
  EXPECT_EQ(memo->ScrollBar().Position(), bottom);
  host.Key(TKVLKey::kHome);
  EXPECT_EQ(inner.ScrollPos(), 0);

  EXPECT_TRUE(memo->MouseWheel(-1, {10, 10}));
  EXPECT_EQ(inner.ScrollPos(), 3 * line);
  EXPECT_EQ(memo->ScrollBar().Position(), 3 * line);

  // A click on the bar's track below the thumb moves the text a page down.
  inner.SetScrollPos(0);
  const TKVLRect bar = memo->ScrollBar().ScreenRectInForm();
  host.Click(bar.Left + bar.Width() / 2, bar.Bottom - 2);
  EXPECT_EQ(inner.ScrollPos(), inner.PageHeight());

  // New text starts at the top again.
  memo->SetText("short");
  EXPECT_EQ(inner.ScrollPos(), 0);
  EXPECT_EQ(memo->Text(), "short");
}

TEST_F(TToolkitTest, MemoPaintsFrameBackgroundBarAndText) {
  TKVLForm form;
  form.SetClientSize96(200, 100);
  auto* memo = Add<TKVLMemo>(form, TKVLRect::FromBounds(10, 10, 180, 80));
  memo->SetScrollBars(TKVLScrollBars::ssVertical);
  memo->SetText("Text");
  form.Show();
  const TKVLStyleColors& colors = StyleColors();
  TKVLBitmap bitmap = HeadlessHostOf(form)->Render();
  const bool hot = memo->Focused() || memo->Inner().Focused();
  EXPECT_EQ(bitmap.ColorAt(10, 10), hot ? colors.EditBorderHot : colors.EditBorder);
  EXPECT_EQ(bitmap.ColorAt(20, 85), colors.EditBackground);
  const TKVLRect bar = memo->ScrollBar().ScreenRectInForm();
  EXPECT_EQ(bitmap.ColorAt(bar.Left + 1, bar.Bottom - 2), colors.ScrollTrack);
  int inked = 0;
  for (int y = 12; y < 35; ++y)
    for (int x = 12; x < 60; ++x) inked += bitmap.ColorAt(x, y) != colors.EditBackground ? 1 : 0;
  EXPECT_GT(inked, 10);
}

TEST_F(TToolkitTest, RichViewerLinksGoToTheHandler) {
  TKVLForm form;
  form.SetClientSize96(300, 100);
  auto* viewer = Add<TKVLRichViewer>(form, TKVLRect::FromBounds(0, 0, 300, 100));
  viewer->SetText("see www.example.org now");
  std::string clicked;
  viewer->Viewer().OnLinkClick = [&](const std::string& link) { clicked = link; };
  form.Show();
  TKVLInnerMemo& inner = viewer->Viewer();
  auto at = FindLink(inner, [&](TKVLPoint p) { return inner.LinkAt(p); }, "www.example.org");
  ASSERT_TRUE(at);
  HeadlessHostOf(form)->Click(at->X, at->Y);
  EXPECT_EQ(clicked, "www.example.org");
  clicked.clear();
  const TKVLRect r = inner.ScreenRectInForm();
  HeadlessHostOf(form)->Click(r.Left + 6, r.Top + 8);  // on "see"
  EXPECT_EQ(clicked, "");
}

TEST_F(TToolkitTest, FormattedLabelOffersLinksAndPaintsBackColour) {
  TKVLForm form;
  form.SetClientSize96(300, 60);
  auto* label = Add<TKVLFormattedLabel>(form, TKVLRect::FromBounds(0, 0, 300, 60));
  label->SetCaption("go [URL=https://x.org/]there[/URL] [BACKCOLOR=#00FF00]marked[/BACKCOLOR]");
  std::string offered;
  label->OnLinkClick = [&](const std::string& link) {
    offered = link;
    return true;
  };
  form.Show();
  auto at = FindLink(*label, [&](TKVLPoint p) { return label->LinkAt(p); }, "https://x.org/");
  ASSERT_TRUE(at);
  TKVLHeadlessHost& host = *HeadlessHostOf(form);
  host.Click(at->X, at->Y);
  EXPECT_EQ(offered, "https://x.org/");
  offered.clear();
  host.Click(2, 5);  // on "go"
  EXPECT_EQ(offered, "");

  TKVLBitmap bitmap = host.Render();
  int green = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 300; ++x) green += bitmap.ColorAt(x, y) == TKVLColor(0x00FF00) ? 1 : 0;
  EXPECT_GT(green, 20);
}
