// Bracket markup of the formatted label: tags, values, nesting, and text that only looks like tags.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "KVL/UI/FormattedLabel.h"
#include "ui/RichTextDump.h"

using namespace KVL::UI;
using namespace KVL::UI::Controls::FormattedLabel;
using TestUtil::DumpDocument;

namespace {

struct TMarkupCase {
  const char* markup;
  const char* expected;  // DumpDocument of the result, base size 9 points
};

const TMarkupCase kMarkupCases[] = {
    {"plain", "plain"},
    {"[B]bold[/B] [i]it[/I] [U]u[/u] [s]s[/S]", "{b:bold} {i:it} {u:u} {s:s}"},
    {"[B]a[I]b[/I]c[/B]", "{b:a}{b i:b}{b:c}"},
    {"[B]a[I]b[/B]c[/I]", "{b:a}{b i:b}{i:c}"},
    {"[COLOR=#FF8000]o[/COLOR][color=red]r[/color][BACKCOLOR=$0000FF]x[/BackColor][COLOR=clNavy]n[/COLOR]",
     "{#FF8000:o}{#FF0000:r}{bg#FF0000:x}{#000080:n}"},
    {"[BIG]b[BIG]bb[/BIG][/BIG][SMALL]s[/SMALL][SIZE=14]t[SMALL]u[/SMALL][/SIZE]",
     "{11pt:b}{13pt:bb}{7pt:s}{14pt:t}{12pt:u}"},
    {"see [URL=https://x.org/]site[/URL].", "see {->https://x.org/:site}."},
    {"[url=\"www.a.b\"][b]a[/b][/url]", "{b ->www.a.b:a}"},
    {"[FOO]x[/FOO]", "[FOO]x[/FOO]"},
    {"[COLOR=nocolor]x[/COLOR]", "[COLOR=nocolor]x"},
    {"[B=1]x [SIZE=abc]y [SIZE=0]z [URL]w[/URL]", "[B=1]x [SIZE=abc]y [SIZE=0]z [URL]w"},
    {"[/B]stray", "stray"},
    {"[B]unclosed", "{b:unclosed}"},
    {"a [b c] d [", "a [b c] d ["},
    {"[[B]x]", "[{b:x]}"},
    {"[b]x[/b ]", "{b:x[/b ]}"},
    {"a\r\nb\rc\nd", "a\nb\nc\nd"},
    {"", ""},
};

struct TColorCase {
  const char* value;
  std::optional<uint32_t> rgb;
};

const TColorCase kColorCases[] = {
    {"#12AB34", 0x12AB34}, {"#FFF", 0xFFFFFF}, {"$FF0000", 0x0000FF}, {"$ff", 0xFF0000},
    {"Gray", 0x808080},    {"clWhite", 0xFFFFFF}, {"#12345", std::nullopt}, {"#GGGGGG", std::nullopt},
    {"$1000000", std::nullopt}, {"", std::nullopt}, {"cl", std::nullopt}, {"bluish", std::nullopt},
};

} // namespace

TEST(Markup, TagsBecomeStyledRuns) {
  for (const TMarkupCase& c : kMarkupCases) {
    EXPECT_EQ(DumpDocument(ParseMarkup(c.markup)), c.expected) << c.markup;
  }
}

TEST(Markup, SizeStepsFollowTheBaseSize) {
  EXPECT_EQ(DumpDocument(ParseMarkup("[BIG]a[/BIG][SMALL]b[/SMALL]", 12)), "{14pt:a}{10pt:b}");
}

TEST(Markup, ColourValues) {
  for (const TColorCase& c : kColorCases) {
    std::optional<TKVLColor> color = ParseMarkupColor(c.value);
    ASSERT_EQ(color.has_value(), c.rgb.has_value()) << c.value;
    if (color) {
      EXPECT_EQ(color->Rgb, *c.rgb) << c.value;
    }
  }
}
