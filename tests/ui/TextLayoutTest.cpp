// Text layout with fixed metrics: wrapping, tabs, alignment, indents, spacing, clipping and link hit tests.
#include <gtest/gtest.h>

#include <string>

#include "KVL/UI/FormattedLabel.h"
#include "KVL/UI/TextLayout.h"
#include "ToolkitFixture.h"

using namespace KVL::UI;
using ToolkitTest::TFixedMetricsCanvas;

namespace {

constexpr int kChar = TFixedMetricsCanvas::CharWidth;
constexpr int kLine = TFixedMetricsCanvas::LineHeight;

// Records where each piece of text was drawn: "text@x,y".
class TRecordingCanvas : public TFixedMetricsCanvas {
public:
  void DrawText(const std::string& text, const TKVLRect& rect, const TKVLFont& font, TKVLColor color,
                TKVLTextAlign align, TKVLVerticalAlign valign) override {
    TFixedMetricsCanvas::DrawText(text, rect, font, color, align, valign);
    if (!Drawn.empty()) Drawn += " ";
    Drawn += text;
    Drawn += '@';
    Drawn += std::to_string(rect.Left);
    Drawn += ',';
    Drawn += std::to_string(rect.Top);
  }
  std::string Drawn;
};

TKVLTextLayoutOptions Options(bool wrap = true) {
  TKVLTextLayoutOptions options;
  options.WordWrap = wrap;
  return options;
}

std::string DrawnAt(const TKVLRichDocument& doc, int width, const TKVLTextLayoutOptions& options = Options()) {
  TRecordingCanvas canvas;
  TKVLTextLayout layout(doc, options, canvas, width);
  layout.Draw(canvas, {0, 0});
  return canvas.Drawn;
}

TKVLRichDocument Plain(const std::string& text) { return TKVLRichDocument::FromPlainText(text); }

struct TWrapCase {
  const char* text;
  int widthChars;
  bool wrap;
  const char* drawn;
};

const TWrapCase kWrapCases[] = {
    {"aaa bbb ccc ddd", 8, true, "aaa bbb@0,0 ccc ddd@0,15"},
    {"aaa bbb ccc ddd", 7, true, "aaa bbb@0,0 ccc ddd@0,15"},
    {"aaa bbb ccc ddd", 6, true, "aaa@0,0 bbb@0,15 ccc@0,30 ddd@0,45"},
    {"aaa bbb ccc ddd", 8, false, "aaa bbb ccc ddd@0,0"},
    {"abcdefghijkl", 5, true, "abcde@0,0 fghij@0,15 kl@0,30"},
    {"ab cdefghijkl", 5, true, "ab@0,0 cdefg@0,15 hijkl@0,30"},
    {"aa     bb", 4, true, "aa@0,0 bb@0,15"},
    {"  indented", 20, true, "  indented@0,0"},
    {"ab\ncd", 20, true, "ab@0,0 cd@0,15"},
    {"a\tb\tccccccc", 30, true, "a@0,0 b@48,0 ccccccc@96,0"},
    {"one\n\nthree", 20, true, "one@0,0 three@0,30"},
};

} // namespace

TEST(TextLayout, WrapsAtSpacesAndBreaksLongWords) {
  for (const TWrapCase& c : kWrapCases) {
    EXPECT_EQ(DrawnAt(Plain(c.text), c.widthChars * kChar, Options(c.wrap)), c.drawn) << c.text << " at " << c.widthChars;
  }
}

TEST(TextLayout, RunBreaksInsideAParagraphAndHeight) {
  TKVLRichDocument doc;
  doc.Paragraphs.push_back({{{"first\nsecond", {}}}, TKVLTextAlign::taLeft, 0, 0, 0, 0});
  TFixedMetricsCanvas canvas;
  TKVLTextLayout layout(doc, Options(), canvas, 200);
  EXPECT_EQ(layout.LineCount(), 2);
  EXPECT_EQ(layout.Height(), 2 * kLine);
}

