/* Holds a file open for some milliseconds, as an indexer or a virus scanner
   does, sharing reads and writes but not its deletion or renaming; creates
   a flag file once it holds it.  usage: hold_file FILE FLAG MILLISECONDS */
#include <stdlib.h>
#include <windows.h>

int main(int argc, char* argv[]) {
  if (argc != 4) return 2;
  HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return 1;
  HANDLE flag = CreateFileA(argv[2], GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
  if (flag == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(flag);
  Sleep((DWORD)atoi(argv[3]));
  CloseHandle(file);
  return 0;
}
