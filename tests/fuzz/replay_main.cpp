// Runs a fuzz target once over each input file, the way the fuzzer replays a
// corpus: `fuzz_TARGET [-options ignored] FILE_OR_DIRECTORY...`. Builds without
// the fuzzer use it to run the regression inputs as ordinary tests.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

// The files named, and the files of the folders named (sorted, hidden ones left out).
void collect(const fs::path& path, std::vector<fs::path>& files) {
  std::error_code error;
  if (!fs::exists(path, error)) {
    std::fprintf(stderr, "replay: %s does not exist\n", path.string().c_str());
    std::exit(2);
  }
  if (!fs::is_directory(path, error)) {
    files.push_back(path);
    return;
  }
  std::vector<fs::path> entries;
  for (const fs::directory_entry& entry : fs::directory_iterator(path, error)) {
    if (entry.path().filename().string()[0] != '.') entries.push_back(entry.path());
  }
  std::sort(entries.begin(), entries.end());
  for (const fs::path& entry : entries) collect(entry, files);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> files;
  for (int k = 1; k < argc; ++k) {
    if (argv[k][0] != '-') collect(argv[k], files);
  }
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("replay: %zu inputs, no finding\n", files.size());
  return 0;
}
