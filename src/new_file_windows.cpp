// The Windows side of the header's new file: made private, and marked for
// deletion from its first moment, so that it goes however the process ends
// (TerminateProcess included); given the old header's rights, then renamed
// or removed through the one handle that made it.
#ifndef NOMINMAX
#define NOMINMAX  // std::min, not a macro
#endif
#define _CRT_RAND_S  // rand_s
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "platform.h"
#include "rename_ways.h"
#include "windows_handles.h"

namespace os {

namespace {

using namespace windows;

// The handles of the new files that a console event removes, recorded and
// cleared under the lock that the rename takes too: the handler runs on a
// thread of its own. The one state of the program not in an object the
// caller owns, as the handler can reach nothing else.
struct recorded_files {
  CRITICAL_SECTION lock;
  HANDLE files[2] = {nullptr, nullptr};  // the header, and the declaration beside it
  recorded_files() { InitializeCriticalSection(&lock); }
};

recorded_files& recorded() {
  static recorded_files files;
  return files;
}

class locked {
 public:
  locked() { EnterCriticalSection(&recorded().lock); }
  ~locked() { LeaveCriticalSection(&recorded().lock); }
  locked(const locked&) = delete;
  locked& operator=(const locked&) = delete;
};

// FILE_DISPOSITION_INFO, and FILE_DISPOSITION_INFO_EX (Windows 10 1607) with
// its flags, declared here as older SDKs lack the second.
struct disposition {
  BOOLEAN remove;
};
struct disposition_ex {
  ULONG flags;
};
constexpr auto file_disposition_info_ex = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr ULONG dispose_delete = 0x1, dispose_ignore_read_only = 0x10;

// Marks the file for deletion at its last handle's close, or takes the mark
// back. A read-only file cannot be so marked: its attribute goes first.
bool mark_for_deletion(HANDLE file, bool remove) {
  disposition mark{static_cast<BOOLEAN>(remove ? TRUE : FALSE)};
  if (SetFileInformationByHandle(file, FileDispositionInfo, &mark, sizeof mark) != 0) return true;
  if (!remove) return false;
  disposition_ex ignoring{dispose_delete | dispose_ignore_read_only};
  if (SetFileInformationByHandle(file, file_disposition_info_ex, &ignoring, sizeof ignoring) != 0) {
    return true;
  }
  FILE_BASIC_INFO basic{};  // times left as they are (0)
  basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != 0 &&
         SetFileInformationByHandle(file, FileDispositionInfo, &mark, sizeof mark) != 0;
}

// Ctrl-C, Ctrl-Break and a closed console: each new file not yet renamed is
// marked again (its mark is taken back only for the rename), and the process
// ends as it would have.
BOOL WINAPI on_console_event(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
    const locked held;
    for (HANDLE file : recorded().files) {
      if (file != nullptr) mark_for_deletion(file, true);
    }
  }
  return FALSE;
}

void forget(HANDLE file) {
  for (HANDLE& slot : recorded().files) {
    if (slot == file) slot = nullptr;
  }
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

// A protected DACL that lets only the process's user in: no entry that the
// folder would have its files inherit applies.
class private_security {
 public:
  private_security() {
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) == 0) return;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string user(size, '\0');
    wchar_t* sid = nullptr;
    if (size != 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size) != 0 &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid) != 0) {
      const std::wstring text = std::wstring(L"D:P(A;;FA;;;") + sid + L")";
      ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1,
                                                           &descriptor_, nullptr);
      LocalFree(sid);
    }
    CloseHandle(token);
  }
  ~private_security() { LocalFree(descriptor_); }
  private_security(const private_security&) = delete;
  private_security& operator=(const private_security&) = delete;

  SECURITY_ATTRIBUTES* attributes() {
    attributes_ = {sizeof attributes_, descriptor_, FALSE};
    return descriptor_ == nullptr ? nullptr : &attributes_;
  }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

