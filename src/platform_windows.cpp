// The Windows side of the platform layer: files by UTF-16 name through C
// runtime descriptors in text mode, told apart by volume and file id, and a
// console written in UTF-16.
#ifndef NOMINMAX
#define NOMINMAX  // std::min, not a macro
#endif
#define _CRT_RAND_S  // rand_s
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

namespace {

using windows::final_path;
using windows::handle_of;
using windows::share_all;

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

// The name itself, a reparse point there not followed, to ask about it.
HANDLE open_name_itself(const std::string& name) {
  return CreateFileW(wide_from_utf8(name.c_str()).c_str(), FILE_READ_ATTRIBUTES, share_all,
                     nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
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

// A file on a share (one with a remote protocol) is flushed, as its server
// may report a full disk or a quota only then and the close reports
// nothing; a local disk allocates the space as each write is taken.
bool settle_and_close(int file) {
  FILE_REMOTE_PROTOCOL_INFO protocol{};
  const bool remote = GetFileInformationByHandleEx(handle_of(file), FileRemoteProtocolInfo,
                                                   &protocol, sizeof protocol) != 0;
  const bool settled = !remote || _commit(file) == 0;
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

// Six letters and digits that nobody can predict.
bool random_part(std::string& name) {
  static constexpr char letters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  for (int i = 0; i < 6; ++i) {
    unsigned int value = 0;
    if (rand_s(&value) != 0) return false;
    name.push_back(letters[value % (sizeof letters - 1)]);
  }
  return true;
}

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

// A file given the read-only attribute of the header it was to replace is
// removed too.
bool delete_name(const std::wstring& name) {
  if (DeleteFileW(name.c_str()) != 0 || GetLastError() == ERROR_FILE_NOT_FOUND) return true;
  const DWORD attributes = GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
         SetFileAttributesW(name.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) != 0 &&
         DeleteFileW(name.c_str()) != 0;
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
  if (mode == how::read) {
    const int file = descriptor_of(create_file(name, GENERIC_READ, share_all, OPEN_EXISTING),
                                   _O_RDONLY);
    if (file == -1) return {-1, error_of(GetLastError())};
    if (follow_to(handle_of(file), at)) return {file, open_error::none};
    _close(file);
    return {-1, open_error::untraceable};
  }
  bool created = false;
  HANDLE handle = INVALID_HANDLE_VALUE;
  if (mode == how::write) {
    handle = create_file(name, GENERIC_WRITE, share_all, CREATE_NEW);
    created = handle != INVALID_HANDLE_VALUE;
  }
  if (handle == INVALID_HANDLE_VALUE && (mode == how::write_waiting ||
                                         GetLastError() == ERROR_FILE_EXISTS)) {
    handle = create_file(name, GENERIC_WRITE, share_all, OPEN_ALWAYS);
  }
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

// WRITE_DAC: the replaced header's DACL is given to it.
make_error make_new_file(const place&, std::string_view stem, bool, new_file& made) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name(stem);
    if (!random_part(name)) return make_error::failed;
    name.append(".part");
    const HANDLE handle = create_file(wide_from_utf8(name.c_str()), GENERIC_WRITE | WRITE_DAC,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
    if (handle == INVALID_HANDLE_VALUE) {
      const open_error error = error_of(GetLastError());
      return error == open_error::denied ? make_error::folder_not_writable : make_error::failed;
    }
    made.file = descriptor_of(handle, _O_WRONLY | _O_TEXT);
    if (made.file == -1) return make_error::failed;
    made.name = std::move(name);
    return status_of_handle(handle, made.made) ? make_error::none : make_error::failed;
  }
  return make_error::names_taken;
}

// The DACL (protected or not, as it was), then the attributes, the times
// left as they are (0).
bool give_rights(new_file& made, const rights_plan& plan) {
  std::string dacl = plan.dacl;  // SetSecurityInfo takes a pointer it may not change
  const SECURITY_INFORMATION what =
      DACL_SECURITY_INFORMATION | (plan.dacl_protected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                       : UNPROTECTED_DACL_SECURITY_INFORMATION);
  const HANDLE handle = handle_of(made.file);
  if (SetSecurityInfo(handle, SE_FILE_OBJECT, what, nullptr, nullptr,
                      plan.has_dacl ? reinterpret_cast<PACL>(dacl.data()) : nullptr,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = plan.flags == 0 ? FILE_ATTRIBUTE_NORMAL : plan.flags;
  return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) != 0;
}

bool finish_new_file(new_file& made) {
  const bool finished = settle_and_close(made.file);
  made.file = -1;
  return finished;
}

// With POSIX semantics where the system has them; else by MoveFileExW,
// which cannot replace a read-only file, and, as another process (an
// indexer, a virus scanner) may hold the header for a moment, is tried again
// for about two seconds.
rename_result put_in_place(const place& at, new_file& made) {
  const std::wstring source = wide_from_utf8(made.name.c_str());
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

bool remove_new_file(const place&, new_file& made) {
  if (made.file != -1) _close(made.file);
  made.file = -1;
  return delete_name(wide_from_utf8(made.name.c_str()));
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