TEST(TextLayout, ParagraphAlignmentIndentsAndSpacing) {
  TKVLRichDocument doc;
  doc.Paragraphs.push_back({{{"ab", {}}}, TKVLTextAlign::taCenter, 0, 0, 0, 0});
  doc.Paragraphs.push_back({{{"ab", {}}}, TKVLTextAlign::taRight, 0, 0, 0, 0});
  // 720 twips = 48 px and -360 twips = -24 px at 96 dpi; 300 twips before = 20 px, 150 after = 10 px.
  doc.Paragraphs.push_back({{{"aaaaaaa bbbbbbb", {}}}, TKVLTextAlign::taLeft, 720, -360, 300, 150});
  doc.Paragraphs.push_back({{{"z", {}}}, TKVLTextAlign::taLeft, 0, 0, 0, 0});
  const int width = 100;
  TRecordingCanvas canvas;
  TKVLTextLayout layout(doc, Options(), canvas, width);
  layout.Draw(canvas, {0, 0});
  const int third = 2 * kLine + 20;
  std::string expected = "ab@43,0 ab@86,15 aaaaaaa@24,";
  expected += std::to_string(third);
  expected += " bbbbbbb@48,";
  expected += std::to_string(third + kLine);
  expected += " z@0,";
  expected += std::to_string(third + 2 * kLine + 10);
  EXPECT_EQ(canvas.Drawn, expected);
  EXPECT_EQ(layout.Height(), third + 3 * kLine + 10);
}

TEST(TextLayout, ZoomScalesTabsAndIndents) {
  TKVLRichDocument doc;
  doc.Paragraphs.push_back({{{"a\tb", {}}}, TKVLTextAlign::taLeft, 720, 0, 0, 0});
  TKVLTextLayoutOptions options = Options();
  options.Zoom = 2;
  EXPECT_EQ(DrawnAt(doc, 1000, options), "a@96,0 b@192,0");
}

TEST(TextLayout, LinesOutsideTheClipAreNotDrawn) {
  TRecordingCanvas canvas;
  TKVLTextLayout layout(Plain("one\ntwo\nthree"), Options(), canvas, 200);
  layout.Draw(canvas, {0, -kLine}, TKVLRect{0, 0, 200, kLine});
  EXPECT_EQ(canvas.Drawn, "two@0,0");
}

TEST(TextLayout, LinkHitTest) {
  TFixedMetricsCanvas canvas;
  // "see here now": the link covers characters 4..7 of the first line.
  TKVLTextLayout layout(Controls::FormattedLabel::ParseMarkup("see [URL=http://a.b/]here[/URL] now"), Options(), canvas, 500);
  EXPECT_EQ(layout.LinkAt({4 * kChar + 1, 5}), "http://a.b/");
  EXPECT_EQ(layout.LinkAt({8 * kChar - 1, kLine - 1}), "http://a.b/");
  EXPECT_EQ(layout.LinkAt({4 * kChar - 1, 5}), "");
  EXPECT_EQ(layout.LinkAt({8 * kChar + 1, 5}), "");
  EXPECT_EQ(layout.LinkAt({5 * kChar, kLine + 1}), "");
}

TEST(TextLayout, DetectsAddressesInPlainRuns) {
  struct TCase {
    const char* text;
    int column;  // a character inside the address
    const char* link;
  };
  const TCase cases[] = {
      {"go to www.x.org, now", 8, "www.x.org"},
      {"(see http://a.b/c?d=1).", 10, "http://a.b/c?d=1"},
      {"mail mailto:me@x.org", 8, "mailto:me@x.org"},
      {"HTTPS://UP.CASE", 3, "HTTPS://UP.CASE"},
      {"abcwww.x.org", 5, ""},
      {"no address here", 3, ""},
  };
  TFixedMetricsCanvas canvas;
  TKVLTextLayoutOptions options = Options();
  options.DetectUrls = true;
  for (const TCase& c : cases) {
    TKVLTextLayout layout(Plain(c.text), options, canvas, 1000);
    EXPECT_EQ(layout.LinkAt({c.column * kChar + 1, 5}), c.link) << c.text;
  }
  TKVLTextLayout off(Plain("www.x.org"), Options(), canvas, 1000);
  EXPECT_EQ(off.LinkAt({kChar, 5}), "");
}
