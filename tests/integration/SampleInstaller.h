// The sample installer that the end-to-end tests run, built once from the bare program.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "KVL/Base/Platform/File.h"
#include "TestUtil.h"
#include "tools/installer-builder/InstallerBuilder.h"

#if defined(ONDU_SETUP_BARE) && defined(ONDU_SAMPLE_STAGE_DIR)

namespace IntegrationTest {

#ifdef _WIN32
inline constexpr char kExeSuffix[] = ".exe";
#else
inline constexpr char kExeSuffix[] = "";
#endif
inline constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ONDU";

// The path with either separator turned into this system's.
inline std::string Native(std::string path) {
  for (char& c : path)
    if (c == '/' || c == '\\') c = KVL::Platform::kPathDelim;
  return path;
}

// A folder the build staged for the sample's packages ("SETUP", "PRODUCT").
inline std::string StageDir(const std::string& name) {
  return Native(std::string(ONDU_SAMPLE_STAGE_DIR) + "/" + name);
}

// Builds an installer from the bare program and the two folders.
inline std::string BuildInstaller(const std::string& setupDir, const std::string& productDir, const std::string& out) {
  TestUtil::TToolRun r = TestUtil::RunToolCapturing(InstallerBuilder::RunInstallerBuilder,
                                                    {Native(ONDU_SETUP_BARE), setupDir, productDir, out});
  EXPECT_EQ(r.code, 0) << r.err;
  return out;
}

// The sample installer, built once per test program.
inline const std::string& SampleInstaller() {
  static TestUtil::TTempDir dir;
  static const std::string path =
      BuildInstaller(StageDir("SETUP"), StageDir("PRODUCT"), dir.File(std::string("ondu-setup") + kExeSuffix));
  return path;
}

} // namespace IntegrationTest

#endif
