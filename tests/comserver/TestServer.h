// Where the unregistration tests find their two libraries, and the marker the server export writes.
#pragma once

#include <string>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "TestUtil.h"

namespace TestServer {

// Beside the test program: one library exports DllUnregisterServer, the other does not.
inline std::string LibraryPath(bool withExport) {
  return KVL::Platform::ExtractFilePath(KVL::Platform::ExecutablePath()) +
         (withExport ? "ondu_test_server.dll" : "ondu_test_noserver.dll");
}

// Points the server export at a marker file in a scratch folder while it lives.
class TMarker {
public:
  // What the export wrote: one line per call.
  std::string Calls() const { return KVL::Platform::FileExists(path_) ? TestUtil::ReadWholeFile(path_) : ""; }

private:
  TestUtil::TTempDir dir_;
  std::string path_ = dir_.File("marker.txt");
  KVL::Platform::TEnvironmentOverride env_{"ONDU_TEST_SERVER_MARKER", path_};
};

} // namespace TestServer
