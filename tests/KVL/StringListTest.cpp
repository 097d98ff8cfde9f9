// TKVLStringList: line splitting, name=value access, change notification.
#include <gtest/gtest.h>

#include "KVL/Base/StringList.h"
#include "KVL/Base/SysUtils.h"

using namespace KVL::Classes;

TEST(StringList, SplitTextLinesFollowsTheBreakRules) {
  const std::string ls = "\xE2\x80\xA8";  // U+2028
  struct {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"a\r\nb", {"a", "b"}},
      {"a\rb", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {"a" + ls + "b", {"a", "b"}},
      {"a" + ls + "\r\nb", {"a", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\r\n", {"a"}},
      {"a\r\n\r\n", {"a", ""}},
      {"\r\n", {""}},
      {"", {}},
      {"a\xE2\x80\xA9" "b", {"a\xE2\x80\xA9" "b"}},  // U+2029 is no break
  };
  for (const auto& c : cases) {
    std::vector<std::string> got;
    for (std::string_view l : SplitTextLines(c.text)) got.emplace_back(l);
    EXPECT_EQ(got, c.lines) << c.text;
  }
}

TEST(StringList, NamesAndValues) {
  TKVLStringList l;
  l.SetText("Key=1=2\r\n;note\r\n=x\r\nÄrger=yes\r\nkey=second");
  ASSERT_EQ(l.Count(), 5);
  EXPECT_EQ(l.Name(0), "Key");
  EXPECT_EQ(l.ValueFromIndex(0), "1=2");
  EXPECT_EQ(l.Name(1), "");
  EXPECT_EQ(l.ValueFromIndex(1), ";note");
  EXPECT_EQ(l.Name(2), "");
  EXPECT_EQ(l.ValueFromIndex(2), "x");
  EXPECT_EQ(l.IndexOfName("KEY"), 0);  // first match wins
  EXPECT_EQ(l.IndexOfName("ärger"), 3);
  EXPECT_EQ(l.Value("missing"), "");
  EXPECT_EQ(l.IndexOf(";NOTE"), 1);
  EXPECT_EQ(l.Text(), "Key=1=2\r\n;note\r\n=x\r\nÄrger=yes\r\nkey=second\r\n");
}

TEST(StringList, EditingAndBounds) {
  TKVLStringList l;
  int dummy = 0;
  l.Add("b");
  l.Insert(0, "a", &dummy);
  l.Add("c");
  l.Delete(1);
  l.SetString(1, "C");
  ASSERT_EQ(l.Count(), 2);
  EXPECT_EQ(l.Strings(0), "a");
  EXPECT_EQ(l.Object(0), &dummy);
  EXPECT_EQ(l.Strings(1), "C");
  EXPECT_THROW(l.Strings(2), KVL::SysUtils::EKVLInvalidOperation);
  EXPECT_THROW(l.Delete(-1), KVL::SysUtils::EKVLInvalidOperation);
  EXPECT_THROW(l.Insert(3, "x"), KVL::SysUtils::EKVLInvalidOperation);
}

TEST(StringList, ChangesInsideAnUpdateAreReportedOnce) {
  TKVLStringList l;
  int events = 0;
  l.OnChange = [&](TKVLStringList&) { ++events; };
  l.Add("a");
  EXPECT_EQ(events, 1);
  l.BeginUpdate();
  l.Add("b");
  l.SetString(0, "x");
  l.Delete(1);
  EXPECT_EQ(events, 1);
  l.EndUpdate();
  EXPECT_EQ(events, 2);
  l.SetText("p\r\nq");
  EXPECT_EQ(events, 3);
}
