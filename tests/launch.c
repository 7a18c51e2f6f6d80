/* Starts a console program as a GUI program, a service or a launcher may:
   with no standard handles at all. Returns the program's exit status.
   usage: launch null|invalid|detached PROGRAM [ARGUMENT...]
   null and invalid hand it NULL or INVALID_HANDLE_VALUE as its three
   standard handles; detached starts it with DETACHED_PROCESS. A PROGRAM
   path that begins with '/' is taken on drive Z:, as Wine maps it. */
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

/* Appends `argument`, quoted as the C runtime splits a command line. */
static void append_quoted(wchar_t* line, size_t room, const wchar_t* argument) {
  size_t at = wcslen(line);
  size_t backslashes = 0;
  if (at + 1 < room) line[at++] = L' ';
  if (at + 1 < room) line[at++] = L'"';
  for (; *argument != L'\0' && at + 3 < room; ++argument) {
    if (*argument == L'\\') {
      ++backslashes;
    } else {
      if (*argument == L'"') {
        for (size_t i = 0; i <= backslashes; ++i) line[at++] = L'\\';
      }
      backslashes = 0;
    }
    line[at++] = *argument;
  }
  for (size_t i = 0; i < backslashes && at + 2 < room; ++i) line[at++] = L'\\';
  line[at++] = L'"';
  line[at] = L'\0';
}

int wmain(int argc, wchar_t* argv[]) {
  static wchar_t program[32768];
  static wchar_t line[32768];
  if (argc < 3) return 2;
  program[0] = L'\0';
  if (argv[2][0] == L'/') wcscpy(program, L"Z:");
  wcsncat(program, argv[2], 32000);
  for (wchar_t* p = program; *p != L'\0'; ++p) {
    if (*p == L'/') *p = L'\\';
  }
  line[0] = L'\0';
  append_quoted(line, 32768, program);
  for (int i = 3; i < argc; ++i) append_quoted(line, 32768, argv[i]);

  STARTUPINFOW startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  DWORD flags = 0;
  if (wcscmp(argv[1], L"detached") == 0) {
    flags = DETACHED_PROCESS;
  } else {
    const HANDLE none = wcscmp(argv[1], L"null") == 0 ? NULL : INVALID_HANDLE_VALUE;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = none;
  }
  PROCESS_INFORMATION process;
  if (!CreateProcessW(program, line + 1, NULL, NULL, FALSE, flags, NULL, NULL, &startup,
                      &process)) {
    return 3;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 4;
  GetExitCodeProcess(process.hProcess, &status);
  return (int)status;
}
