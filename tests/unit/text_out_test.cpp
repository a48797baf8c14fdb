// Output files: the old bytes of a file stay until the first byte reaches it,
// then the new bytes take their place; a device takes the bytes as they come.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "scratch_files.hpp"
#include "text_out.hpp"

namespace gw {
namespace {

std::string contents(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(TextOutTest, OldBytesStayUntilTheFirstNewByte) {
  const testing::ScratchDir dir;
  const std::string name = dir.file("out.txt");
  struct Case {
    const char* old;  // nullptr: no file before
    const char* written;
    const char* after;
  };
  const Case cases[] = {
      {"old content\r\n", "", "old content\r\n"},
      {"old content\r\n", "new", "new"},
      {"", "new", "new"},
      {nullptr, "new", "new"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(name);
    if (c.old != nullptr) std::ofstream(name, std::ios::binary) << c.old;
    TextOut::openFile(name, 8)->put(c.written);  // flushed and closed at once
    EXPECT_EQ(contents(name), c.after) << (c.old != nullptr ? c.old : "(no file)") << " then " << c.written;
  }
}

TEST(TextOutTest, PiecesGoOutAfterTheBufferInOrder) {
  // More pieces than one call to the system takes, some empty, more bytes than
  // join the buffer: they go out in calls of many pieces each, after what the
  // buffer holds, over a file whose old bytes they replace.
  const testing::ScratchDir dir;
  const std::string name = dir.file("out.txt");
  std::ofstream(name, std::ios::binary) << "old bytes that must not stay";
  std::vector<std::string> texts;
  std::string expected = "head";
  for (int i = 0; i < 150; ++i) {
    texts.push_back(i % 7 == 3 ? std::string() : std::string(100 + 37 * i, static_cast<char>('a' + i % 26)));
    expected += texts.back();
  }
  expected += "tail";
  {
    auto out = TextOut::openFile(name, 8);
    out->put("head");
    const std::vector<std::string_view> pieces(texts.begin(), texts.end());
    out->putThroughAll(pieces);
    out->put("tail");
  }
  EXPECT_EQ(contents(name), expected);
}

TEST(TextOutTest, ADeviceTakesTheBytes) {
  if (!std::filesystem::exists("/dev/null")) GTEST_SKIP() << "no /dev/null here";
  auto out = TextOut::openFile("/dev/null", 8);
  out->put("bytes");
  EXPECT_NO_THROW(out->flush());
}

}  // namespace
}  // namespace gw
