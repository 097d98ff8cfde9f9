// The backup archive writer: entries read back with libzip, lazy reading, unreadable files.
#include <gtest/gtest.h>

#include <zip.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "KVL/Base/Platform/File.h"
#include "TestUtil.h"
#include "setup/core/FileServices.h"
#include "setup/product/BackupArchive.h"

using Setup::Core::TSetupFileList;
using Setup::Product::ONDU::Actions::EBackupFileError;
using Setup::Product::ONDU::Actions::TBackupArchive;

namespace {

struct TEntry {
  std::string Data;
  uint16_t Method;
};

// Every entry of a ZIP file by name, with its data and compression method.
std::map<std::string, TEntry> ReadArchive(const std::string& path) {
  std::map<std::string, TEntry> result;
  int error = 0;
  zip_t* za = zip_open(path.c_str(), ZIP_RDONLY, &error);
  EXPECT_NE(za, nullptr) << path << " error " << error;
  if (!za) return result;
  for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st);
    std::string data(static_cast<size_t>(st.size), '\0');
    zip_file_t* f = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0);
    EXPECT_NE(f, nullptr);
    if (f) {
      EXPECT_EQ(zip_fread(f, data.data(), data.size()), static_cast<zip_int64_t>(data.size()));
      zip_fclose(f);
    }
    result[st.name] = TEntry{data, st.comp_method};
  }
  zip_close(za);
  return result;
}

// General-purpose flags of each central-directory record, by raw entry name.
std::map<std::string, uint16_t> CentralFlags(const std::string& path) {
  const std::string bytes = TestUtil::ReadWholeFile(path);
  std::map<std::string, uint16_t> flags;
  auto u16 = [&](size_t at) { return static_cast<uint16_t>(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8); };
  for (size_t at = bytes.find("PK\x01\x02"); at != std::string::npos && at + 46 <= bytes.size();
       at = bytes.find("PK\x01\x02", at + 4))
    flags[bytes.substr(at + 46, u16(at + 28))] = u16(at + 8);
  return flags;
}

// Text that compresses well, and bytes that do not.
std::string Text(size_t size) {
  std::string s;
  while (s.size() < size) s += "Track " + std::to_string(s.size() % 97) + " of the album\r\n";
  return s.substr(0, size);
}
std::string Noise(size_t size, uint32_t seed) {
  std::string s(size, '\0');
  for (char& ch : s) {
    seed = seed * 1664525u + 1013904223u;
    ch = static_cast<char>(seed >> 24);
  }
  return s;
}

class BackupArchive : public ::testing::Test {
protected:
  TestUtil::TTempDir dir_;

  // Writes the file below the scratch folder and lists it under target.
  void AddFile(TSetupFileList& list, const std::string& name, const std::string& target, const std::string& bytes) {
    const std::string path = dir_.File("src/" + name);
    std::filesystem::create_directories(std::filesystem::u8path(path).parent_path());
    TestUtil::WriteWholeFile(path, bytes);
    list.Add(path, target);
  }
};

} // namespace

TEST_F(BackupArchive, EntriesAreDeflatedUnderZipNamesWithUtf8Flag) {
  TSetupFileList list;
  const std::string exe = Noise(70000, 1) + Text(90000);
  AddFile(list, "ONDU.exe", "Program\\ONDU.exe", exe);
  AddFile(list, "Skins/Dark/skin.xml", "Program\\Skins\\Dark\\skin.xml", Text(5000));
  AddFile(list, "empty.txt", "Program\\empty.txt", "");
  AddFile(list, "J\xC3\xBCrgen.ini", "Profiles\\J\xC3\xBCrgen\\ONDU.ini", "[System]\r\n");
  const std::string archive = dir_.File("out.zip");
  TestUtil::WriteWholeFile(archive, "an older file of that name");

  std::vector<int> done;
  TBackupArchive::Write(archive, list, [&](int index) { done.push_back(index); });

  EXPECT_EQ(done, (std::vector<int>{0, 1, 2, 3}));
  std::map<std::string, TEntry> entries = ReadArchive(archive);
  ASSERT_EQ(entries.size(), 4u);
  const std::map<std::string, std::string> expected = {
      {"Program/ONDU.exe", exe},
      {"Program/Skins/Dark/skin.xml", Text(5000)},
      {"Program/empty.txt", ""},
      {"Profiles/J\xC3\xBCrgen/ONDU.ini", "[System]\r\n"},
  };
  for (const auto& [name, data] : expected) {
    ASSERT_TRUE(entries.count(name)) << name;
    EXPECT_EQ(entries[name].Data, data) << name;
    EXPECT_EQ(entries[name].Method, ZIP_CM_DEFLATE) << name;
  }
  // The non-ASCII name is stored as UTF-8 bytes and says so (bit 11).
  std::map<std::string, uint16_t> flags = CentralFlags(archive);
  ASSERT_TRUE(flags.count("Profiles/J\xC3\xBCrgen/ONDU.ini"));
  EXPECT_NE(flags["Profiles/J\xC3\xBCrgen/ONDU.ini"] & 0x0800, 0);
  // Compression happened: the text shrank well below its size.
  EXPECT_LT(std::filesystem::file_size(archive), exe.size() / 2 + 70000);
}

