#include "fuzz_support.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "platform.hpp"

namespace gw::fuzz {

namespace fs = std::filesystem;

void expect(bool condition, std::string_view what) {
  if (condition) return;
  std::fprintf(stderr, "\n*** fuzz finding: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

namespace {

// Removes every file of a directory (the programs make no directories).
void emptyDirectory(const fs::path& dir) {
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) fs::remove(entry.path(), error);
}

// A directory private to this process, with `run` (the current directory of
// program runs) and `files` (the in-memory files) in it; removed at exit.
struct Scratch {
  fs::path root;
  fs::path run;
  fs::path files;
  unsigned next = 0;
};

fs::path makeUniqueDirectory() {
  // Memory-backed where the system offers it.
  std::error_code error;
  fs::path base = fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
  std::random_device seed;
  std::mt19937_64 pick(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path dir = base / ("gwpost-fuzz-" + std::to_string(pick()));
    if (fs::create_directory(dir, error)) return dir;
  }
  expect(false, "cannot make the private directory");
  return {};
}

Scratch& scratch() {
  // Never destroyed: the exit handler below still needs it after static
  // objects are gone.
  static Scratch& dir = *new Scratch([] {
    Scratch s;
    s.root = makeUniqueDirectory();
    s.run = s.root / "run";
    s.files = s.root / "files";
    fs::create_directory(s.run);
    fs::create_directory(s.files);
    std::atexit([] {
      std::error_code error;
      fs::remove_all(scratch().root, error);
    });
    return s;
  }());
  return dir;
}

void writeAll(int fd, std::string_view bytes) {
  expect(platform::writeAll(fd, bytes.data(), bytes.size()), "cannot write a scratch file of the fuzz harness");
}

// A file that takes the console text of a run, emptied for every run.
int consoleSink() {
  int fd = platform::openFile((scratch().files / "console").string(), platform::Access::WriteEmpty);
  expect(fd >= 0, "cannot open the console file");
  return fd;
}

// Binary records of the result file.
class Records {
 public:
  void i32(std::int32_t v) {
    for (int k = 0; k < 4; ++k) payload_ += static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * k)) & 0xFF);
  }
  void f64(double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, 8);
    for (int k = 0; k < 8; ++k) payload_ += static_cast<char>((u >> (8 * k)) & 0xFF);
  }
  void text(std::string_view s) { payload_ += s; }
  void end() {
    std::string count;
    for (int k = 0; k < 4; ++k) count += static_cast<char>((payload_.size() >> (8 * k)) & 0xFF);
    file_ += count + payload_ + count;
    payload_.clear();
  }
  const std::string& file() const { return file_; }

 private:
  std::string payload_;
  std::string file_;
};

}  // namespace

MemoryFile::MemoryFile(std::string_view bytes) {
  Scratch& dir = scratch();
  path_ = (dir.files / ("input" + std::to_string(dir.next++))).string();
  int fd = platform::openFile(path_, platform::Access::WriteEmpty);
  expect(fd >= 0, "cannot make a scratch file");
  writeAll(fd, bytes);
  platform::closeFile(fd);
  fd_ = platform::openFile(path_, platform::Access::Read);
  expect(fd_ >= 0, "cannot open a scratch file");
}

MemoryFile::~MemoryFile() {
  platform::closeFile(fd_);
  platform::removeFile(path_);
}

PrivateDirectory::PrivateDirectory() : previous_(fs::current_path()) {
  Scratch& dir = scratch();
  emptyDirectory(dir.run);
  std::error_code error;
  fs::current_path(dir.run, error);
  expect(!error, "cannot enter the private directory");
}

PrivateDirectory::~PrivateDirectory() {
  std::error_code error;
  fs::current_path(previous_, error);
}

void writeFile(const std::string& name, std::string_view bytes) {
  int fd = platform::openFile(name, platform::Access::WriteEmpty);
  expect(fd >= 0, "cannot write a file in the private directory");
  writeAll(fd, bytes);
  platform::closeFile(fd);
}

std::optional<std::string> readFile(const std::string& name) {
  int fd = platform::openFile(name, platform::Access::Read);
  if (fd < 0) return std::nullopt;
  std::string bytes;
  char buf[1 << 16];
  for (;;) {
    std::ptrdiff_t n = platform::readSome(fd, buf, sizeof buf);
    if (n <= 0) break;
    bytes.append(buf, static_cast<std::size_t>(n));
  }
  platform::closeFile(fd);
  return bytes;
}

RunOutcome runProgram(const std::function<int(Console&)>& driver, std::string_view answers) {
  MemoryFile input(answers);
  RunOutcome outcome;
  const int sink = consoleSink();
  {
    Console console(input.fd(), sink);
    try {
      outcome.status = driver(console);
    } catch (const Fault& fault) {
      outcome.fault = fault.kind();
    }
    try {
      console.out().flush();
    } catch (const Fault&) {
    }
  }
  platform::closeFile(sink);
  return outcome;
}

const std::string& sampleResultFile() {
  static const std::string file = [] {
    Records r;
    std::string title = "FUZZ SAMPLE 3 X 3";
    title.resize(80, ' ');
    r.text(title);
    r.end();
    r.i32(9);
    r.end();
    for (int j = 0; j < 3; ++j) {
      for (int i = 0; i < 3; ++i) {
        r.f64(10.0 * i);
        r.f64(10.0 * j);
        r.f64(0.001 * (i + j));
        r.f64(-5.0 - i);
        r.i32(i == 0 ? 1 : 0);
      }
    }
    r.end();
    const std::int32_t elements[5][5] = {
        {1, 2, 5, 4, 1}, {2, 3, 6, 6, 2}, {2, 6, 5, 5, 2}, {4, 5, 8, 7, 1}, {5, 6, 9, 8, 0}};
    r.i32(5);
    r.end();
    for (const auto& e : elements) {
      for (std::int32_t c : e) r.i32(c);
      r.f64(0.5);
    }
    r.end();
    for (int s = 1; s <= 3; ++s) {
      r.i32(s);
      r.f64(100.0 * s);
      r.end();
      for (int n = 0; n < 9; ++n) {
        r.i32(1);
        r.f64(50.0 - (n % 3) + s);
        r.f64(1.0e-3 * n);
      }
      r.end();
      for (int e = 1; e <= 5; ++e) {
        r.f64(0.1 * e * s);
        r.f64(-0.05 * e);
        r.f64(2.0 + e);
      }
      r.end();
    }
    return r.file();
  }();
  return file;
}

}  // namespace gw::fuzz
