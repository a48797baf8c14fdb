// The platform unit on 64-bit Windows.
//
// Files are C runtime descriptors in binary mode, so that no byte 0x1A ends a
// read and no CR is put before a written LF. Names are code page 932 bytes, as
// the user typed them; they are turned into UTF-16 before they reach the system,
// so that a trail byte 0x5C (as in the second byte of 表) is part of its
// character, not a path separator. Reasons of failures read as on Linux, so that
// a diagnostic is the same bytes on both systems.
#include "platform.hpp"

#include "file_names.hpp"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace gw::platform {

namespace {

constexpr UINT kNameCodePage = 932;
// _read and _write take a 32-bit count: larger transfers go in pieces.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

thread_local Failure failure;

// The words Linux gives for the reasons a file call of this unit can fail.
const char* reasonText(int error) {
  switch (error) {
    case ENOENT: return "No such file or directory";
    case EACCES: return "Permission denied";
    case EEXIST: return "File exists";
    case EISDIR: return "Is a directory";
    case ENOTDIR: return "Not a directory";
    case EINVAL: return "Invalid argument";
    case EBADF: return "Bad file descriptor";
    case EMFILE: return "Too many open files";
    case ENOSPC: return "No space left on device";
    case EPIPE: return "Broken pipe";
    case ENAMETOOLONG: return "File name too long";
    case EFBIG: return "File too large";
    case EROFS: return "Read-only file system";
    case EXDEV: return "Invalid cross-device link";
    case EBUSY: return "Device or resource busy";
    default: return "Input/output error";
  }
}

void noteFailure(int error) {
  failure.notFound = error == ENOENT || error == ENOTDIR;
  failure.reason = reasonText(error);
}

// The C runtime's errno for a failed system call's GetLastError().
int errnoOf(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA: return EPIPE;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_INVALID_HANDLE: return EBADF;
    default: return EIO;
  }
}

void noteSystemFailure() { noteFailure(errnoOf(GetLastError())); }

// The UTF-16 form of a code page 932 name; false (with the failure noted) for
// bytes that are no code page 932 text or an embedded NUL.
bool wideName(const std::string& name, std::wstring& wide) {
  wide.clear();
  if (name.empty()) {
    noteFailure(ENOENT);
    return false;
  }
  if (name.find('\0') != std::string::npos || name.size() > INT_MAX) {
    noteFailure(EINVAL);
    return false;
  }
  const int bytes = static_cast<int>(name.size());
  int chars = MultiByteToWideChar(kNameCodePage, MB_ERR_INVALID_CHARS, name.data(), bytes, nullptr, 0);
  if (chars <= 0) {
    noteFailure(EINVAL);
    return false;
  }
  wide.resize(static_cast<std::size_t>(chars));
  MultiByteToWideChar(kNameCodePage, MB_ERR_INVALID_CHARS, name.data(), bytes, wide.data(), chars);
  return true;
}

bool isDirectory(const std::wstring& wide) {
  DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A read-only descriptor of a folder.
int openFolder(const std::wstring& wide) {
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd < 0) CloseHandle(h);
  return fd;
}

HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// Where a file lives: its volume and its index on that volume.
struct FileIdentity {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
};

// The identity of an existing file or folder; false when it cannot be opened.
bool identityOf(const std::string& name, FileIdentity& id) {
  std::wstring wide;
  if (!wideName(name, wide)) return false;
  // No access rights asked: a file that is open elsewhere, even one that may not
  // be read, still tells where it lives. Folders need the backup flag.
  HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (!known) return false;
  id.volume = info.dwVolumeSerialNumber;
  id.indexHigh = info.nFileIndexHigh;
  id.indexLow = info.nFileIndexLow;
  return true;
}

}  // namespace

void prepareStandardStreams() {
  for (int fd : {kStandardInput, kStandardOutput, kStandardError}) _setmode(fd, _O_BINARY);
}

