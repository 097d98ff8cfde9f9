// Summary builder: titles appear only above lines, groups are separated by an empty line.
#include <gtest/gtest.h>

#include "setup/core/SummaryBuilder.h"

using Setup::Core::TSetupSummaryBuilder;

TEST(SummaryBuilder, GroupsLinesUnderTitles) {
  struct Step { char op; const char* text; };  // 'G' BeginGroup, 'L' AddLine
  struct Case { std::vector<Step> steps; const char* summary; };
  const Case cases[] = {
      {{{'G', "A"}, {'G', "B"}}, ""},
      {{{'G', "A"}, {'G', "B"}, {'L', "x"}}, "B\r\nx\r\n"},
      {{{'G', "A"}, {'L', "x"}, {'L', "y"}, {'G', "B"}, {'L', "z"}}, "A\r\nx\r\ny\r\n\r\nB\r\nz\r\n"},
      {{{'L', "bare"}}, "bare\r\n"},
      {{{'L', "x"}, {'G', "A"}}, "x\r\n"},
  };
  for (const Case& c : cases) {
    TSetupSummaryBuilder b;
    for (const Step& s : c.steps) s.op == 'G' ? b.BeginGroup(s.text) : b.AddLine(s.text);
    EXPECT_EQ(b.ToString(), c.summary);
  }
}

TEST(SummaryBuilder, LanguageTextsByKey) {
  TSetupSummaryBuilder b([](std::string_view section, std::string_view key) {
    return std::string(section) + "/" + std::string(key);
  });
  b.BeginGroup("PageSetup", "LB1");
  b.AddLine("PageSetup", "LB2");
  EXPECT_EQ(b.ToString(), "PageSetup/LB1\r\nPageSetup/LB2\r\n");
}
