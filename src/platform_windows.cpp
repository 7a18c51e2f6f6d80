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
#include <limits>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <windows.h>
#include <aclapi.h>

#include "file_identity.h"
#include "platform.h"

#ifdef __MINGW32__
// The arguments are three exact names: MinGW-w64's runtime expands none of
// them as a wildcard (toolchains differ in the default; MSVC's expands only
// with setargv.obj).
extern "C" {
int _dowildcard = 0;
}
#endif

namespace os {

namespace {

// What one read or write asks for, at most: fits the count of every system.
unsigned int chunk(std::size_t size) {
  return static_cast<unsigned int>(
      std::min(size, static_cast<std::size_t>(std::numeric_limits<int>::max())));
}

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

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The name itself, a reparse point there not followed, to ask about it.
HANDLE open_name_itself(const std::string& name) {
  return CreateFileW(wide_from_utf8(name.c_str()).c_str(), FILE_READ_ATTRIBUTES, share_all,
                     nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

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
bool final_path(HANDLE file, std::wstring& path, DWORD volume = VOLUME_NAME_DOS) {
  path.assign(1024, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD size = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                                 FILE_NAME_NORMALIZED | volume);
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
  constexpr DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY;
  const HANDLE one = ReOpenFile(first, first_access, share_all, 0);
  const HANDLE other = ReOpenFile(second, second_access, share_all, 0);
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

// A C runtime descriptor that owns `handle`; -1, the handle closed, when
// there is none (or no handle).
int descriptor_of(HANDLE handle, int flags) {
  if (handle == INVALID_HANDLE_VALUE) return -1;
  const int file = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
  if (file < 0) CloseHandle(handle);
  return file;
}

// Another process (an indexer, a virus scanner, a reader) may hold a file
// without sharing what is asked for a moment: it is tried for about two
// seconds.
HANDLE create_file(const std::wstring& name, DWORD access, DWORD share, DWORD disposition) {
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt <= 40; ++attempt) {
    if (attempt > 0) Sleep(50);
    handle = CreateFileW(name.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
    if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) break;
  }
  return handle;
}

open_error error_of(DWORD error) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return open_error::exists;
    case ERROR_FILE_NOT_FOUND:
      return open_error::absent;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return open_error::denied;
    default:
      return open_error::failed;
  }
}

file_kind kind_of(HANDLE file) {
  switch (GetFileType(file)) {
    case FILE_TYPE_DISK:
      return file_kind::regular;
    case FILE_TYPE_CHAR:
      return file_kind::character_device;
    case FILE_TYPE_PIPE:
      return file_kind::fifo;
    default:
      return file_kind::other;
  }
}

// A disk file's links, size and ids; a file whose deletion is pending has
// no name left.
bool status_of_handle(HANDLE file, file_status& status) {
  status = {};
  status.kind = kind_of(file);
  if (status.kind != file_kind::regular) return true;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(file, &info) == 0) return false;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) status.kind = file_kind::directory;
  status.links = info.nNumberOfLinks;
  status.size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
  status.volume = info.dwVolumeSerialNumber;
  status.node = std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
  FILE_STANDARD_INFO standard{};
  if (GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard) != 0 &&
      standard.DeletePending) {
    status.links = 0;
  }
  FILE_BASIC_INFO times{};
  if (GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof times) == 0) return false;
  status.modified = times.LastWriteTime.QuadPart;
  status.changed = times.ChangeTime.QuadPart;
  return true;
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
// (_fileno gives -2), and the console drops what it is given. A path on an
// empty card reader fails at once, as Microsoft advises every program,
// rather than stopping a build on a dialog.
bool prepare_process() {
  SetErrorMode(SEM_FAILCRITICALERRORS);
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
    std::fwrite(text.data(), 1, text.size(), stdout);
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
  if (handle_ == nullptr) return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
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

// An offset given to a synchronous handle: the read starts there, and one
// at the end fails with ERROR_HANDLE_EOF.
std::ptrdiff_t read_at(int file, std::uint64_t offset, char* buffer, std::size_t size) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  if (ReadFile(handle_of(file), buffer, chunk(size), &got, &at) == 0) {
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
  }
  return static_cast<std::ptrdiff_t>(got);
}

// In text mode the count says how many of the caller's bytes were taken, not
// which of them reached the file when a write inside failed: anything short
// of all of them is a failure, never written again.
bool write_all(int file, std::string_view text) {
  while (!text.empty()) {
    const unsigned int size = chunk(text.size());
    if (_write(file, text.data(), size) != static_cast<int>(size)) return false;
    text.remove_prefix(size);
  }
  return true;
}

bool close_file(int file) { return _close(file) == 0; }

// A file on a share (one with a remote protocol) is flushed, as its server
// may report a full disk or a quota only then and the close reports
// nothing; a local disk allocates the space as each write is taken.
bool settle_writes(int file) {
  FILE_REMOTE_PROTOCOL_INFO protocol{};
  const bool remote = GetFileInformationByHandleEx(handle_of(file), FileRemoteProtocolInfo,
                                                   &protocol, sizeof protocol) != 0;
  return !remote || _commit(file) == 0;
}

