// The operating system's side of the translator. Both systems use C runtime
// descriptors; Windows opens them by UTF-16 names, in text mode.
#include "platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// What one read or write asks for, at most: fits the count of every system.
unsigned int chunk(std::size_t size) {
  return static_cast<unsigned int>(
      std::min(size, static_cast<std::size_t>(std::numeric_limits<int>::max())));
}

#ifdef _WIN32

// The UTF-16 form of a UTF-8 name; empty, a name no file has, when `text`
// is not valid UTF-8.
std::wstring wide_from_utf8(const char* text) {
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide.data(), size);
  wide.resize(static_cast<std::size_t>(size) - 1);
  return wide;
}

int open_for_reading(const char* path) {
  return _wopen(wide_from_utf8(path).c_str(), _O_RDONLY | _O_TEXT | _O_NOINHERIT);
}

// Volume and file index: what tells one file from another on Windows,
// whatever names, drives or links lead to it.
bool same_file(HANDLE first, HANDLE second) {
  BY_HANDLE_FILE_INFORMATION a{};
  BY_HANDLE_FILE_INFORMATION b{};
  return GetFileInformationByHandle(first, &a) != 0 && GetFileInformationByHandle(second, &b) != 0 &&
         a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

// Opens the header without changing it; -1 when it cannot be opened.
int open_for_writing(const char* path) {
  const HANDLE handle = CreateFileW(wide_from_utf8(path).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return -1;
  const int file = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_TEXT);
  if (file < 0) CloseHandle(handle);
  return file;
}

// Refuses the open header when it is the listing, and empties it otherwise.
header_open empty_unless_listing(int listing, int header) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(header));
  if (same_file(reinterpret_cast<HANDLE>(_get_osfhandle(listing)), handle)) {
    return header_open::same_as_listing;
  }
  if (GetFileType(handle) == FILE_TYPE_DISK && SetEndOfFile(handle) == 0) {
    return header_open::failed;
  }
  return header_open::opened;
}

#else

int open_for_reading(const char* path) { return open(path, O_RDONLY | O_CLOEXEC); }

// Device and inode, or for block devices the device they stand for.
bool same_file(const struct stat& a, const struct stat& b) {
  if (a.st_dev == b.st_dev && a.st_ino == b.st_ino) return true;
  return S_ISBLK(a.st_mode) && S_ISBLK(b.st_mode) && a.st_rdev == b.st_rdev;
}

int open_for_writing(const char* path) { return open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666); }

// Refuses the open header when it is the listing, and empties it otherwise.
header_open empty_unless_listing(int listing, int header) {
  struct stat in {};
  struct stat out {};
  if (fstat(listing, &in) != 0 || fstat(header, &out) != 0) return header_open::failed;
  if (same_file(in, out)) return header_open::same_as_listing;
  if (S_ISREG(out.st_mode) && ftruncate(header, 0) != 0) return header_open::failed;
  return header_open::opened;
}

#endif

}  // namespace

int open_listing(const char* path) {
  const int file = open_for_reading(path);
  struct stat status {};
  if (file == -1 || (fstat(file, &status) == 0 && !S_ISDIR(status.st_mode))) return file;
  close(file);  // a directory, or a file the system cannot describe
  return -1;
}

header_open open_header(const char* path, int listing, int& header) {
  const int file = open_for_writing(path);
  if (file == -1) return header_open::failed;
  const header_open result = empty_unless_listing(listing, file);
  if (result == header_open::opened) {
    header = file;
  } else {
    close(file);
  }
  return result;
}

// The program catches no signal, so a read or write is never interrupted.
std::ptrdiff_t read_some(int file, char* buffer, std::size_t size) {
  return read(file, buffer, chunk(size));
}

bool write_all(int file, std::string_view text) {
  while (!text.empty()) {
    const std::ptrdiff_t written = write(file, text.data(), chunk(text.size()));
    if (written <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool close_file(int file) { return close(file) == 0; }

#ifdef _WIN32

std::string utf8_from_wide(const wchar_t* text) {
  const int size =
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return "\xFF";  // a lone surrogate: no valid name, so no file, stands for it
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, utf8.data(), size, nullptr,
                      nullptr);
  utf8.resize(static_cast<std::size_t>(size) - 1);
  return utf8;
}

utf8_console::utf8_console() {
  DWORD mode = 0;
  if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) == 0) return;
  saved_code_page_ = GetConsoleOutputCP();
  if (SetConsoleOutputCP(CP_UTF8) == 0) saved_code_page_ = 0;
}

utf8_console::~utf8_console() {
  if (saved_code_page_ == 0) return;
  std::fflush(stdout);
  SetConsoleOutputCP(saved_code_page_);
}

#else

bool guard_standard_streams() {
  for (int standard = 0; standard <= 2; ++standard) {
    if (fcntl(standard, F_GETFD) != -1 || errno != EBADF) continue;
    if (open("/dev/null", O_RDWR) != standard) return false;
  }
  return true;
}

#endif
