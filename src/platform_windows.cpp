// The Windows side of the platform layer: files by UTF-16 name through C
// runtime descriptors in text mode, told apart by volume and file id, and a
// console written in UTF-16.
#ifndef NOMINMAX
#define NOMINMAX  // std::min, not a macro
#endif
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <windows.h>

#include "file_identity.h"
#include "platform.h"
#include "platform_system.h"

namespace {

using os::chunk;

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

HANDLE handle_of(int file) { return reinterpret_cast<HANDLE>(_get_osfhandle(file)); }

// FILE_ID_INFO and its class, FileIdInfo (18), which Windows 8 brought:
// declared here, so that the program builds for Windows 7 too, where the
// call fails and the older index serves.
struct file_id_info {
  ULONGLONG volume_serial_number;
  std::array<unsigned char, 16> file_id;
};
constexpr auto file_id_info_class = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);
#if _WIN32_WINNT >= 0x0602
static_assert(file_id_info_class == FileIdInfo && sizeof(file_id_info) == sizeof(FILE_ID_INFO));
#endif

// The ids of two files in one form, into their facts: the 128-bit ids, or
// for both the older 64-bit index where either has no 128-bit id (or one of
// 0). Ids stay unknown when neither form can be had.
void identify(HANDLE first, HANDLE second, file_facts& a, file_facts& b) {
  file_id_info x{};
  file_id_info y{};
  const std::array<unsigned char, 16> zero{};
  if (GetFileInformationByHandleEx(first, file_id_info_class, &x, sizeof x) != 0 &&
      GetFileInformationByHandleEx(second, file_id_info_class, &y, sizeof y) != 0 &&
      x.file_id != zero && y.file_id != zero) {
    a.volume = x.volume_serial_number;
    b.volume = y.volume_serial_number;
    a.id = x.file_id;
    b.id = y.file_id;
    return;
  }
  BY_HANDLE_FILE_INFORMATION info[2]{};
  if (GetFileInformationByHandle(first, &info[0]) == 0 ||
      GetFileInformationByHandle(second, &info[1]) == 0) {
    return;
  }
  file_facts* const out[2] = {&a, &b};
  for (int i = 0; i < 2; ++i) {
    const std::uint64_t index = std::uint64_t{info[i].nFileIndexHigh} << 32 | info[i].nFileIndexLow;
    out[i]->volume = info[i].dwVolumeSerialNumber;
    std::memcpy(out[i]->id.data(), &index, sizeof index);
  }
}

// The file's path with every link, short name and drive alias resolved:
// \\?\C:\... on a drive, \\?\UNC\server\share\... on a share.
bool final_path(HANDLE file, std::wstring& path) {
  path.assign(1024, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD size = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                                 FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (size == 0) return false;
    if (size < path.size()) {
      path.resize(size);
      return true;
    }
    path.assign(size, L'\0');
  }
  return false;
}

// A share, or a drive that stands for one.
bool remote_path(const std::wstring& path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) return true;
  if (path.size() < 7 || !path.starts_with(L"\\\\?\\") || path[5] != L':') return false;
  const wchar_t root[] = {path[4], L':', L'\\', L'\0'};
  return GetDriveTypeW(root) == DRIVE_REMOTE;
}

// What the system says of one file: a disk file or not, on a share (told by
// a remote protocol, which local files lack, or by its final path), its
// links, size and final path (empty when it cannot be had).
file_facts describe(HANDLE file, std::wstring& path) {
  file_facts facts;
  facts.disk = GetFileType(file) == FILE_TYPE_DISK;
  if (!facts.disk || !final_path(file, path)) path.clear();
  FILE_REMOTE_PROTOCOL_INFO protocol{};
  facts.remote = GetFileInformationByHandleEx(file, FileRemoteProtocolInfo, &protocol,
                                              sizeof protocol) != 0 ||
                 remote_path(path);
  FILE_STANDARD_INFO standard{};
  if (GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard) != 0) {
    facts.links = standard.NumberOfLinks;
    facts.size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
  }
  return facts;
}

