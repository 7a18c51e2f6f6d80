/* Holds a file open, as an indexer, a virus scanner or a reader does,
   sharing what SHARE names (r: reads, w: writes, d: deletion and renaming;
   rw by default), until told: it creates the flag file FLAG once it holds
   the file, and lets go once FLAG is gone.  usage: hold_file FILE FLAG [SHARE] */
#include <string.h>
#include <windows.h>

int main(int argc, char* argv[]) {
  if (argc != 3 && argc != 4) return 2;
  const char* share = argc == 4 ? argv[3] : "rw";
  DWORD mode = 0;
  if (strchr(share, 'r')) mode |= FILE_SHARE_READ;
  if (strchr(share, 'w')) mode |= FILE_SHARE_WRITE;
  if (strchr(share, 'd')) mode |= FILE_SHARE_DELETE;
  HANDLE file = CreateFileA(argv[1], GENERIC_READ, mode, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return 1;
  HANDLE flag = CreateFileA(argv[2], GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
  if (flag == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(flag);
  while (GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES) Sleep(10);
  CloseHandle(file);
  return 0;
}
