// What the Windows files of the platform layer share: a descriptor's
// handle, the sharing that lets others work beside the program, and a
// file's final path.
#pragma once

#include <string>

#include <io.h>
#include <windows.h>

namespace os::windows {

inline HANDLE handle_of(int file) { return reinterpret_cast<HANDLE>(_get_osfhandle(file)); }

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The file's path with every link, short name and drive alias resolved:
// \\?\C:\... on a drive, \\?\UNC\server\share\... on a share.
bool final_path(HANDLE file, std::wstring& path, DWORD volume = VOLUME_NAME_DOS);

}  // namespace os::windows
