// The package reader on an executable's RCDATA resource.
#include <gtest/gtest.h>

#include <memory>

#include "KVL/Base/Platform/Resources.h"
#include "KVL/Base/Streams.h"
#include "TestUtil.h"
#include "setup/core/package/Package.h"

using namespace Setup::Core::Package;
using KVL::Platform::TResourceModule;

namespace {

std::string BuildPackage(const std::vector<std::pair<std::string, std::string>>& files) {
  TSetupPackageBuilder builder(kSetupPackageKey);
  for (const auto& [name, bytes] : files) {
    KVL::Streams::TKVLReadOnlyMemoryStream in(bytes.data(), bytes.size());
    builder.Add(in, name);
  }
  KVL::Streams::TKVLMemoryStream out;
  builder.Commit(out, 4);
  return std::string(reinterpret_cast<const char*>(out.Memory()), static_cast<size_t>(out.Size()));
}

std::string ExtractText(TSetupPackageReader& reader, const std::string& name) {
  std::unique_ptr<KVL::Streams::TKVLMemoryStream> s = reader.Extract(name);
  if (!s) return "<missing>";
  return std::string(reinterpret_cast<const char*>(s->Memory()), static_cast<size_t>(s->Size()));
}

} // namespace

TEST(PackageResource, ReadsThePackageOfANamedResource) {
  TestUtil::TTempDir dir;
  const std::string exe = dir.File("setup.exe");
  TestUtil::CopyChildProgram(exe);
  const std::string package = BuildPackage({{"ONDU.exe", std::string(3000, 'p')}, {"Skins\\Dark.ini", "[Dark]"}});
  // The resource's own size bounds the stream: a cut package must not read on into whatever follows.
  KVL::Platform::UpdateResources(exe, {{"PRODUCT", package}, {"BROKEN", package.substr(0, package.size() - 6)}});
  TResourceModule module(exe);
  TSetupPackageReader reader(module, "Product");
  EXPECT_EQ(reader.FileTable().Count(), 2u);
  EXPECT_EQ(ExtractText(reader, "ondu.exe"), std::string(3000, 'p'));
  EXPECT_EQ(ExtractText(reader, "Skins\\Dark.ini"), "[Dark]");

  EXPECT_THROW(TSetupPackageReader(module, "BROKEN"), ESetupPackageReadError);
  try {
    TSetupPackageReader missing(module, "SETUP");
    FAIL() << "no error for a missing resource";
  } catch (const KVL::SysUtils::EKVLResourceNotFound& e) {
    EXPECT_STREQ(e.what(), "Resource SETUP not found");
  }
}