path_match compare_paths(const std::wstring& one, const std::wstring& other) {
  if (one.empty() || other.empty()) return path_match::unknown;
  return CompareStringOrdinal(one.c_str(), -1, other.c_str(), -1, TRUE) == CSTR_EQUAL
             ? path_match::equal
             : path_match::different;
}

// Byte-range locks belong to a file, not to a handle: a lock taken through
// one, far past the end of any file, stops the same lock through the other
// only when both lead to one file. Each is tried through a synchronous
// handle of its own, with the access its file was opened with, so that no
// lock waits and none of the run's handles holds one.
lock_answer try_lock(HANDLE first, DWORD first_access, HANDLE second, DWORD second_access) {
  constexpr DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  constexpr DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY;
  const HANDLE one = ReOpenFile(first, first_access, share, 0);
  const HANDLE other = ReOpenFile(second, second_access, share, 0);
  OVERLAPPED at{};
  at.OffsetHigh = 0x40000000;  // byte 2^62
  lock_answer answer = lock_answer::failed;
  if (one != INVALID_HANDLE_VALUE && other != INVALID_HANDLE_VALUE &&
      LockFileEx(one, flags, 0, 1, 0, &at) != 0) {
    answer = LockFileEx(other, flags, 0, 1, 0, &at) != 0 ? lock_answer::granted
                                                          : lock_answer::refused;
    if (answer == lock_answer::granted) UnlockFileEx(other, 0, 1, 0, &at);
    UnlockFileEx(one, 0, 1, 0, &at);
  }
  if (one != INVALID_HANDLE_VALUE) CloseHandle(one);
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  return answer;
}

// Gathers what the system says of both files (Wine gives no path and no
// lock for a redirected standard output) and lets judge_identity decide,
// trying the lock only where nothing else tells.
bool same_file(HANDLE first, DWORD first_access, HANDLE second) {
  std::wstring one;
  std::wstring other;
  file_facts a = describe(first, one);
  file_facts b = describe(second, other);
  if (a.disk && b.disk) identify(first, second, a, b);
  const path_match paths = compare_paths(one, other);
  identity verdict = judge_identity(a, b, paths, lock_answer::not_tried);
  if (verdict == identity::try_lock) {
    verdict = judge_identity(a, b, paths, try_lock(first, first_access, second, GENERIC_WRITE));
  }
  return verdict == identity::one;
}

// A C runtime descriptor that owns `handle`; -1, the handle closed, when
// there is none (or no handle).
int descriptor_of(HANDLE handle, int flags) {
  if (handle == INVALID_HANDLE_VALUE) return -1;
  const int file = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
  if (file < 0) CloseHandle(handle);
  return file;
}

// Opens the header without changing it, creating it if need be (then
// `created` is set), or only when it exists; -1 when it cannot be opened.
// Another process (an indexer, a virus scanner, a reader) may hold it
// without sharing writes for a moment: it is tried for about two seconds.
int open_header_as(const char* path, DWORD disposition, bool& created) {
  const std::wstring name = wide_from_utf8(path);
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt <= 40; ++attempt) {
    if (attempt > 0) Sleep(50);
    handle = CreateFileW(name.c_str(), GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) break;
  }
  created = handle != INVALID_HANDLE_VALUE && disposition == OPEN_ALWAYS &&
            GetLastError() != ERROR_ALREADY_EXISTS && GetFileType(handle) == FILE_TYPE_DISK;
  return descriptor_of(handle, _O_WRONLY | _O_TEXT);
}

// A standard descriptor with no handle: a program started without one (by a
// GUI program, a service, a detached launch) finds -2 (_NO_CONSOLE_FILENO)
// or a null or invalid handle. Standard output may also be (under Wine) a
// disk handle left by a closed descriptor, whose writes fail; pipes are not
// probed, as a write of nothing can end a pipe's reading.
bool standard_missing(int standard) {
  const intptr_t raw = _get_osfhandle(standard);
  if (raw == -1 || raw == -2 || raw == 0) return true;
  const auto handle = reinterpret_cast<HANDLE>(raw);
  if (standard != 1 || GetFileType(handle) != FILE_TYPE_DISK) return false;
  DWORD written = 0;
  return WriteFile(handle, "", 0, &written, nullptr) == 0 &&
         GetLastError() == ERROR_INVALID_HANDLE;
}

