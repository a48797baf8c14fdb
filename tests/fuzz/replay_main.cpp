// Runs a fuzz target once over each input file, the way the fuzzer replays a
// corpus: `fuzz_TARGET [-options ignored] FILE_OR_DIRECTORY...`. Builds without
// the fuzzer use it to run the regression inputs as ordinary tests.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void collect(const std::string& path, std::vector<std::string>& files) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    std::fprintf(stderr, "replay: %s does not exist\n", path.c_str());
    std::exit(2);
  }
  if (!S_ISDIR(st.st_mode)) {
    files.push_back(path);
    return;
  }
  DIR* dir = ::opendir(path.c_str());
  std::vector<std::string> names;
  while (const dirent* entry = dir != nullptr ? ::readdir(dir) : nullptr) {
    if (entry->d_name[0] != '.') names.push_back(entry->d_name);
  }
  if (dir != nullptr) ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) collect(path + "/" + name, files);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  for (int k = 1; k < argc; ++k) {
    if (argv[k][0] != '-') collect(argv[k], files);
  }
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("replay: %zu inputs, no finding\n", files.size());
  return 0;
}
