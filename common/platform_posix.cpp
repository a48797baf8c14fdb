// The platform unit on Linux and other POSIX systems.
#include "platform.hpp"

#include "ascii_case.hpp"
#include "file_names.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <clocale>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace gw::platform {

namespace {

thread_local Failure failure;

// Records errno as the reason of the call that just failed.
void noteFailure() {
  failure.notFound = errno == ENOENT || errno == ENOTDIR;
  failure.reason = std::strerror(errno);
}

}  // namespace

void prepareStandardStreams() { std::signal(SIGPIPE, SIG_IGN); }

int openFile(const std::string& name, Access access) {
  int flags = O_CLOEXEC;
  switch (access) {
    case Access::Read: flags |= O_RDONLY; break;
    case Access::ReadOrCreate: flags |= O_RDONLY | O_CREAT; break;
    case Access::Write: flags |= O_WRONLY | O_CREAT; break;
    case Access::WriteEmpty: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
  }
  int fd;
  do {
    fd = ::open(name.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) noteFailure();
  return fd;
}

bool closeFile(int fd) {
  if (fd < 0 || ::close(fd) == 0) return true;
  noteFailure();
  return false;
}

const Failure& lastFailure() { return failure; }

std::ptrdiff_t readSome(int fd, void* buffer, std::size_t size) {
  for (;;) {
    ssize_t n = ::read(fd, buffer, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    noteFailure();
    return -1;
  }
}

bool writeAll(int fd, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      noteFailure();
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool writeAll(int fd, std::span<const std::string_view> pieces) {
  constexpr std::size_t kMostPieces = 64;  // well below IOV_MAX
  while (!pieces.empty()) {
    iovec parts[kMostPieces];
    std::size_t count = 0, taken = 0;
    for (; taken < pieces.size() && count < kMostPieces; ++taken) {
      if (pieces[taken].empty()) continue;
      parts[count].iov_base = const_cast<char*>(pieces[taken].data());
      parts[count++].iov_len = pieces[taken].size();
    }
    if (count == 0) return true;  // only empty pieces were left
    const ssize_t n = ::writev(fd, parts, static_cast<int>(count));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      noteFailure();
      return false;
    }
    // Past the pieces written whole; the rest of a piece written in part goes
    // out alone.
    auto written = static_cast<std::size_t>(n);
    while (!pieces.empty() && written >= pieces[0].size()) {
      written -= pieces[0].size();
      pieces = pieces.subspan(1);
    }
    if (written > 0) {
      if (!writeAll(fd, pieces[0].data() + written, pieces[0].size() - written)) return false;
      pieces = pieces.subspan(1);
    }
  }
  return true;
}

bool truncateToEmpty(int fd) {
  if (::ftruncate(fd, 0) == 0) return true;
  noteFailure();
  return false;
}

bool rewindFile(int fd) {
  if (::lseek(fd, 0, SEEK_SET) == 0) return true;
  noteFailure();
  return false;
}

bool seekTo(int fd, std::uint64_t offset) {
  if (::lseek(fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset)) return true;
  noteFailure();
  return false;
}

bool regularFileSize(int fd, std::uint64_t& size) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    noteFailure();
    return false;
  }
  if (!S_ISREG(st.st_mode)) return false;
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

void adviseSequential(int fd) { ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL); }