// How many of `size` bytes of UTF-8 can be shown now: all but the start of
// a last character that the next write completes.
std::size_t complete_characters(const char* bytes, std::size_t size) {
  std::size_t start = size;  // steps back over at most three continuation bytes
  while (start > 0 && size - start < 3 && (bytes[start - 1] & 0xC0) == 0x80) --start;
  if (start == 0) return size;
  const auto lead = static_cast<unsigned char>(bytes[start - 1]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return size - (start - 1) < length ? start - 1 : size;
}

}  // namespace

// A missing descriptor gets the null device, so that no file opened later
// takes its number. The C runtime's stdout stays without a stream then
// (_fileno gives -2), and the console drops what it is given.
bool prepare_standard_streams() {
  for (int standard = 0; standard <= 2; ++standard) {
    if (!standard_missing(standard)) continue;
    const HANDLE handle = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    const int null_device = descriptor_of(handle, _O_TEXT);
    if (null_device == -1) return false;
    const bool moved = null_device == standard || _dup2(null_device, standard) == 0;
    if (null_device != standard) _close(null_device);
    if (!moved) return false;
  }
  return true;
}

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

console::console() : nowhere_(_fileno(stdout) < 0) {
  DWORD mode = 0;
  if (!nowhere_ && GetConsoleMode(handle_of(1), &mode) != 0) handle_ = handle_of(1);
}

void console::write(std::string_view text) {
  if (nowhere_) return;
  if (handle_ == nullptr) {
    os::write_standard_output(text);
    return;
  }
  while (!text.empty()) {
    char bytes[512];
    std::memcpy(bytes, pending_, pending_size_);
    const std::size_t take = std::min(text.size(), sizeof bytes - pending_size_);
    std::memcpy(bytes + pending_size_, text.data(), take);
    text.remove_prefix(take);
    const std::size_t size = pending_size_ + take;
    const std::size_t whole = complete_characters(bytes, size);
    pending_size_ = size - whole;
    std::memcpy(pending_, bytes + whole, pending_size_);
    write_wide(bytes, whole);
  }
}

// At most 512 bytes, which never make more than 512 UTF-16 units.
void console::write_wide(const char* text, std::size_t size) {
  if (size == 0) return;
  wchar_t wide[512];
  const int count = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(size), wide, 512);
  DWORD written = 0;
  if (count <= 0 || WriteConsoleW(handle_, wide, static_cast<DWORD>(count), &written, nullptr) == 0 ||
      written != static_cast<DWORD>(count)) {
    failed_ = true;
  }
}

bool console::flush() {
  if (nowhere_) return true;
  if (handle_ == nullptr) return os::flush_standard_output();
  write_wide(pending_, pending_size_);  // an unfinished character, shown as it can be
  pending_size_ = 0;
  return !failed_;
}


// A folder cannot be opened so, unlike on POSIX.
int open_listing(const char* path) {
  int file = -1;
  _wsopen_s(&file, wide_from_utf8(path).c_str(), _O_RDONLY | _O_TEXT | _O_NOINHERIT, _SH_DENYNO,
            0);
  return file;
}

std::ptrdiff_t read_some(int file, char* buffer, std::size_t size) {
  return _read(file, buffer, chunk(size));
}

bool close_file(int file) { return _close(file) == 0; }

