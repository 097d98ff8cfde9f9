// The desktop's colour scheme on POSIX: the answer asked for early, and changes followed.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <string>
#include <vector>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/Event.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/UI/ColorScheme.h"
#include "TestUtil.h"

using namespace KVL::UI;
using KVL::Platform::TEnvironmentOverride;

namespace {

// A folder with a gsettings stand-in running body; PATH keeps the shell's tools reachable.
struct TFakeGsettings {
  explicit TFakeGsettings(const std::string& body) {
    const std::string path = dir.File("gsettings");
    TestUtil::WriteWholeFile(path, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  }
  TestUtil::TTempDir dir;
  TEnvironmentOverride path{"PATH", dir.Path() + ":/usr/bin:/bin"};
  TEnvironmentOverride scheme{"KVL_COLOR_SCHEME", std::nullopt};
  TEnvironmentOverride theme{"GTK_THEME", std::nullopt};
};

} // namespace

TEST(ColorScheme, BegunQueryAnswersTheNextAsk) {
  TFakeGsettings dark("echo \"'prefer-dark'\"");
  BeginColorSchemeQuery();
  // Another answer on PATH after the question was asked: the begun query's answer counts.
  TFakeGsettings light("echo \"'default'\"");
  EXPECT_TRUE(NativeDarkModePreferred());
  // Used once: the next ask is a new question.
  EXPECT_FALSE(NativeDarkModePreferred());
}

TEST(ColorScheme, FollowerReportsEveryChangeUntilDestroyed) {
  // The monitor reports dark at once, light once the test says so, and nothing more.
  TFakeGsettings fake("[ \"$1\" = monitor ] || exit 1\n"
                      "echo $$ > \"$(dirname \"$0\")/pid\"\n"
                      "echo \"color-scheme: 'prefer-dark'\"\n"
                      "while [ ! -e \"$(dirname \"$0\")/go\" ]; do sleep 0.05; done\n"
                      "echo \"color-scheme: 'default'\"\n"
                      "exec sleep 30");
  std::vector<bool> seen;
  KVL::Platform::TPlatformEvent changed;
  auto follower = FollowColorScheme([&](bool dark) {
    seen.push_back(dark);
    changed.Set();
  });
  ASSERT_NE(follower, nullptr);
  ASSERT_TRUE(KVL::Platform::WaitFor(changed.Handle(), 5000));
  EXPECT_EQ(seen, std::vector<bool>{true});
  changed.Reset();
  TestUtil::WriteWholeFile(fake.dir.File("go"), "");
  ASSERT_TRUE(KVL::Platform::WaitFor(changed.Handle(), 5000));
  EXPECT_EQ(seen, (std::vector<bool>{true, false}));
  // The monitor goes with the follower (ended and reaped).
  const pid_t pid = std::stoi(TestUtil::ReadWholeFile(fake.dir.File("pid")));
  follower.reset();
  EXPECT_NE(kill(pid, 0), 0);
}

TEST(ColorScheme, NothingToFollow) {
  TFakeGsettings fake("exec sleep 30");
  {
    TEnvironmentOverride forced("KVL_COLOR_SCHEME", "dark");
    EXPECT_EQ(FollowColorScheme([](bool) {}), nullptr);
  }
  TEnvironmentOverride noPath("PATH", fake.dir.File("none"));
  EXPECT_EQ(FollowColorScheme([](bool) {}), nullptr);
}