// A file that cannot be read when its turn comes: named with its size, the archive keeps
// the files before it. Removed after listing: the removal happens when the first file is
// reported done, which shows that files are read only as they are compressed.
TEST_F(BackupArchive, UnreadableFileIsNamedAndEarlierFilesAreKept) {
  struct Case {
    const char* name;
    bool asFolder;  // a folder where a file was listed, else the file vanishes
  };
  const Case cases[] = {{"vanished", false}, {"folder", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TSetupFileList list;
    AddFile(list, std::string(c.name) + "/a.txt", "a.txt", Text(3000));
    AddFile(list, std::string(c.name) + "/b.bin", "b.bin", Noise(4000, 2));
    AddFile(list, std::string(c.name) + "/c.txt", "c.txt", Text(1234));
    AddFile(list, std::string(c.name) + "/d.txt", "d.txt", Text(10));
    const std::string victim = list.Items(2).Source;
    const std::string archive = dir_.File(std::string(c.name) + ".zip");

    std::vector<int> done;
    try {
      TBackupArchive::Write(archive, list, [&](int index) {
        done.push_back(index);
        if (index != 0) return;
        std::filesystem::remove(std::filesystem::u8path(victim));
        if (c.asFolder) std::filesystem::create_directory(std::filesystem::u8path(victim));
      });
      ADD_FAILURE() << "no error";
    } catch (const EBackupFileError& e) {
      EXPECT_EQ(e.Path, victim);
      EXPECT_EQ(e.Size, 1234);
      EXPECT_NE(std::string(e.what()).find(victim), std::string::npos) << e.what();
      EXPECT_FALSE(e.SystemText.empty());
    }
    EXPECT_EQ(done, (std::vector<int>{0, 1}));
    std::map<std::string, TEntry> entries = ReadArchive(archive);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries["a.txt"].Data, Text(3000));
    EXPECT_EQ(entries["b.bin"].Data, Noise(4000, 2));
  }
}

TEST_F(BackupArchive, ArchiveThatCannotBeCreatedIsAnError) {
  TSetupFileList list;
  AddFile(list, "a.txt", "a.txt", "a");
  EXPECT_THROW(TBackupArchive::Write(dir_.File("missing/out.zip"), list, [](int) {}), KVL::SysUtils::EKVLError);
  EXPECT_FALSE(KVL::Platform::FileExists(dir_.File("missing/out.zip")));
}

TEST_F(BackupArchive, ExceptionFromProgressStopsTheWriting) {
  TSetupFileList list;
  for (const char* name : {"a", "b", "c"}) AddFile(list, name, name, Text(100));
  const std::string archive = dir_.File("stopped.zip");
  std::vector<int> done;
  EXPECT_THROW(TBackupArchive::Write(archive, list,
                                     [&](int index) {
                                       done.push_back(index);
                                       throw std::runtime_error("stop");
                                     }),
               std::runtime_error);
  EXPECT_EQ(done, std::vector<int>{0});
  EXPECT_FALSE(KVL::Platform::FileExists(archive));
}