namespace os {

// In text mode the count says how many of the caller's bytes were taken, not
// which of them reached the file when a write inside failed: anything short
// of all of them is a failure, never written again.
bool write_bytes(int file, std::string_view& text) {
  const unsigned int size = chunk(text.size());
  if (_write(file, text.data(), size) != static_cast<int>(size)) return false;
  text.remove_prefix(size);
  return true;
}

const char* const separators = "\\/";

int open_for_writing(const char* path, bool& created) {
  return open_header_as(path, OPEN_ALWAYS, created);
}

// A reparse point is followed to the file it leads to: a link's target, or
// the file itself for a reparse point that is no link (a cloud placeholder,
// a deduplicated file).
found look_at(const char* path, std::string& target) {
  target = path;
  const std::wstring name = wide_from_utf8(path);
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return GetLastError() == ERROR_FILE_NOT_FOUND ? found::nothing : found::other;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return found::other;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return found::regular_file;
  const HANDLE file = CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return found::other;  // leads nowhere: written in place
  std::wstring resolved;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool regular = GetFileType(file) == FILE_TYPE_DISK && final_path(file, resolved) &&
                       GetFileInformationByHandle(file, &info) != 0 &&
                       (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  CloseHandle(file);
  if (!regular) return found::other;
  target = utf8_from_wide(resolved.c_str());
  return found::regular_file;
}

// A device name, such as NUL, looks like a file until it is open.
int open_existing(const char* path, bool& regular) {
  bool created = false;
  const int file = open_header_as(path, OPEN_EXISTING, created);
  regular = file != -1 && GetFileType(handle_of(file)) == FILE_TYPE_DISK;
  return file;
}

// Refuses the open header when it is the listing or the disk file that
// standard output goes to.
header_open refuse_taken(int listing, int header) {
  const HANDLE handle = handle_of(header);
  if (same_file(handle_of(listing), GENERIC_READ, handle)) return header_open::same_as_listing;
  const HANDLE output = handle_of(1);
  std::fflush(stdout);  // what the console was given is in its file, which has a size of its own
  if (GetFileType(output) == FILE_TYPE_DISK && same_file(output, GENERIC_WRITE, handle)) {
    return header_open::same_as_console;
  }
  return header_open::opened;
}

bool empty_file(int file) {
  const HANDLE handle = handle_of(file);
  return GetFileType(handle) != FILE_TYPE_DISK || SetEndOfFile(handle) != 0;
}

// Reads through a second handle of the same file, in binary. A file that
// another run is replacing (its deletion pending) has nothing to protect.
int open_reader(int file, const char*, bool& regular) {
  const HANDLE handle = handle_of(file);
  regular = GetFileType(handle) == FILE_TYPE_DISK;
  if (!regular) return -1;
  const HANDLE reader =
      ReOpenFile(handle, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
  FILE_STANDARD_INFO standard{};
  if (reader == INVALID_HANDLE_VALUE &&
      GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard) != 0 &&
      standard.DeletePending) {
    regular = false;
  }
  return descriptor_of(reader, _O_RDONLY);
}

bool size_of(int reader, std::uint64_t& size) {
  LARGE_INTEGER bytes{};
  if (GetFileSizeEx(handle_of(reader), &bytes) == 0) return false;
  size = static_cast<std::uint64_t>(bytes.QuadPart);
  return true;
}

// An offset given to a synchronous handle: the read starts there, and one
// at the end fails with ERROR_HANDLE_EOF.
std::ptrdiff_t read_at(int reader, std::uint64_t offset, char* buffer, std::size_t size) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  if (ReadFile(handle_of(reader), buffer, chunk(size), &got, &at) == 0) {
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
  }
  return static_cast<std::ptrdiff_t>(got);
}

unsigned long process_id() { return GetCurrentProcessId(); }

// Creates `part` for writing, in text mode; -1 with `exists` when it is there.
int create_new(const std::string& part, int, bool& exists, bool& denied) {
  const HANDLE handle =
      CreateFileW(wide_from_utf8(part.c_str()).c_str(), GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                  nullptr);
  exists = handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS;
  denied = handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED;
  return descriptor_of(handle, _O_WRONLY | _O_TEXT);
}

// Another process (an indexer, a virus scanner) may hold the header for a
// moment: the rename is tried again for about two seconds. The new file has
// the folder's default security and the usual attributes.
bool move_over(const std::string& part, const char* path) {
  const std::wstring from = wide_from_utf8(part.c_str());
  const std::wstring to = wide_from_utf8(path);
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) return true;
    const DWORD error = GetLastError();
    if (attempt == 40 || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION &&
                          error != ERROR_LOCK_VIOLATION)) {
      return false;
    }
    Sleep(50);
  }
}

void remove_file(const std::string& path) { DeleteFileW(wide_from_utf8(path.c_str()).c_str()); }

}  // namespace os
