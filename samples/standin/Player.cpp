// Stand-in for the player's main program: records that it was started, then (on X11 with a
// display) shows its main window until asked to close it, else ends at once.
#include "KVL/Base/Platform/PlainWindow.h"
#include "StartLog.h"

int main() {
  const int code = OnduSample::RecordStart("started.log");
#ifndef _WIN32
  // The installer finds a running player by this window class and closes it before touching
  // its files. The Windows build stays windowless: its tests run under a headless wine.
  if (code == 0) KVL::Platform::RunPlainWindow("TONDUMainForm", "ONDU");
#endif
  return code;
}
