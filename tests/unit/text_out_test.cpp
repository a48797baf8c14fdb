// Output files: the old bytes of a file stay until the first byte reaches it,
// then the new bytes take their place; a device takes the bytes as they come.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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

TEST(TextOutTest, ADeviceTakesTheBytes) {
  if (!std::filesystem::exists("/dev/null")) GTEST_SKIP() << "no /dev/null here";
  auto out = TextOut::openFile("/dev/null", 8);
  out->put("bytes");
  EXPECT_NO_THROW(out->flush());
}

}  // namespace
}  // namespace gw
