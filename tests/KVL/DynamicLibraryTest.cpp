// Loading libraries by full path: exports found and called, failures reported, current folder untouched.
#include <gtest/gtest.h>

#include "KVL/Base/Platform/DynamicLibrary.h"
#include "KVL/Base/Platform/File.h"
#include "TestUtil.h"
#include "comserver/TestServer.h"

using namespace KVL::Platform;

TEST(DynamicLibrary, LoadsFindsAndCallsAnExport) {
  TestServer::TMarker marker;
  const std::string folder = GetCurrentDir();
  TDynamicLibrary lib;
  ASSERT_TRUE(lib.Load(TestServer::LibraryPath(true)));
  EXPECT_EQ(GetCurrentDir(), folder);
  EXPECT_EQ(lib.Procedure("NoSuchExport"), nullptr);
  auto proc = reinterpret_cast<long (*)()>(lib.Procedure("DllUnregisterServer"));
  ASSERT_NE(proc, nullptr);
  EXPECT_EQ(proc(), 0);
  EXPECT_EQ(marker.Calls(), "DllUnregisterServer\n");

  // Moving hands the library over; the moved-from object holds nothing.
  TDynamicLibrary other = std::move(lib);
  EXPECT_FALSE(lib.Loaded());
  EXPECT_NE(other.Procedure("DllUnregisterServer"), nullptr);
  other.Unload();
  EXPECT_FALSE(other.Loaded());
  EXPECT_EQ(other.Procedure("DllUnregisterServer"), nullptr);
}

TEST(DynamicLibrary, WhatIsNoLibraryDoesNotLoad) {
  TestUtil::TTempDir dir;
  TestUtil::WriteWholeFile(dir.File("text.dll"), "not a library");
  struct Case { const char* name; std::string path; };
  const Case cases[] = {
      {"empty path", ""},
      {"missing file", dir.File("missing.dll")},
      {"text file", dir.File("text.dll")},
      {"folder", dir.Path()},
  };
  for (const Case& c : cases) {
    TDynamicLibrary lib;
    EXPECT_FALSE(lib.Load(c.path)) << c.name;
    EXPECT_FALSE(lib.Loaded()) << c.name;
    EXPECT_EQ(lib.Procedure("DllUnregisterServer"), nullptr) << c.name;
  }
}
