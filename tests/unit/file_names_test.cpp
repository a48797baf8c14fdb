// The base name of a file under either system's separators, and folders made by
// the platform unit, with names in code page 932 (表 is 0x95 0x5C: its second
// byte is that of '\').
#include <gtest/gtest.h>

#include <string>

#include "file_names.hpp"
#include "platform.hpp"
#include "scratch_files.hpp"

namespace gw {
namespace {

TEST(FileNamesTest, StemUnderEachSystemsSeparators) {
  constexpr NameSyntax posix = NameSyntax::Posix;
  constexpr NameSyntax windows = NameSyntax::Windows;
  const struct {
    NameSyntax syntax;
    const char* name;
    const char* stem;
  } cases[] = {
      {posix, "run.res", "run"},
      {posix, "out/run.d/a.b.res", "a.b"},
      {posix, "/abs.d/x", "x"},
      {posix, ".res", ".res"},
      {posix, "dir/", ""},
      {posix, "..", ".."},
      {posix, "a\\b.res", "a\\b"},
      {posix, "\x95\x5C.res", "\x95\x5C"},
      {windows, "a\\b.res", "b"},
      {windows, "a/b\\c.d\\run", "run"},
      {windows, "C:run.res", "run"},
      {windows, "C:\\w\\run.res", "run"},
      {windows, "x\\", ""},
      {windows, "\x95\x5C.res", "\x95\x5C"},
      {windows, "d\\\x95\x5C\x95\x5C.res", "\x95\x5C\x95\x5C"},
      {windows, "\x8F\x6F\x97\xCD\x95\x5C\\run.res", "run"},  // 出力表\run.res
      {windows, "\x95\x95\\run.res", "run"},  // 0x95 as a second byte, then a separator
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fileStem(c.name, c.syntax), c.stem) << c.name << (c.syntax == posix ? " (Linux)" : " (Windows)");
  }
}

TEST(FileNamesTest, MakeFoldersAndTheirParents) {
  const testing::ScratchDir dir;
  const std::string nested = dir.file("\x95\x5C/a/\x8F\x6F\x97\xCD\x95\x5C");  // 表/a/出力表
  EXPECT_FALSE(platform::isFolder(nested));
  EXPECT_TRUE(platform::makeFolders(nested + "/"));
  EXPECT_TRUE(platform::isFolder(nested));
  EXPECT_TRUE(platform::makeFolders(nested));
  EXPECT_TRUE(testing::writeFileBytes(nested + "/file", "x"));
  EXPECT_FALSE(platform::isFolder(nested + "/file"));
  for (const char* blocked : {"/file", "/file/sub"}) {
    EXPECT_FALSE(platform::makeFolders(nested + blocked)) << blocked;
    EXPECT_EQ(platform::lastFailure().reason, "Not a directory") << blocked;
  }
}

}  // namespace
}  // namespace gw
