// What differs between Linux and Windows: files by name and by descriptor, the
// standard streams and the console. Every other source of the programs is the
// same code on both systems and reaches the system only through this unit.
//
// Files are always binary: bytes go to and come from them unchanged (no line-end
// translation, no end-of-file byte), and sizes and offsets are 64-bit. File
// names are byte strings as the user typed them (code page 932 on Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace gw::platform {

// Descriptors of the standard streams.
inline constexpr int kStandardInput = 0;
inline constexpr int kStandardOutput = 1;
inline constexpr int kStandardError = 2;

// Sets up the standard streams for a run: binary, and a write to a closed pipe
// is a failed write (with its diagnostic), not the end of the process.
void prepareStandardStreams();

enum class Access {
  Read,          // an existing file, for reading
  ReadOrCreate,  // for reading; a missing file is created empty first
  Write,         // for writing from its start; created when missing, old bytes kept
  WriteEmpty,    // for writing; created when missing, emptied at once
};

// Opens a file; -1 when it cannot be opened (see `lastFailure`).
int openFile(const std::string& name, Access access);
// Closes a file (nothing for -1); false when the system reports a fault, such as
// buffered bytes that could not be written.
bool closeFile(int fd);

// Why the last failing call of this unit on this thread failed.
struct Failure {
  bool notFound = false;  // the file (or a folder on its path) does not exist
  std::string reason;     // the system's words, e.g. "Permission denied"
};
const Failure& lastFailure();

// Reads up to `size` bytes: the count read, 0 at the end of the file, -1 on a
// fault. Interrupted reads are retried.
std::ptrdiff_t readSome(int fd, void* buffer, std::size_t size);
// Writes all `size` bytes; false on a fault.
bool writeAll(int fd, const void* data, std::size_t size);
// Writes the pieces one after the other, all of them, in as few calls to the
// system as it allows; false on a fault.
bool writeAll(int fd, std::span<const std::string_view> pieces);
// Empties an open file.
bool truncateToEmpty(int fd);
// Moves the read position back to the start.
bool rewindFile(int fd);
// Moves the read and write position to `offset` bytes from the start.
bool seekTo(int fd, std::uint64_t offset);
// The size of an open regular file; false when it is no regular file (a folder,
// a pipe, a device).
bool regularFileSize(int fd, std::uint64_t& size);
// Tells the system that the file is read once, front to back.
void adviseSequential(int fd);

// A block of `size` bytes of fresh zeroed memory, aligned to 4096 bytes at
// least, for the large arrays of a run; nullptr when there is no memory. Where
// the system offers it, the block is backed by large pages (2 MB on Linux), so
// that the first touch of its memory costs one page fault per large page rather
// than one per 4 KB.
void* allocatePages(std::size_t size);
// Gives back a block of `allocatePages` (with the size it was asked with).
void freePages(void* block, std::size_t size);

// Whether the eight-lane number renderers (wide_fields.hpp) may run, where the
// processor has the instructions: the compiler for Windows does not align the
// stack for 64-byte vectors, so there the straight renderers do all the work.
bool wideVectorRendering();

// Whether the descriptor is a terminal (a console window on Windows).
bool isTerminal(int fd);

// Whether the descriptor is a terminal that shows UTF-8 rather than code page
// 932: the character set of the user's locale is UTF-8 (on Windows: a console
// whose output code page is not 932).
bool terminalShowsUtf8(int fd);
// Whether `c` is the first byte of a two-byte code page 932 character.
inline bool isCp932LeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
// Code page 932 text as UTF-8; a byte that starts no code page 932 character
// becomes U+FFFD.
std::string cp932ToUtf8(std::string_view text);
// Writes UTF-8 console text (on Windows, to a console, through the
// wide-character console call); false on a fault.
bool writeConsoleUtf8(int fd, std::string_view text);

// True when both names exist and are the same file. On Windows this holds for
// names that differ in letter case or by a leading ".\" too.
bool sameFile(const std::string& a, const std::string& b);

// Whether the name is that of an existing folder.
bool isFolder(const std::string& name);
// Makes the folder `name` and any missing folders above it; true when it is a
// folder afterwards, false (see `lastFailure`) when it cannot be made, as when a
// file of its name or of a folder above it is in the way ("Not a directory").
bool makeFolders(const std::string& name);
// The name of a file without its folders and without its extension, split at
// this system's separators: "out/run.res" gives "run".
std::string fileStem(const std::string& name);
// A file name as UTF-8, for files that must hold it as such (an XML file that
// names other files): on Windows the programs take names in code page 932; on
// Linux a name is already in the system's own form and stays as it is.
std::string nameInUtf8(const std::string& name);

// Removes a file; false when it cannot be removed.
bool removeFile(const std::string& name);
// Moves `from` to `to` in one step, replacing a file of that name.
bool replaceFile(const std::string& from, const std::string& to);

}  // namespace gw::platform
