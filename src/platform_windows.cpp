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
#include <cstdlib>
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
#include "windows_handles.h"

#ifdef __MINGW32__
// The arguments are three exact names: MinGW-w64's runtime expands none of
// them as a wildcard (toolchains differ in the default; MSVC's expands only
// with setargv.obj).
extern "C" {
int _dowildcard = 0;
}
#endif

namespace os {

const std::int64_t ticks_per_second = 10000000;  // FILETIME: 100 ns
const char* const separators = "\\/";
const std::string_view line_end = "\r\n";
// "The only guarantee about a file time stamp is that the file time is
// correctly reflected when the handle that makes the change is closed."
const bool times_tell = false;

namespace {

using namespace windows;

// What one read or write asks for, at most: fits the count of every system.
unsigned int chunk(std::size_t size) {
  return static_cast<unsigned int>(
      std::min(size, static_cast<std::size_t>(std::numeric_limits<int>::max())));
}

// The name itself, a reparse point there not followed, to ask about it.
HANDLE open_name_itself(const std::string& name) {
  return CreateFileW(wide_from_utf8(name.c_str()).c_str(), FILE_READ_ATTRIBUTES, share_all,
                     nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
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

}  // namespace

namespace windows {

std::wstring wide_from_utf8(const char* text) {
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide.data(), size);
  wide.resize(static_cast<std::size_t>(size) - 1);
  return wide;
}

int descriptor_of(HANDLE handle, int flags) {
  if (handle == INVALID_HANDLE_VALUE) return -1;
  const int file = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
  if (file < 0) CloseHandle(handle);
  return file;
}


HANDLE create_file(const std::wstring& name, DWORD access, DWORD share, DWORD disposition,
                   SECURITY_ATTRIBUTES* security) {
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt <= 40; ++attempt) {
    if (attempt > 0) Sleep(50);
    handle = CreateFileW(name.c_str(), access, share, security, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) break;
  }
  return handle;
}

open_error error_of(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      return open_error::absent;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return open_error::denied;
    default:
      return open_error::failed;
  }
}

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

// A file on a share (one with a remote protocol) is flushed, as its server
// may report a full disk or a quota only then and the close reports
// nothing; a local disk allocates the space as each write is taken.
bool settle(HANDLE file) {
  FILE_REMOTE_PROTOCOL_INFO protocol{};
  const bool remote = GetFileInformationByHandleEx(file, FileRemoteProtocolInfo, &protocol,
                                                   sizeof protocol) != 0;
  return !remote || FlushFileBuffers(file) != 0;
}

bool delete_name(const std::wstring& name) {
  if (DeleteFileW(name.c_str()) != 0 || GetLastError() == ERROR_FILE_NOT_FOUND) return true;
  const DWORD attributes = GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
         SetFileAttributesW(name.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) != 0 &&
         DeleteFileW(name.c_str()) != 0;
}

}  // namespace windows

// A missing descriptor gets the null device, so that no file opened later
// takes its number. The C runtime's stdout stays without a stream then
// (_fileno gives -2), and the console drops what it is given. A path on an
// empty card reader fails at once, as Microsoft advises every program,
// rather than stopping a build on a dialog.
bool prepare_process() {
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS);  // what the parent set stays
  if (!catch_console_events()) return false;
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

void close_file(int file) { _close(file); }

namespace {

// A name that reading finds absent, where a link stands that leads nowhere:
// a name-surrogate reparse point, or a name that a new file cannot take
// (what Wine shows of a Unix link). The probe's file goes at its close.
bool dangling(const std::wstring& name) {
  const HANDLE itself = CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, share_all, nullptr,
                                    OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr);
  if (itself != INVALID_HANDLE_VALUE) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    const bool surrogate =
        GetFileInformationByHandleEx(itself, FileAttributeTagInfo, &tag, sizeof tag) != 0 &&
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        IsReparseTagNameSurrogate(tag.ReparseTag);
    CloseHandle(itself);
    return surrogate;
  }
  const HANDLE probe = CreateFileW(name.c_str(), DELETE, 0, nullptr, CREATE_NEW,
                                   FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
  return probe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS;
}

bool settle_and_close(int file) {
  const bool settled = settle(handle_of(file));
  return _close(file) == 0 && settled;
}

