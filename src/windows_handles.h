// What the Windows files of the platform layer share: handles and the
// descriptors that own them, names in UTF-16, the facts of a handle.
#pragma once

#include <string>

#include "platform.h"

#include <io.h>
#include <windows.h>

namespace os::windows {

inline HANDLE handle_of(int file) { return reinterpret_cast<HANDLE>(_get_osfhandle(file)); }

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The file's path with every link, short name and drive alias resolved:
// \\?\C:\... on a drive, \\?\UNC\server\share\... on a share.
bool final_path(HANDLE file, std::wstring& path, DWORD volume = VOLUME_NAME_DOS);

// The UTF-16 form of a UTF-8 name; empty, a name no file has, when `text`
// is not valid UTF-8.
std::wstring wide_from_utf8(const char* text);
// A C runtime descriptor that owns `handle`; -1, the handle closed, when
// there is none (or no handle).
int descriptor_of(HANDLE handle, int flags);
// CreateFileW, tried for about two seconds while another process (an
// indexer, a virus scanner, a reader) holds the file without sharing what is
// asked.
HANDLE create_file(const std::wstring& name, DWORD access, DWORD share, DWORD disposition,
                   SECURITY_ATTRIBUTES* security = nullptr);
open_error error_of(DWORD error);
// A disk file's links, size, ids and times; a file whose deletion is pending
// has no name left.
bool status_of_handle(HANDLE file, file_status& status);
// Writes out what a share holds for the file: its server may report a full
// disk or a quota only then.
bool settle(HANDLE file);
// Removes the file `name`, a read-only one too; true when it is gone.
bool delete_name(const std::wstring& name);
// Has a console event (Ctrl-C, Ctrl-Break, a closed console) remove each new
// file before the process ends as it would have.
bool catch_console_events();

}  // namespace os::windows
