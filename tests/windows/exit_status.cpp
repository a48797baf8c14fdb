// exit_status: runs a Windows program with the standard streams of this one and
// writes its whole exit status into a file. An emulator hands only the low
// 8 bits of a status to the system it runs on; this reports all of them.
//
// usage: exit_status STATUS_FILE PROGRAM [ARGS...]
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// One argument of a command line, quoted so that the C runtime reads it back as is.
std::wstring quoted(const wchar_t* arg) {
  std::wstring out = L"\"";
  std::size_t slashes = 0;
  for (const wchar_t* p = arg; *p != L'\0'; ++p) {
    if (*p == L'\\') {
      ++slashes;
      continue;
    }
    out.append(*p == L'"' ? 2 * slashes + 1 : slashes, L'\\');
    slashes = 0;
    out += *p;
  }
  out.append(2 * slashes, L'\\');
  return out + L"\"";
}

void inherit(DWORD which) {
  HANDLE h = GetStdHandle(which);
  if (h != nullptr && h != INVALID_HANDLE_VALUE) SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fputs("usage: exit_status STATUS_FILE PROGRAM [ARGS...]\n", stderr);
    return 125;
  }
  std::wstring line;
  for (int k = 2; k < argc; ++k) line += (k > 2 ? L" " : L"") + quoted(argv[k]);
  for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) inherit(which);
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(argv[2], line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process)) {
    std::fprintf(stderr, "exit_status: cannot start %ls (error %lu)\n", argv[2], GetLastError());
    return 125;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  FILE* file = _wfopen(argv[1], L"wb");
  if (file == nullptr || std::fprintf(file, "%lu\n", status) < 0 || std::fclose(file) != 0) {
    std::fprintf(stderr, "exit_status: cannot write %ls\n", argv[1]);
    return 125;
  }
  return static_cast<int>(status & 0xff);
}