// A name-surrogate reparse point (a symbolic link, a junction) at `at` is
// followed to the file that `file` is, by its final path: with a drive
// letter, else by the volume's GUID (a volume mounted without a letter). Any
// other reparse point (a cloud placeholder, a deduplicated file) leads to
// itself.
bool follow_to(HANDLE file, place& at) {
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
  if (!final_path(file, resolved) && !final_path(file, resolved, VOLUME_NAME_GUID)) return false;
  at.name = utf8_from_wide(resolved.c_str());
  return true;
}

}  // namespace

// Windows opens by whole path: the place's name is the full path, in the
// \\?\ form that no length limit applies to, so that the new file's longer
// name beside the header works where the header's does. Device names
// (\\.\NUL) stay as they are. Folders are guarded by their ACLs, which no
// link rule stands for.
place_result open_place(const char* path, place& at, link_rule) {
  at.folder = -1;
  const std::wstring name = wide_from_utf8(path);
  if (name.empty() || name.back() == L'\\' || name.back() == L'/') return place_result::failed;
  std::wstring full(GetFullPathNameW(name.c_str(), 0, nullptr, nullptr), L'\0');
  const DWORD size =
      GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (size == 0 || size >= full.size()) return place_result::failed;
  full.resize(size);
  const bool verbatim = full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\");
  if (!verbatim && full.starts_with(L"\\\\")) {
    full = L"\\\\?\\UNC\\" + full.substr(2);
  } else if (!verbatim && full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
    full = L"\\\\?\\" + full;
  }
  at.name = utf8_from_wide(full.c_str());
  return place_result::found;
}

// No folder is held.
void close_place(place&) {}

// Links are followed, as the system opens files; the header's text is
// written in text mode.
opened open_header(place& at, how mode) {
  const std::wstring name = wide_from_utf8(at.name.c_str());
  if (mode == how::read || mode == how::read_alone) {
    const DWORD share = mode == how::read ? share_all : FILE_SHARE_READ | FILE_SHARE_DELETE;
    const int file = descriptor_of(create_file(name, GENERIC_READ, share, OPEN_EXISTING),
                                   _O_RDONLY);
    if (file == -1) {
      const open_error error = error_of(GetLastError());
      return {-1, error == open_error::absent && dangling(name) ? open_error::dangling : error};
    }
    if (follow_to(handle_of(file), at)) return {file, open_error::none};
    _close(file);
    return {-1, open_error::untraceable};
  }
  // OPEN_ALWAYS says ERROR_ALREADY_EXISTS where the file was there.
  const HANDLE handle = create_file(name, GENERIC_WRITE, share_all, OPEN_ALWAYS);
  const bool created = handle != INVALID_HANDLE_VALUE && GetLastError() != ERROR_ALREADY_EXISTS;
  if (handle == INVALID_HANDLE_VALUE) return {-1, error_of(GetLastError())};
  const int file = descriptor_of(handle, _O_WRONLY | _O_TEXT);
  return {file, file == -1 ? open_error::failed : open_error::none, created && file != -1};
}

// A folder is described as one that no sticky bit guards; the user as 0.
bool describe(int file, const place& at, found& facts) {
  facts = {};
  facts.folder.kind = file_kind::directory;
  if (file != -1) return status_of_handle(handle_of(file), facts.file);
  const HANDLE name = open_name_itself(at.name);
  if (name == INVALID_HANDLE_VALUE) return false;
  const bool known = status_of_handle(name, facts.file);
  CloseHandle(name);
  return known;
}

bool same_place(const place& a, const place& b) {
  const std::wstring one = wide_from_utf8(a.name.c_str());
  const std::wstring other = wide_from_utf8(b.name.c_str());
  return CompareStringOrdinal(one.c_str(), -1, other.c_str(), -1, TRUE) == CSTR_EQUAL;
}

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

void remove_created(const place& at, const file_status& made) {
  found there;
  if (describe(-1, at, there) && there.file.volume == made.volume &&
      there.file.node == made.node) {
    delete_name(wide_from_utf8(at.name.c_str()));
  }
}

bool begin_in_place(int file) {
  const HANDLE handle = handle_of(file);
  return GetFileType(handle) != FILE_TYPE_DISK || SetEndOfFile(handle) != 0;
}

bool finish_in_place(int file) { return settle_and_close(file); }

}  // namespace os
