// Calling a COM server's unregistration export: run once when there, passed over otherwise.
#include <gtest/gtest.h>

#include "KVL/Base/Platform/File.h"
#include "TestUtil.h"
#include "comserver/TestServer.h"
#include "setup/core/ActiveX.h"

using Setup::Core::TSetupActiveX;

TEST(SetupActiveX, UnregistersOnlyWhatHasTheExport) {
  TestUtil::TTempDir dir;
  TestUtil::WriteWholeFile(dir.File("text.dll"), "not a library");
  struct Case { const char* name; std::string path; const char* calls; };
  const Case cases[] = {
      {"server", TestServer::LibraryPath(true), "DllUnregisterServer\n"},
      {"library without the export", TestServer::LibraryPath(false), ""},
      {"not a library", dir.File("text.dll"), ""},
      {"missing file", dir.File("missing.dll"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestServer::TMarker marker;
    EXPECT_NO_THROW(TSetupActiveX::UnregisterServer(c.path));
    EXPECT_EQ(marker.Calls(), c.calls);
  }
  // The file itself is the caller's to delete.
  EXPECT_TRUE(KVL::Platform::FileExists(dir.File("text.dll")));
}

TEST(SetupActiveX, CallsTheNamedExport) {
  TestServer::TMarker marker;
  TSetupActiveX::CallExport(TestServer::LibraryPath(true), "DllRegisterServer");  // not exported
  EXPECT_EQ(marker.Calls(), "");
  TSetupActiveX::CallExport(TestServer::LibraryPath(true), "DllUnregisterServer");
  EXPECT_EQ(marker.Calls(), "DllUnregisterServer\n");
}
