// The backup archive: a ZIP file of existing files, written with libzip, streamed file by file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "KVL/Base/SysUtils.h"
#include "setup/core/FileServices.h"

namespace Setup::Product::ONDU::Actions {

// A file of the list could not be read into the archive.
class EBackupFileError : public KVL::SysUtils::EKVLError {
public:
  EBackupFileError(std::string path, int64_t size, const std::string& reason, std::string systemText)
      : EKVLError(reason), Path(std::move(path)), Size(size), SystemText(std::move(systemText)) {}
  std::string Path;        // the file's full path
  int64_t Size;            // its size when the list was made
  std::string SystemText;  // the system's text for the error met while opening or reading it
};

class TBackupArchive {
public:
  // zlib's own default: about as fast as common archivers at their default, and far quicker
  // than libzip's default (the best compression).
  static constexpr int kCompressionLevel = 6;

  // Writes every item of list (Source on disk, Target the entry name, '\' between folders)
  // into a new ZIP file fileName, replacing a file of that name. Entries are Deflate
  // compressed with UTF-8 names and the file's modification time. Files are opened only when
  // libzip compresses them (when the archive is closed) and read in chunks, so memory does
  // not grow with the archive; onFileDone(index) follows each file once its data is
  // compressed, in list order.
  //
  // A file that cannot be read raises EBackupFileError; the archive then keeps the files
  // before it. Other failures (the archive cannot be created or written) raise EKVLError.
  // An exception from onFileDone stops the writing and propagates; nothing is kept then.
  static void Write(const std::string& fileName, const Setup::Core::TSetupFileList& list,
                    const std::function<void(int index)>& onFileDone);

  // ZIP separates folders with '/' whatever the system: '\' in a target becomes '/'.
  static std::string EntryName(const std::string& target);
};

} // namespace Setup::Product::ONDU::Actions
