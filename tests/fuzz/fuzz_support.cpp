#include "fuzz_support.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace gw::fuzz {

void expect(bool condition, std::string_view what) {
  if (condition) return;
  std::fprintf(stderr, "\n*** fuzz finding: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

namespace {

void writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    expect(n > 0, "cannot write a scratch file of the fuzz harness");
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

// Removes every entry of the directory open as `dirFd` (files only: the
// programs make no directories).
void emptyDirectory(int dirFd) {
  int fd = ::dup(dirFd);
  DIR* dir = ::fdopendir(fd);
  expect(dir != nullptr, "cannot list the private directory");
  ::rewinddir(dir);
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  for (const std::string& name : names) ::unlinkat(dirFd, name.c_str(), 0);
}

struct Scratch {
  std::string path;
  int fd = -1;
};

Scratch& scratch() {
  // Never destroyed: the exit handler below still needs it after static
  // objects are gone.
  static Scratch& dir = *new Scratch([] {
    Scratch s;
    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/gwpost-fuzz-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    expect(::mkdtemp(buf.data()) != nullptr, "cannot make the private directory");
    s.path = buf.data();
    s.fd = ::open(s.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    expect(s.fd >= 0, "cannot open the private directory");
    std::atexit([] {
      Scratch& d = scratch();
      emptyDirectory(d.fd);
      ::close(d.fd);
      ::rmdir(d.path.c_str());
    });
    return s;
  }());
  return dir;
}

int devNull() {
  static int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
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

MemoryFile::MemoryFile(std::string_view bytes) : fd_(::memfd_create("fuzz-input", MFD_CLOEXEC)) {
  expect(fd_ >= 0, "memfd_create failed");
  writeAll(fd_, bytes);
  ::lseek(fd_, 0, SEEK_SET);
}

MemoryFile::~MemoryFile() { ::close(fd_); }

std::string MemoryFile::path() const { return "/proc/self/fd/" + std::to_string(fd_); }

PrivateDirectory::PrivateDirectory() : previous_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  Scratch& dir = scratch();
  emptyDirectory(dir.fd);
  expect(::fchdir(dir.fd) == 0, "cannot enter the private directory");
}

PrivateDirectory::~PrivateDirectory() {
  if (previous_ >= 0) {
    [[maybe_unused]] int rc = ::fchdir(previous_);
    ::close(previous_);
  }
}

void writeFile(const std::string& name, std::string_view bytes) {
  int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  expect(fd >= 0, "cannot write a file in the private directory");
  writeAll(fd, bytes);
  ::close(fd);
}

std::optional<std::string> readFile(const std::string& name) {
  int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string bytes;
  char buf[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    bytes.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return bytes;
}

RunOutcome runProgram(const std::function<int(Console&)>& driver, std::string_view answers) {
  MemoryFile input(answers);
  RunOutcome outcome;
  Console console(input.fd(), devNull());
  try {
    outcome.status = driver(console);
  } catch (const Fault& fault) {
    outcome.fault = fault.kind();
  }
  try {
    console.out().flush();
  } catch (const Fault&) {
  }
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
