// The cost of the bytes alone: writes BYTES bytes of ready-made text lines of
// LINE_LENGTH characters to FILE through the same buffered output the programs use.
#include <cstdlib>
#include <iostream>
#include <string>

#include "text_out.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: bytes_baseline FILE BYTES LINE_LENGTH\n";
    return 2;
  }
  const unsigned long long bytes = std::strtoull(argv[2], nullptr, 10);
  const std::size_t lineLength = std::strtoul(argv[3], nullptr, 10);
  std::string line(lineLength > 2 ? lineLength - 2 : 0, 'x');
  auto out = gw::TextOut::openFile(argv[1], 8, true);
  unsigned long long written = 0;
  while (written + line.size() + 2 <= bytes) {
    out->put(line);
    out->endRecord();
    written += line.size() + 2;
  }
  out->put(std::string(bytes - written, 'x'));
  out->flush();
  return 0;
}
