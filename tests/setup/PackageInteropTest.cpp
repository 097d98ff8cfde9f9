// Packages written by the independent Python writer (tools/ipk5_write.py) read back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "TestUtil.h"
#include "setup/PackageTestUtil.h"
#include "setup/core/package/Package.h"

using namespace Setup::Core::Package;
using namespace PackageTestUtil;

TEST(PackageInterop, ReaderReadsPythonWrittenPackages) {
#ifdef _WIN32
  GTEST_SKIP() << "the Python writer is checked on the native build only";
#else
  if (std::system("python3 -c \"import lzma\" >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 with lzma not found";
  TestUtil::TTempDir dir;
  const TFiles files = {{"Install.xml", MakeData(30000, 11, true)},
                        {"bin\\ONDU.exe", MakeData(70000, 12, false)},
                        {"empty", ""},
                        {"\xC3\x9C" "ber.txt", "non-ASCII name"}};
  std::string adds;
  for (size_t n = 0; n < files.size(); ++n) {
    std::string path = dir.File("in" + std::to_string(n));
    TestUtil::WriteWholeFile(path, files[n].second);
    adds += " --add '" + files[n].first + "' '" + path + "'";
  }
  for (int level : {0, 4, 6}) {
    const std::string out = dir.File("py" + std::to_string(level) + ".ipk");
    const std::string cmd = "python3 '" ONDU_SOURCE_DIR "/tools/ipk5_write.py' --key " +
                            std::to_string(kSetupPackageKey) + " --level " + std::to_string(level) + " '" + out +
                            "'" + adds;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    const std::string package = TestUtil::ReadWholeFile(out);
    // Same files, same plain stream: checksum and size agree with our own builder.
    EXPECT_EQ(package.substr(0, 12), BuildPackage(files, level).substr(0, 12)) << level;
    TSetupPackageReader r(out);
    ASSERT_EQ(r.FileTable().Count(), files.size());
    for (const auto& [name, content] : files) {
      auto s = r.Extract(name);
      ASSERT_NE(s, nullptr) << name;
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(s->Memory()), size_t(s->Size())), content) << name;
    }
  }
#endif
}
