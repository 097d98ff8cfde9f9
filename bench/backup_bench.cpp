// Backs up a folder the way the preparation action does, for the backup benchmark.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "KVL/Base/Platform/File.h"
#include "setup/core/FileServices.h"
#include "setup/product/BackupArchive.h"

// usage: ondu_backup_bench <folder> <archive>
// Lists <folder> as the action lists a program folder ("Program\" prefix, "!Backup" left
// out), sums the sizes and writes the archive with the action's writer and settings. Prints
// the number of files and bytes and how many files the progress reported.
int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: ondu_backup_bench <folder> <archive>\n");
    return 2;
  }
  std::string folder = argv[1];
  if (folder.back() != KVL::Platform::kPathDelim) folder += KVL::Platform::kPathDelim;
  try {
    Setup::Core::TSetupFileList files;
    files.AddFolder(folder, folder + "!Backup" + KVL::Platform::kPathDelim, "Program\\");
    long long bytes = 0;
    for (int i = 0; i < files.Count(); ++i)
      if (auto info = KVL::Platform::QueryFileInfo(files.Items(i).Source)) bytes += info->Size;
    int done = 0;
    Setup::Product::ONDU::Actions::TBackupArchive::Write(argv[2], files, [&](int) { ++done; });
    std::printf("files %d bytes %lld reported %d\n", files.Count(), bytes, done);
    return done == files.Count() ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ondu_backup_bench: %s\n", e.what());
    return 1;
  }
}
