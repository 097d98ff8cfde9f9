// A stand-in in-process server for the unregistration tests: its export leaves a marker file.
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#define ONDU_EXPORT extern "C" __declspec(dllexport)
#define ONDU_STDAPI __stdcall
#else
#define ONDU_EXPORT extern "C" __attribute__((visibility("default")))
#define ONDU_STDAPI
#endif

namespace {

// The marker's path from ONDU_TEST_SERVER_MARKER; read through the system, not the C
// runtime's copy of the environment, which the test changes after start-up.
bool MarkerPath(char* buffer, unsigned size) {
#ifdef _WIN32
  DWORD n = GetEnvironmentVariableA("ONDU_TEST_SERVER_MARKER", buffer, size);
  return n > 0 && n < size;
#else
  const char* v = std::getenv("ONDU_TEST_SERVER_MARKER");
  if (!v || !*v) return false;
  std::snprintf(buffer, size, "%s", v);
  return true;
#endif
}

} // namespace

#ifndef ONDU_WITHOUT_EXPORT
ONDU_EXPORT long ONDU_STDAPI DllUnregisterServer() {
  char path[4096];
  if (!MarkerPath(path, sizeof path)) return 1;
  if (std::FILE* f = std::fopen(path, "ab")) {
    std::fputs("DllUnregisterServer\n", f);
    std::fclose(f);
  }
  return 0;
}
#else
// Something else is exported, so the library is a real one without the entry point.
ONDU_EXPORT long ONDU_STDAPI DllCanUnloadNow() {
  char path[4096];
  return MarkerPath(path, sizeof path) ? 0 : 1;
}
#endif
