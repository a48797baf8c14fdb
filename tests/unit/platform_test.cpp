// The platform unit on the system at hand: files keep every byte, names that
// lead to one file are the same file, a file is replaced in one step, and the
// reasons of failures read the same on every system.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform.hpp"
#include "scratch_files.hpp"

namespace gw {
namespace {

namespace fs = std::filesystem;

std::string readAll(const std::string& name) {
  const int fd = platform::openFile(name, platform::Access::Read);
  EXPECT_GE(fd, 0) << name;
  std::string bytes;
  char buffer[4096];
  for (std::ptrdiff_t n; (n = platform::readSome(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
  platform::closeFile(fd);
  return bytes;
}

TEST(PlatformTest, FilesKeepEveryByte) {
  // 0x1A ends a text-mode read on Windows; LF gains a CR there, CR LF loses it.
  const std::string bytes = std::string("a\x1A" "b\r\n\n\r") + std::string(70000, '\x1A') + "\r\nend";
  const testing::ScratchDir dir;
  const std::string name = dir.file("bytes.bin");
  ASSERT_TRUE(testing::writeFileBytes(name, bytes));
  EXPECT_EQ(readAll(name), bytes);
  const int fd = platform::openFile(name, platform::Access::Read);
  std::uint64_t size = 0;
  EXPECT_TRUE(platform::regularFileSize(fd, size));
  EXPECT_EQ(size, bytes.size());
  platform::closeFile(fd);
}

TEST(PlatformTest, NamesOfOneFile) {
  const testing::ScratchDir dir;
  const fs::path& d = dir.path();
  ASSERT_TRUE(testing::writeFileBytes(dir.file("a.txt"), "a"));
  ASSERT_TRUE(testing::writeFileBytes(dir.file("b.txt"), "b"));
  // Whether this folder tells names apart by letter case is the system's matter.
  const bool caseBlind = fs::exists(d / "A.TXT");
  const struct {
    fs::path other;
    bool same;
  } cases[] = {
      {d / "a.txt", true},      {d / "." / "a.txt", true},  {d / "b.txt", false},
      {d / "A.TXT", caseBlind}, {d / "missing", false},      {d, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::sameFile(dir.file("a.txt"), c.other.string()), c.same) << c.other;
  }
}

TEST(PlatformTest, NamesInCodePage932) {
  // 表 is 0x95 0x5C: its second byte must not be taken for a path separator.
  const testing::ScratchDir dir;
  const std::string name = dir.file("\x95\x5C.txt");
  ASSERT_TRUE(testing::writeFileBytes(name, "table"));
  EXPECT_EQ(readAll(name), "table");
  EXPECT_TRUE(platform::sameFile(name, name));
  EXPECT_TRUE(platform::removeFile(name));
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(PlatformTest, ReplaceTakesThePlaceOfAnExistingFile) {
  const testing::ScratchDir dir;
  ASSERT_TRUE(testing::writeFileBytes(dir.file("old"), "old bytes"));
  ASSERT_TRUE(testing::writeFileBytes(dir.file("new"), "new"));
  ASSERT_TRUE(platform::replaceFile(dir.file("new"), dir.file("old")));
  EXPECT_EQ(readAll(dir.file("old")), "new");
  EXPECT_FALSE(fs::exists(dir.path() / "new"));
}

TEST(PlatformTest, FailuresReadAsOnLinux) {
  const testing::ScratchDir dir;
  EXPECT_EQ(platform::openFile(dir.file("missing"), platform::Access::Read), -1);
  EXPECT_TRUE(platform::lastFailure().notFound);
  EXPECT_EQ(platform::lastFailure().reason, "No such file or directory");
  EXPECT_EQ(platform::openFile(dir.file("no/such/folder"), platform::Access::Write), -1);
  EXPECT_TRUE(platform::lastFailure().notFound);
  EXPECT_EQ(platform::openFile(dir.path().string(), platform::Access::Write), -1);
  EXPECT_FALSE(platform::lastFailure().notFound);
  EXPECT_EQ(platform::lastFailure().reason, "Is a directory");
  // A folder opens for reading, as no regular file.
  const int folder = platform::openFile(dir.path().string(), platform::Access::Read);
  std::uint64_t size = 0;
  EXPECT_GE(folder, 0);
  EXPECT_FALSE(platform::regularFileSize(folder, size));
  platform::closeFile(folder);
  EXPECT_FALSE(platform::removeFile(dir.file("missing")));
  EXPECT_EQ(platform::lastFailure().reason, "No such file or directory");
}

}  // namespace
}  // namespace gw
