// Console text converted for a UTF-8 terminal arrives whole, however the
// program's buffer cuts it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "console.hpp"
#include "scratch_files.hpp"

namespace gw {
namespace {

// What Utf8Console passes on when code page 932 text comes in pieces that end
// at each of `cuts`.
std::string convertInPieces(const std::string& text, std::initializer_list<std::size_t> cuts) {
  testing::ScratchDir dir;
  const std::string shownFile = dir.file("shown.txt");
  const int fd = platform::openFile(shownFile, platform::Access::WriteEmpty);
  EXPECT_GE(fd, 0);
  {
    Utf8Console console(fd);
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
      EXPECT_TRUE(console.write(text.data() + from, cut - from));
      from = cut;
    }
    EXPECT_TRUE(console.write(text.data() + from, text.size() - from));
  }
  platform::closeFile(fd);
  std::ifstream in(shownFile, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Utf8ConsoleTest, CharactersCutBetweenTheirBytesArriveWhole) {
  // "データ" with a half-width katakana "ｱ" (one byte) and ASCII around it.
  const std::string text = "A\x83\x66\x81\x5B\xB1\x83\x5E\r\n";
  const std::string utf8 = "A\xE3\x83\x87\xE3\x83\xBC\xEF\xBD\xB1\xE3\x82\xBF\r\n";
  EXPECT_EQ(convertInPieces(text, {}), utf8);
  EXPECT_EQ(convertInPieces(text, {2, 4, 7}), utf8);  // every cut after a first byte
  EXPECT_EQ(convertInPieces(text, {1, 2, 3, 4, 5, 6, 7, 8}), utf8);
  // A byte that starts no character is shown as U+FFFD; the text goes on.
  EXPECT_EQ(convertInPieces("a\x80z", {}), "a\xEF\xBF\xBDz");
}

}  // namespace
}  // namespace gw