// Windows opens by whole path: the place's name is the full path, in the
// \\?\ form that no length limit applies to, so that the new file's longer
// name beside the header works where the header's does. Device names
// (\\.\NUL) stay as they are.
bool open_folder(const char* path, place& at) {
  at.folder = -1;
  const std::wstring name = wide_from_utf8(path);
  if (name.empty() || name.back() == L'\\' || name.back() == L'/') return false;
  std::wstring full(GetFullPathNameW(name.c_str(), 0, nullptr, nullptr), L'\0');
  const DWORD size =
      GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (size == 0 || size >= full.size()) return false;
  full.resize(size);
  const bool verbatim = full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\");
  if (!verbatim && full.starts_with(L"\\\\")) {
    full = L"\\\\?\\UNC\\" + full.substr(2);
  } else if (!verbatim && full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
    full = L"\\\\?\\" + full;
  }
  at.name = utf8_from_wide(full.c_str());
  return true;
}

void close_folder(place&) {}

// Links are followed, as the system opens files; the header's text is
// written in text mode.
opened open_at(const place& at, how mode) {
  const std::wstring name = wide_from_utf8(at.name.c_str());
  HANDLE handle = INVALID_HANDLE_VALUE;
  int flags = _O_WRONLY | _O_TEXT;
  switch (mode) {
    case how::read:
      handle = create_file(name, GENERIC_READ, share_all, OPEN_EXISTING);
      flags = _O_RDONLY;
      break;
    case how::create:
    case how::create_private:  // WRITE_DAC: the replaced header's DACL is given to it
      handle = create_file(name, GENERIC_WRITE | WRITE_DAC, FILE_SHARE_READ | FILE_SHARE_DELETE,
                           CREATE_NEW);
      break;
    case how::write:
    case how::write_waiting:
      handle = create_file(name, GENERIC_WRITE, share_all, OPEN_ALWAYS);
      break;
  }
  if (handle == INVALID_HANDLE_VALUE) return {-1, error_of(GetLastError())};
  const int file = descriptor_of(handle, flags);
  return {file, file == -1 ? open_error::failed : open_error::none};
}

bool status_of(int file, file_status& status) { return status_of_handle(handle_of(file), status); }

// The name itself, a reparse point not followed.
bool status_at(const place& at, file_status& status) {
  const HANDLE file = open_name_itself(at.name);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = status_of_handle(file, status);
  CloseHandle(file);
  return known;
}

// Folders are guarded by their ACLs, which a sticky bit does not stand for.
bool folder_status(const place&, file_status& status) {
  status = {};
  status.kind = file_kind::directory;
  return true;
}

bool follow_link(place&) { return false; }

// A name-surrogate reparse point (a symbolic link, a junction) is followed
// to the file it leads to, by its final path: with a drive letter, else by
// the volume's GUID (a volume mounted without a letter). Any other reparse
// point (a cloud placeholder, a deduplicated file) leads to itself.
bool final_place(int file, place& at) {
  const HANDLE name = open_name_itself(at.name);
  if (name == INVALID_HANDLE_VALUE) return false;
  FILE_ATTRIBUTE_TAG_INFO tag{};
  const bool known =
      GetFileInformationByHandleEx(name, FileAttributeTagInfo, &tag, sizeof tag) != 0;
  CloseHandle(name);
  if (!known) return false;
  if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ||
      !IsReparseTagNameSurrogate(tag.ReparseTag)) {
    return true;
  }
  std::wstring resolved;
  if (!final_path(handle_of(file), resolved) &&
      !final_path(handle_of(file), resolved, VOLUME_NAME_GUID)) {
    return false;
  }
  at.name = utf8_from_wide(resolved.c_str());
  return true;
}

std::uint32_t user() { return 0; }

bool make_blocking(int) { return true; }

bool empty_file(int file) {
  const HANDLE handle = handle_of(file);
  return GetFileType(handle) != FILE_TYPE_DISK || SetEndOfFile(handle) != 0;
}

// Wine gives no path and no lock for a redirected standard output.
bool identity_facts(int first, int second, file_facts& a, file_facts& b, path_match& paths) {
  const HANDLE one = handle_of(first);
  const HANDLE other = handle_of(second);
  std::wstring one_path;
  std::wstring other_path;
  a = describe(one, one_path);
  b = describe(other, other_path);
  if (a.disk && b.disk) identify(one, other, a, b);
  paths = compare_paths(one_path, other_path);
  return true;
}

lock_answer try_lock(int first, bool first_writes, int second, bool second_writes) {
  return try_lock(handle_of(first), first_writes ? GENERIC_WRITE : GENERIC_READ,
                  handle_of(second), second_writes ? GENERIC_WRITE : GENERIC_READ);
}

