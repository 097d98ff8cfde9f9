// ondu-build-installer through its code: the finished installer's resources and its refusals.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Resources.h"
#include "TestUtil.h"
#include "setup/core/package/Package.h"
#include "tools/installer-builder/InstallerBuilder.h"

using namespace Setup::Core::Package;
using InstallerBuilder::RunInstallerBuilder;

namespace {

TestUtil::TToolRun RunTool(const std::vector<std::string>& args) {
  return TestUtil::RunToolCapturing(RunInstallerBuilder, args);
}

// Name and content of every entry, in table order.
std::vector<std::pair<std::string, std::string>> Entries(TSetupPackageReader& reader) {
  std::vector<std::pair<std::string, std::string>> all;
  for (size_t i = 0; i < reader.FileTable().Count(); ++i) {
    const TSetupPackageFileTableItem& item = reader.FileTable().Item(i);
    std::unique_ptr<KVL::Streams::TKVLMemoryStream> s = reader.Extract(item);
    all.emplace_back(item.Name, std::string(reinterpret_cast<const char*>(s->Memory()), static_cast<size_t>(s->Size())));
  }
  return all;
}

} // namespace

TEST(InstallerBuilder, WritesBothPackagesAsResources) {
  TestUtil::TTempDir dir;
  ASSERT_TRUE(KVL::Platform::ForceDirectories(dir.File("setup/Langs")));
  ASSERT_TRUE(KVL::Platform::ForceDirectories(dir.File("product/Skins")));
  TestUtil::WriteWholeFile(dir.File("setup/Install.xml"), "<setup/>");
  TestUtil::WriteWholeFile(dir.File("setup/Langs/English.lng"), "[Common]\r\nA1=Copying\r\n");
  TestUtil::WriteWholeFile(dir.File("product/ONDU.exe"), std::string(20000, 'o'));
  TestUtil::WriteWholeFile(dir.File("product/Skins/Light.ini"), "");
  const std::string output = dir.File("ONDU-Setup.exe");

  TestUtil::TToolRun r = RunTool({TestUtil::ChildProgramPath(), dir.File("setup"), dir.File("product"), output});
  ASSERT_EQ(r.code, 0) << r.err;

  KVL::Platform::TResourceModule module(output);
  TSetupPackageReader setup(module, InstallerBuilder::kSetupResource);
  EXPECT_EQ(Entries(setup), (std::vector<std::pair<std::string, std::string>>{
                                {"Install.xml", "<setup/>"}, {"Langs\\English.lng", "[Common]\r\nA1=Copying\r\n"}}));
  TSetupPackageReader product(module, InstallerBuilder::kProductResource);
  EXPECT_EQ(Entries(product), (std::vector<std::pair<std::string, std::string>>{
                                  {"ONDU.exe", std::string(20000, 'o')}, {"Skins\\Light.ini", ""}}));
  // Adding the resources must leave the installer a working program.
  KVL::Platform::TProcess p = KVL::Platform::StartProcess(output, {"--exit", "9"});
  ASSERT_TRUE(p.WaitForExit(10000));
  EXPECT_EQ(p.ExitCode(), 9u);
}

TEST(InstallerBuilder, RefusesBadInputsAndLeavesNoOutput) {
  TestUtil::TTempDir dir;
  ASSERT_TRUE(KVL::Platform::ForceDirectories(dir.File("setup")));
  const std::string output = dir.File("out.exe");
  const std::string child = TestUtil::ChildProgramPath();
  const struct {
    std::vector<std::string> args;
    int code;
  } cases[] = {
      {{child, dir.File("setup"), output}, 2},
      {{child, dir.File("setup"), dir.File("no-product"), output}, 1},
      {{dir.File("no-installer.exe"), dir.File("setup"), dir.File("setup"), output}, 1},
  };
  for (const auto& c : cases) {
    TestUtil::TToolRun r = RunTool(c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_FALSE(r.err.empty());
    EXPECT_FALSE(KVL::Platform::FileExists(output));
  }
}