int openFile(const std::string& name, Access access) {
  std::wstring wide;
  if (!wideName(name, wide)) return -1;
  int flags = _O_BINARY | _O_NOINHERIT;
  switch (access) {
    case Access::Read: flags |= _O_RDONLY | _O_SEQUENTIAL; break;
    case Access::ReadOrCreate: flags |= _O_RDONLY | _O_CREAT; break;
    case Access::Write: flags |= _O_WRONLY | _O_CREAT; break;
    case Access::WriteEmpty: flags |= _O_WRONLY | _O_CREAT | _O_TRUNC; break;
  }
  int fd = _wopen(wide.c_str(), flags, _S_IREAD | _S_IWRITE);
  if (fd >= 0) return fd;
  int error = errno;
  // Windows refuses to open a folder as a file at all. Linux opens one for
  // reading (it is then no regular file and gives no bytes) and says what it is
  // to any other access: so does this, for the same diagnostics.
  if (error == EACCES && isDirectory(wide)) {
    if (access == Access::Read && (fd = openFolder(wide)) >= 0) return fd;
    error = EISDIR;
  }
  noteFailure(error);
  return -1;
}

bool closeFile(int fd) {
  if (fd < 0 || _close(fd) == 0) return true;
  noteFailure(errno);
  return false;
}

const Failure& lastFailure() { return failure; }

std::ptrdiff_t readSome(int fd, void* buffer, std::size_t size) {
  const auto count = static_cast<unsigned>(size < kMaxTransfer ? size : kMaxTransfer);
  int n = _read(fd, buffer, count);
  if (n >= 0) return n;
  noteFailure(errno);
  return -1;
}

