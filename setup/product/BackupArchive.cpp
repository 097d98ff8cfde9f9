// Writing the backup archive through libzip with sources that open each file only when needed.
#include "setup/product/BackupArchive.h"

#include <zip.h>

#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "KVL/Base/Platform/File.h"

namespace Setup::Product::ONDU::Actions {

using KVL::Platform::TFileOpenMode;
using KVL::Platform::TPlatformFile;

namespace {

// 100-nanosecond ticks between 1601-01-01 and 1970-01-01.
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;

// The first failure met by a source, kept until libzip hands control back.
struct TFailure {
  int Index = -1;
  std::string Reason;
  std::string SystemText;
};

struct TWriteState;

// One entry's data: the file is opened on ZIP_SOURCE_OPEN and closed on ZIP_SOURCE_CLOSE,
// so at most one file is open and read at a time.
struct TEntrySource {
  TWriteState* State = nullptr;
  int Index = 0;
  std::string Path;
  std::optional<KVL::Platform::TFileInfo> Info;
  TPlatformFile File;
  int64_t Read = 0;
  bool Reported = false;
  zip_error_t Error{};
};

struct TWriteState {
  const std::function<void(int)>* OnFileDone = nullptr;
  TFailure Failure;
  std::exception_ptr Abort;  // raised by onFileDone
};

void Fail(TEntrySource& e, std::string reason, std::string systemText) {
  TFailure& f = e.State->Failure;
  if (f.Index < 0) {
    f.Index = e.Index;
    f.Reason = std::move(reason);
    f.SystemText = std::move(systemText);
  }
  zip_error_set(&e.Error, ZIP_ER_READ, 0);
}

zip_int64_t EntryCallback(void* userdata, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  auto& e = *static_cast<TEntrySource*>(userdata);
  switch (cmd) {
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                            ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    case ZIP_SOURCE_STAT: {
      auto* st = static_cast<zip_stat_t*>(data);
      zip_stat_init(st);
      if (e.Info) {
        st->size = static_cast<zip_uint64_t>(e.Info->Size);
        st->mtime = static_cast<time_t>((e.Info->LastWriteTime - kUnixEpochTicks) / 10000000);
        st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
      }
      return sizeof(*st);
    }
    case ZIP_SOURCE_OPEN:
      if (e.State->Abort) {
        zip_error_set(&e.Error, ZIP_ER_CANCELLED, 0);
        return -1;
      }
      try {
        e.File = TPlatformFile::Open(e.Path, TFileOpenMode::fomRead);
      } catch (const std::exception& ex) {
        // The system's text of the open's own error, before anything else can change it.
        std::string systemText = KVL::Platform::LastSystemErrorText();
        Fail(e, ex.what(), std::move(systemText));
        return -1;
      }
      e.Read = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      if (e.State->Abort) {
        zip_error_set(&e.Error, ZIP_ER_CANCELLED, 0);
        return -1;
      }
      const size_t n = e.File.Read(data, static_cast<size_t>(len));
      // Short reads mean the end of the file or an error: a file that ends before the size it
      // had when listed has failed (or been cut meanwhile); a file that grew is taken as it is.
      if (n < len && e.Info && e.Read + static_cast<int64_t>(n) < e.Info->Size) {
        std::string systemText = KVL::Platform::LastSystemErrorText();
        Fail(e, KVL::SysUtils::EKVLReadError().what(), std::move(systemText));
        return -1;
      }
      e.Read += static_cast<int64_t>(n);
      return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE:
      e.File.Close();
      // libzip closes a source after its data went through the compressor: the file is done.
      // After a failed first pass the kept entries are compressed again; count them once.
      if (!e.Reported && !e.State->Abort && e.State->Failure.Index < 0) {
        e.Reported = true;
        try {
          (*e.State->OnFileDone)(e.Index);
        } catch (...) {
          e.State->Abort = std::current_exception();
        }
      }
      return 0;
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&e.Error, data, len);
    case ZIP_SOURCE_FREE:
      return 0;
    default:
      zip_error_set(&e.Error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

std::string ArchiveErrorText(zip_t* za) { return zip_strerror(za); }

// Owns the open archive: discarded (nothing written) unless closed successfully.
struct TArchiveHandle {
  zip_t* Archive = nullptr;
  ~TArchiveHandle() {
    if (Archive) zip_discard(Archive);
  }
};

} // namespace

std::string TBackupArchive::EntryName(const std::string& target) {
  std::string name = target;
  for (char& ch : name)
    if (ch == '\\') ch = '/';
  return name;
}

void TBackupArchive::Write(const std::string& fileName, const Setup::Core::TSetupFileList& list,
                           const std::function<void(int index)>& onFileDone) {
  using KVL::SysUtils::EKVLError;
  using KVL::SysUtils::Format;

  TWriteState state;
  state.OnFileDone = &onFileDone;
  // Declared before the archive: libzip's sources point into it until the archive is gone.
  std::vector<std::unique_ptr<TEntrySource>> entries;
  entries.reserve(static_cast<size_t>(list.Count()));

  TArchiveHandle handle;
  int error = 0;
  handle.Archive = zip_open(fileName.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!handle.Archive) {
    zip_error_t ze;
    zip_error_init_with_code(&ze, error);
    std::string text = zip_error_strerror(&ze);
    zip_error_fini(&ze);
    throw EKVLError(Format("Cannot create the backup archive \"%s\": %s", fileName.c_str(), text.c_str()));
  }
  zip_t* za = handle.Archive;

  for (int i = 0; i < list.Count(); ++i) {
    const Setup::Core::TSetupFileListItem& item = list.Items(i);
    auto e = std::make_unique<TEntrySource>();
    e->State = &state;
    e->Index = i;
    e->Path = item.Source;
    e->Info = KVL::Platform::QueryFileInfo(item.Source);
    zip_error_init(&e->Error);
    zip_source_t* src = zip_source_function(za, EntryCallback, e.get());
    if (!src) throw EKVLError(Format("Cannot add \"%s\" to the backup archive: %s", item.Source.c_str(),
                                     ArchiveErrorText(za).c_str()));
    const std::string name = EntryName(item.Target);
    const zip_int64_t index = zip_file_add(za, name.c_str(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (index < 0) {
      zip_source_free(src);
      throw EKVLError(Format("Cannot add \"%s\" to the backup archive: %s", item.Source.c_str(),
                             ArchiveErrorText(za).c_str()));
    }
    if (zip_set_file_compression(za, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                 static_cast<zip_uint32_t>(kCompressionLevel)) < 0)
      throw EKVLError(Format("Cannot compress \"%s\": %s", item.Source.c_str(), ArchiveErrorText(za).c_str()));
    entries.push_back(std::move(e));
  }

  // libzip compresses everything here, pulling each file through its source in order.
  if (zip_close(za) == 0) {
    handle.Archive = nullptr;
    return;
  }
  if (state.Abort) std::rethrow_exception(state.Abort);
  if (state.Failure.Index < 0)
    throw EKVLError(Format("Cannot write the backup archive \"%s\": %s", fileName.c_str(),
                           ArchiveErrorText(za).c_str()));

  // A file could not be read: keep what came before it. The failed pass left nothing on
  // disk, so the archive is written again without that file and those after it.
  const TFailure failure = state.Failure;
  state.Failure = TFailure();
  for (int i = list.Count() - 1; i >= failure.Index; --i) zip_delete(za, static_cast<zip_uint64_t>(i));
  if (zip_close(za) == 0) handle.Archive = nullptr;
  const TEntrySource& failed = *entries[static_cast<size_t>(failure.Index)];
  throw EBackupFileError(failed.Path, failed.Info ? failed.Info->Size : 0, failure.Reason, failure.SystemText);
}

} // namespace Setup::Product::ONDU::Actions
