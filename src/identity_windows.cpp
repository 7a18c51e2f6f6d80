// The Windows side of telling two open files apart: by volume serial and
// file id, by final path, and where neither tells, by a byte-range lock.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include <windows.h>

#include "file_identity.h"
#include "platform.h"
#include "windows_handles.h"

namespace os {

namespace windows {

bool final_path(HANDLE file, std::wstring& path, DWORD volume) {
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

}  // namespace windows

namespace {

using windows::final_path;
using windows::handle_of;
using windows::share_all;

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


}  // namespace

// Wine gives no path and no lock for a redirected standard output.
bool identity_facts(int first, bool first_writes, int second, bool second_writes,
                    two_files& facts) {
  const HANDLE one = handle_of(first);
  const HANDLE other = handle_of(second);
  std::wstring one_path;
  std::wstring other_path;
  facts.first = describe(one, one_path);
  facts.second = describe(other, other_path);
  facts.paths = compare_paths(one_path, other_path);
  if (!facts.first.disk || !facts.second.disk) return true;
  identify(one, other, facts.first, facts.second);
  facts.lock = try_lock(one, first_writes ? GENERIC_WRITE : GENERIC_READ, other,
                        second_writes ? GENERIC_WRITE : GENERIC_READ);
  return true;
}

}  // namespace os