bool writeAll(int fd, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const auto count = static_cast<unsigned>(size < kMaxTransfer ? size : kMaxTransfer);
    int n = _write(fd, p, count);
    if (n <= 0) {
      noteFailure(n == 0 ? ENOSPC : errno);
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool writeAll(int fd, std::span<const std::string_view> pieces) {
  for (std::string_view piece : pieces) {
    if (!writeAll(fd, piece.data(), piece.size())) return false;
  }
  return true;
}

bool truncateToEmpty(int fd) {
  errno_t error = _chsize_s(fd, 0);
  if (error == 0) return true;
  noteFailure(error);
  return false;
}

bool rewindFile(int fd) {
  if (_lseeki64(fd, 0, SEEK_SET) == 0) return true;
  noteFailure(errno);
  return false;
}

bool seekTo(int fd, std::uint64_t offset) {
  if (_lseeki64(fd, static_cast<__int64>(offset), SEEK_SET) == static_cast<__int64>(offset)) return true;
  noteFailure(errno);
  return false;
}

bool regularFileSize(int fd, std::uint64_t& size) {
  HANDLE h = handleOf(fd);
  if (h == INVALID_HANDLE_VALUE) {
    noteFailure(EBADF);
    return false;
  }
  if (GetFileType(h) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) {
    noteSystemFailure();
    return false;
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return true;
}

void adviseSequential(int) {}  // asked for when the file is opened (_O_SEQUENTIAL)

bool isTerminal(int fd) {
  DWORD mode = 0;
  HANDLE h = handleOf(fd);
  return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

bool terminalShowsUtf8(int fd) { return isTerminal(fd) && GetConsoleOutputCP() != kNameCodePage; }

std::string cp932ToUtf8(std::string_view text) {
  // One character at a time, so that a byte that starts no character becomes
  // U+FFFD and the text after it is still shown.
  std::wstring wide;
  wide.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const bool twoBytes = isCp932LeadByte(lead);
    const int length = twoBytes && at + 1 < text.size() ? 2 : 1;
    // Single bytes are ASCII and the half-width katakana; the system's table
    // would also pass 0x80, 0xA0 and 0xFD-0xFF on as characters of their own.
    const bool character = twoBytes || lead < 0x80 || (lead >= 0xA1 && lead <= 0xDF);
    wchar_t unit = 0;
    if (character && MultiByteToWideChar(kNameCodePage, MB_ERR_INVALID_CHARS, text.data() + at, length, &unit, 1) == 1) {
      wide += unit;
      at += static_cast<std::size_t>(length);
    } else {
      wide += L'\xFFFD';
      at += 1;
    }
  }
  std::string utf8;
  if (wide.empty()) return utf8;
  const int wideLength = static_cast<int>(wide.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(bytes > 0 ? bytes : 0));
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

bool writeConsoleUtf8(int fd, std::string_view text) {
  if (!isTerminal(fd) || text.empty()) return writeAll(fd, text.data(), text.size());
  // A console shows any character through its wide-character call, whatever its
  // code page.
  const int wideLength = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideLength > 0 ? wideLength : 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), wideLength);
  HANDLE h = handleOf(fd);
  const wchar_t* p = wide.data();
  std::size_t left = wide.size();
  while (left > 0) {
    DWORD written = 0;
    const auto count = static_cast<DWORD>(left < 16384 ? left : 16384);
    if (!WriteConsoleW(h, p, count, &written, nullptr) || written == 0) {
      noteSystemFailure();
      return false;
    }
    p += written;
    left -= written;
  }
  return true;
}

bool wideVectorRendering() { return false; }

void* allocatePages(std::size_t size) {
  if (size == 0) return nullptr;
  // Fresh pages of the system are zeroed; large pages need a privilege that
  // users seldom hold, so plain ones serve.
  void* block = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (block == nullptr) noteSystemFailure();
  return block;
}

void freePages(void* block, std::size_t) {
  if (block != nullptr) VirtualFree(block, 0, MEM_RELEASE);
}

bool sameFile(const std::string& a, const std::string& b) {
  FileIdentity ia;
  FileIdentity ib;
  if (!identityOf(a, ia) || !identityOf(b, ib)) return false;
  return ia.volume == ib.volume && ia.indexHigh == ib.indexHigh && ia.indexLow == ib.indexLow;
}

bool isFolder(const std::string& name) {
  std::wstring wide;
  return wideName(name, wide) && isDirectory(wide);
}

namespace {

// Makes a folder and the missing ones above it. Its name is UTF-16 here, where a
// '\' is always a separator.
bool makeWideFolders(const std::wstring& wide) {
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;
    noteFailure(ENOTDIR);
    return false;
  }
  // The folder above first: a\b\ is made in a, C:b on drive C:.
  const std::size_t last = wide.find_last_not_of(L"/\\");
  const std::size_t cut = last == std::wstring::npos ? std::wstring::npos : wide.find_last_of(L"/\\:", last);
  if (cut != std::wstring::npos && cut > 0) {
    const std::wstring above = wide.substr(0, wide[cut] == L':' ? cut + 1 : cut);
    if (!makeWideFolders(above)) return false;
  }
  if (CreateDirectoryW(wide.c_str(), nullptr) != 0) return true;
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS && isDirectory(wide)) return true;  // made meanwhile, or a\.
  noteFailure(errnoOf(error));
  return false;
}

}  // namespace

bool makeFolders(const std::string& name) {
  std::wstring wide;
  return wideName(name, wide) && makeWideFolders(wide);
}

std::string fileStem(const std::string& name) { return gw::fileStem(name, NameSyntax::Windows); }

std::string nameInUtf8(const std::string& name) { return cp932ToUtf8(name); }

bool removeFile(const std::string& name) {
  std::wstring wide;
  if (!wideName(name, wide)) return false;
  if (_wunlink(wide.c_str()) == 0) return true;
  noteFailure(errno);
  return false;
}

bool replaceFile(const std::string& from, const std::string& to) {
  std::wstring wideFrom;
  std::wstring wideTo;
  if (!wideName(from, wideFrom) || !wideName(to, wideTo)) return false;
  if (MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) return true;
  noteSystemFailure();
  return false;
}

}  // namespace gw::platform
