/* Holds a file open for some milliseconds, as an indexer, a virus scanner or
   a reader does, sharing what SHARE names (r: reads, w: writes, d: deletion
   and renaming; rw by default) and reading it; creates a flag file once it
   holds it.  usage: hold_file FILE FLAG MILLISECONDS [SHARE] */
#include <stdlib.h>
#include <string.h>
#include <windows.h>

int main(int argc, char* argv[]) {
  if (argc != 4 && argc != 5) return 2;
  const char* share = argc == 5 ? argv[4] : "rw";
  DWORD mode = 0;
  if (strchr(share, 'r')) mode |= FILE_SHARE_READ;
  if (strchr(share, 'w')) mode |= FILE_SHARE_WRITE;
  if (strchr(share, 'd')) mode |= FILE_SHARE_DELETE;
  HANDLE file = CreateFileA(argv[1], GENERIC_READ, mode, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return 1;
  HANDLE flag = CreateFileA(argv[2], GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
  if (flag == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(flag);
  Sleep((DWORD)atoi(argv[3]));
  CloseHandle(file);
  return 0;
}
