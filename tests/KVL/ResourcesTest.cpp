// Named RCDATA resources: written into a copy of the helper program, read back by file and by
// the running program itself.
#include <gtest/gtest.h>

#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Resources.h"
#include "KVL/Base/SysUtils.h"
#include "TestUtil.h"

using namespace KVL::Platform;

namespace {

std::string Read(const TResourceModule& module, const std::string& name) {
  std::unique_ptr<TResourceData> data = module.Load(name);
  return std::string(reinterpret_cast<const char*>(data->Data()), data->Size());
}

uint32_t RunChild(const std::string& program, const std::vector<std::string>& args) {
  TProcess p = StartProcess(program, args);
  EXPECT_TRUE(p.WaitForExit(10000));
  return p.ExitCode();
}

std::string BinaryBlob(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
  return s;
}

} // namespace

TEST(Resources, AddReadAndReplace) {
  TestUtil::TTempDir dir;
  const std::string exe = dir.File("child-copy.exe");
  TestUtil::CopyChildProgram(exe);
  {
    TResourceModule plain(exe);
    EXPECT_FALSE(plain.Exists("FIRST"));
  }
  const std::string blob = BinaryBlob(100000);
  UpdateResources(exe, {{"First", "hello"}, {"SECOND", blob}});
  {
    TResourceModule module(exe);
    EXPECT_TRUE(module.Exists("first"));
    EXPECT_EQ(Read(module, "FIRST"), "hello");
    EXPECT_EQ(Read(module, "second"), blob);
    EXPECT_FALSE(module.Exists("THIRD"));
    try {
      module.Load("Third");
      FAIL() << "no error for a missing resource";
    } catch (const KVL::SysUtils::EKVLResourceNotFound& e) {
      EXPECT_STREQ(e.what(), "Resource Third not found");
    }
  }
  // A second update replaces by name and keeps the others.
  UpdateResources(exe, {{"FIRST", "bye"}, {"third", "3"}});
  {
    TResourceModule module(exe);
    EXPECT_EQ(Read(module, "First"), "bye");
    EXPECT_EQ(Read(module, "Second"), blob);
    EXPECT_EQ(Read(module, "Third"), "3");
  }
  // The program still runs, and finds its own resources.
  EXPECT_EQ(RunChild(exe, {"--exit", "6"}), 6u);
  EXPECT_EQ(RunChild(exe, {"--resource", "first", "bye"}), 0u);
  EXPECT_EQ(RunChild(exe, {"--resource", "SECOND", "hello"}), 3u);
  EXPECT_EQ(RunChild(exe, {"--resource", "FOURTH", "x"}), 4u);
}

TEST(Resources, RunningTestProgramHasNoneAndMissingFileRaises) {
  TResourceModule self;
  EXPECT_FALSE(self.Exists("SETUP"));
  EXPECT_THROW(self.Load("SETUP"), KVL::SysUtils::EKVLResourceNotFound);
  TestUtil::TTempDir dir;
  EXPECT_THROW(TResourceModule(dir.File("missing.exe")), KVL::SysUtils::EKVLFileOpenError);
}

#ifndef _WIN32
TEST(Resources, MalformedDirectoryReadsAsNone) {
  // Trailers whose numbers point outside the file: the file has no resources, and an update
  // keeps every byte of it as the executable proper.
  auto trailer = [](uint64_t start, uint64_t dir, uint32_t count, uint32_t dirSize) {
    std::string t;
    for (int i = 0; i < 8; ++i) t += static_cast<char>(start >> (8 * i));
    for (int i = 0; i < 8; ++i) t += static_cast<char>(dir >> (8 * i));
    for (int i = 0; i < 4; ++i) t += static_cast<char>(count >> (8 * i));
    for (int i = 0; i < 4; ++i) t += static_cast<char>(dirSize >> (8 * i));
    return t + "KVLRSRC1";
  };
  const std::string body(64, 'x');
  const std::string cases[] = {
      body + trailer(0, 1000, 1, 0),               // directory past the end
      body + trailer(70, 10, 0, 54),               // area starts after the directory
      body + trailer(0, 64, 5, 0),                 // entries promised, none there
      body + "\x04\x00" + trailer(0, 64, 1, 2),    // name longer than the directory
  };
  TestUtil::TTempDir dir;
  for (const std::string& bytes : cases) {
    const std::string path = dir.File("odd.bin");
    TestUtil::WriteWholeFile(path, bytes);
    EXPECT_FALSE(TResourceModule(path).Exists("X"));
    UpdateResources(path, {{"X", "data"}});
    const std::string after = TestUtil::ReadWholeFile(path);
    EXPECT_EQ(after.substr(0, bytes.size()), bytes);
    EXPECT_EQ(Read(TResourceModule(path), "X"), "data");
  }
}
#endif