namespace {
// The kernel backs a 2 MB-aligned stretch of an advised mapping with one
// transparent huge page.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}  // namespace

bool wideVectorRendering() { return true; }

void* allocatePages(std::size_t size) {
  if (size == 0 || size > SIZE_MAX - kHugePage) return nullptr;
  // Map a huge page more than asked, then cut the block down to a 2 MB boundary.
  const std::size_t mapped = size + kHugePage;
  void* start = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (start == MAP_FAILED) {
    noteFailure();
    return nullptr;
  }
  const auto address = reinterpret_cast<std::uintptr_t>(start);
  const std::uintptr_t aligned = (address + kHugePage - 1) & ~(std::uintptr_t{kHugePage} - 1);
  if (aligned > address) ::munmap(start, aligned - address);
  const std::uintptr_t end = address + mapped;
  const std::uintptr_t blockEnd = aligned + size;
  const std::uintptr_t tail = (blockEnd + 4095) & ~std::uintptr_t{4095};
  if (end > tail) ::munmap(reinterpret_cast<void*>(tail), end - tail);
  void* block = reinterpret_cast<void*>(aligned);
  ::madvise(block, size, MADV_HUGEPAGE);  // a kernel without huge pages keeps small ones
  return block;
}

void freePages(void* block, std::size_t size) {
  if (block != nullptr) ::munmap(block, size);
}

bool isTerminal(int fd) { return ::isatty(fd) == 1; }

namespace {

bool namesUtf8(std::string_view charset) {
  const std::string lower = lowerCase(charset);
  return lower == "utf-8" || lower == "utf8";
}

// The character set part of a locale name ("ja_JP.UTF-8@mod" gives "UTF-8").
std::string_view charsetOfName(std::string_view name) {
  const std::size_t dot = name.find('.');
  if (dot == std::string_view::npos) return {};
  const std::string_view rest = name.substr(dot + 1);
  return rest.substr(0, rest.find('@'));
}

// The locale the user chose for characters: LC_ALL, else LC_CTYPE, else LANG.
const char* chosenLocale() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "";
}

}  // namespace

bool terminalShowsUtf8(int fd) {
  if (!isTerminal(fd)) return false;
  // The user's locale is taken up only for this question, then the one in
  // force before is restored. A locale that is not installed still names its
  // character set.
  const std::string before = std::setlocale(LC_CTYPE, nullptr);
  const bool installed = std::setlocale(LC_CTYPE, "") != nullptr;
  const bool utf8 = installed ? namesUtf8(::nl_langinfo(CODESET)) : namesUtf8(charsetOfName(chosenLocale()));
  std::setlocale(LC_CTYPE, before.c_str());
  return utf8;
}

std::string cp932ToUtf8(std::string_view text) {
  static const iconv_t converter = ::iconv_open("UTF-8", "CP932");
  std::string utf8;
  utf8.reserve(text.size() * 3 / 2 + 16);
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    // No conversion tables: ASCII stays, every other byte is shown as U+FFFD.
    for (char c : text) utf8 += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : "\xEF\xBF\xBD";
    return utf8;
  }
  ::iconv(converter, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char out[4096];
  while (inLeft > 0) {
    char* outAt = out;
    std::size_t outLeft = sizeof out;
    const std::size_t done = ::iconv(converter, &in, &inLeft, &outAt, &outLeft);
    utf8.append(out, static_cast<std::size_t>(outAt - out));
    if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
      utf8 += "\xEF\xBF\xBD";  // an invalid or unfinished character: its first byte
      ++in;
      --inLeft;
    }
  }
  return utf8;
}

bool writeConsoleUtf8(int fd, std::string_view text) { return writeAll(fd, text.data(), text.size()); }

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool isFolder(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool makeFolders(const std::string& name) {
  struct stat st {};
  if (::stat(name.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    errno = ENOTDIR;
    noteFailure();
    return false;
  }
  if (errno != ENOENT && errno != ENOTDIR) {
    noteFailure();
    return false;
  }
  // The folder above first ("a/b/" is made in "a").
  const std::size_t last = name.find_last_not_of('/');
  const std::size_t slash = last == std::string::npos ? std::string::npos : name.rfind('/', last);
  if (slash != std::string::npos && slash > 0 && !makeFolders(name.substr(0, slash))) return false;
  if (::mkdir(name.c_str(), 0777) == 0) return true;
  const int error = errno;
  if (error == EEXIST && isFolder(name)) return true;  // made meanwhile, or "a/."
  errno = error;
  noteFailure();
  return false;
}

std::string fileStem(const std::string& name) { return gw::fileStem(name, NameSyntax::Posix); }

std::string nameInUtf8(const std::string& name) { return name; }

bool removeFile(const std::string& name) {
  if (::unlink(name.c_str()) == 0) return true;
  noteFailure();
  return false;
}

bool replaceFile(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  noteFailure();
  return false;
}

}  // namespace gw::platform