// Owners and modes are POSIX's: a Windows file's owner and rights are in its
// security descriptor.
bool set_owner(int, std::uint32_t, std::uint32_t) { return true; }
bool set_mode(int, std::uint32_t) { return true; }
attribute_set set_attribute(int, const char*, std::string_view) { return attribute_set::failed; }
bool remove_attribute(int, const char*) { return true; }

// The DACL, whether it is protected from the folder's inheritable entries,
// and the file attributes.
bool read_rights(int file, file_rights& rights) {
  rights = {};
  const HANDLE handle = handle_of(file);
  if (!status_of_handle(handle, rights.status)) return false;
  FILE_BASIC_INFO basic{};
  if (GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) == 0) return false;
  rights.flags = basic.FileAttributes;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                      nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ACL_SIZE_INFORMATION size{};
  bool read = GetSecurityDescriptorControl(descriptor, &control, &revision) != 0;
  rights.dacl_protected = (control & SE_DACL_PROTECTED) != 0;
  rights.has_dacl = dacl != nullptr;
  if (read && dacl != nullptr) {
    read = GetAclInformation(dacl, &size, sizeof size, AclSizeInformation) != 0;
    if (read) rights.dacl.assign(reinterpret_cast<const char*>(dacl), size.AclBytesInUse);
  }
  LocalFree(descriptor);
  return read;
}

bool set_security(int file, const file_rights& rights) {
  std::string dacl = rights.dacl;  // SetSecurityInfo takes a pointer it may not change
  const SECURITY_INFORMATION what =
      DACL_SECURITY_INFORMATION | (rights.dacl_protected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                         : UNPROTECTED_DACL_SECURITY_INFORMATION);
  return SetSecurityInfo(handle_of(file), SE_FILE_OBJECT, what, nullptr, nullptr,
                         rights.has_dacl ? reinterpret_cast<PACL>(dacl.data()) : nullptr,
                         nullptr) == ERROR_SUCCESS;
}

// Times left as they are (0), attributes as given (or normal, for none).
bool set_flags(int file, std::uint32_t flags) {
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = flags == 0 ? FILE_ATTRIBUTE_NORMAL : flags;
  return SetFileInformationByHandle(handle_of(file), FileBasicInfo, &basic, sizeof basic) != 0;
}

unsigned long process_id() { return GetCurrentProcessId(); }

const char* const separators = "\\/";
const std::string_view line_end = "\r\n";

namespace {

// FILE_RENAME_INFO as FileRenameInfoEx (22) takes it, with its flags
// (Windows 10 1607 and later): declared here, as older SDKs lack them.
struct rename_info {
  DWORD flags;
  HANDLE root;
  DWORD name_bytes;
  WCHAR name[1];
};
constexpr auto file_rename_info_ex = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD replace_if_exists = 0x1, posix_semantics = 0x2, ignore_read_only = 0x40;

// Replaces `to` even while others hold it open (sharing deletion), and a
// read-only `to` too, where the file system has POSIX semantics (NTFS).
bool rename_posix(const std::wstring& from, const std::wstring& to) {
  const HANDLE file = CreateFileW(from.c_str(), DELETE | SYNCHRONIZE, share_all, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const std::size_t name_bytes = to.size() * sizeof(WCHAR);
  std::string buffer(offsetof(rename_info, name) + name_bytes + sizeof(WCHAR), '\0');
  auto* const info = reinterpret_cast<rename_info*>(buffer.data());
  info->flags = replace_if_exists | posix_semantics | ignore_read_only;
  info->name_bytes = static_cast<DWORD>(name_bytes);
  std::memcpy(info->name, to.c_str(), name_bytes);
  const bool renamed = SetFileInformationByHandle(file, file_rename_info_ex, info,
                                                  static_cast<DWORD>(buffer.size())) != 0;
  CloseHandle(file);
  return renamed;
}

}  // namespace

// With POSIX semantics where the system has them; else by MoveFileExW,
// which cannot replace a read-only file, and, as another process (an
// indexer, a virus scanner) may hold the header for a moment, is tried again
// for about two seconds.
rename_result rename_to(const place& at, const std::string& from) {
  const std::wstring source = wide_from_utf8(from.c_str());
  const std::wstring target = wide_from_utf8(at.name.c_str());
  if (rename_posix(source, target)) return rename_result::done;
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return rename_result::read_only;
  }
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) {
      return rename_result::done;
    }
    const DWORD error = GetLastError();
    if (attempt == 40 || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION &&
                          error != ERROR_LOCK_VIOLATION)) {
      return rename_result::failed;
    }
    Sleep(50);
  }
}

// A new file given the read-only attribute of the header it was to replace
// is removed too.
void remove_at(const place& at) {
  const std::wstring name = wide_from_utf8(at.name.c_str());
  if (DeleteFileW(name.c_str()) != 0) return;
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
      SetFileAttributesW(name.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) != 0) {
    DeleteFileW(name.c_str());
  }
}

}  // namespace os