// Made with the access its rename and removal need (DELETE is checked at the
// open), shared only for deletion, and marked for deletion at once.
make_error make_one(const std::wstring& name, SECURITY_ATTRIBUTES* security, HANDLE& made) {
  made = CreateFileW(name.c_str(), GENERIC_WRITE | WRITE_DAC | DELETE, FILE_SHARE_DELETE,
                     security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (made == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return make_error::names_taken;
    return error_of(error) == open_error::denied ? make_error::folder_not_writable
                                                 : make_error::failed;
  }
  if (mark_for_deletion(made, true)) return make_error::none;
  CloseHandle(made);
  delete_name(name);
  return make_error::failed;
}

// FILE_RENAME_INFO as FileRenameInfo (3) and FileRenameInfoEx (22) take it:
// for the first, the flags' low byte is ReplaceIfExists.
struct rename_info {
  DWORD flags;
  HANDLE root;
  DWORD name_bytes;
  WCHAR name[1];
};
constexpr auto file_rename_info_ex = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD replace_if_exists = 0x1, posix_semantics = 0x2, ignore_read_only = 0x40;

DWORD rename_handle(HANDLE file, const std::wstring& to, FILE_INFO_BY_HANDLE_CLASS type,
                    DWORD flags) {
  const std::size_t name_bytes = to.size() * sizeof(WCHAR);
  std::string buffer(offsetof(rename_info, name) + name_bytes + sizeof(WCHAR), '\0');
  auto* const info = reinterpret_cast<rename_info*>(buffer.data());
  info->flags = flags;
  info->name_bytes = static_cast<DWORD>(name_bytes);
  std::memcpy(info->name, to.c_str(), name_bytes);
  return SetFileInformationByHandle(file, type, info, static_cast<DWORD>(buffer.size())) != 0
             ? 0
             : GetLastError();
}

// One way of putting the new file in the header's place; 0 when done. The
// last, by name, needs the handle closed: its record goes first.
DWORD rename_by(rename_way way, new_file& made, const std::wstring& target) {
  const HANDLE file = handle_of(made.file);
  switch (way) {
    case rename_way::posix_ignoring_read_only:
      return rename_handle(file, target, file_rename_info_ex,
                           replace_if_exists | posix_semantics | ignore_read_only);
    case rename_way::posix:
      return rename_handle(file, target, file_rename_info_ex, replace_if_exists | posix_semantics);
    case rename_way::plain:
      return rename_handle(file, target, FileRenameInfo, replace_if_exists);
    case rename_way::by_name:
      break;
  }
  if (made.file != -1) {
    forget(file);
    _close(made.file);
    made.file = -1;
  }
  const std::wstring source = wide_from_utf8(made.name.c_str());
  return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0
             ? 0
             : GetLastError();
}

}  // namespace

bool windows::catch_console_events() { return SetConsoleCtrlHandler(on_console_event, TRUE) != 0; }

make_error make_new_file(const place&, std::string_view stem, bool private_file,
                         new_file& made) {
  private_security owner_only;
  SECURITY_ATTRIBUTES* const security = private_file ? owner_only.attributes() : nullptr;
  if (private_file && security == nullptr) return make_error::failed;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name(stem);
    if (!random_part(name)) return make_error::failed;
    name.append(".part");
    HANDLE file = INVALID_HANDLE_VALUE;
    const locked held;
    const make_error error = make_one(wide_from_utf8(name.c_str()), security, file);
    if (error == make_error::names_taken) continue;
    if (error != make_error::none) return error;
    made.file = descriptor_of(file, _O_WRONLY | _O_TEXT);  // closes the handle where it fails
    if (made.file == -1) return make_error::failed;
    for (HANDLE& slot : recorded().files) {
      if (slot == nullptr) {
        slot = file;
        break;
      }
    }
    made.name = std::move(name);
    return status_of_handle(file, made.made) ? make_error::none : make_error::failed;
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
  const HANDLE file = handle_of(made.file);
  if (SetSecurityInfo(file, SE_FILE_OBJECT, what, nullptr, nullptr,
                      plan.has_dacl ? reinterpret_cast<PACL>(dacl.data()) : nullptr,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = plan.flags == 0 ? FILE_ATTRIBUTE_NORMAL : plan.flags;
  return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != 0;
}

// The handle stays open: the rename goes through it.
bool finish_new_file(new_file& made) { return settle(handle_of(made.file)); }

// The mark for deletion is taken back, and the ways tried in turn, under the
// lock a console event takes: after the rename no event removes the header.
rename_result put_in_place(const place& at, new_file& made) {
  const std::wstring target = wide_from_utf8(at.name.c_str());
  const DWORD attributes = GetFileAttributesW(target.c_str());
  const bool read_only =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  const locked held;
  if (!mark_for_deletion(handle_of(made.file), false)) return rename_result::failed;
  const rename_outcome outcome = rename_in_turn(
      [&](rename_way way) -> std::uint32_t { return rename_by(way, made, target); }, read_only,
      [] { Sleep(50); });
  const rename_result result = outcome == rename_outcome::done     ? rename_result::done
                               : outcome == rename_outcome::failed ? rename_result::failed
                                                                   : rename_result::read_only;
  if (made.file != -1 && result != rename_result::done) {
    mark_for_deletion(handle_of(made.file), true);
  }
  if (made.file != -1 && result == rename_result::done) {
    forget(handle_of(made.file));
    _close(made.file);
    made.file = -1;
  }
  return result;
}

// Through its handle, where it is open; else by name.
bool remove_new_file(const place&, new_file& made) {
  if (made.file == -1) return delete_name(wide_from_utf8(made.name.c_str()));
  const HANDLE file = handle_of(made.file);
  const locked held;
  const bool marked = mark_for_deletion(file, true);
  forget(file);
  _close(made.file);
  made.file = -1;
  return marked;
}

}  // namespace os
