// The operating system's side of the translator: opening, reading, writing and
// closing the two files by any Unicode name, and the console it reports on.
#pragma once

#include <cstddef>
#include <string_view>

// Opens the listing for reading in text mode; -1 when it cannot be opened or
// is a directory. `path` is UTF-8 on Windows, bytes elsewhere.
int open_listing(const char* path);

enum class header_open { opened, same_as_listing, failed };

// Opens the header for writing in text mode and sets `header` to it. The file
// is emptied only once it is known not to be the open `listing` itself, so a
// header that is refused or cannot be opened keeps its content.
header_open open_header(const char* path, int listing, int& header);

// Reads up to `size` bytes; 0 at the end of the file, -1 on an error.
std::ptrdiff_t read_some(int file, char* buffer, std::size_t size);

// Writes all of `text`; false when any of it could not be written.
bool write_all(int file, std::string_view text);

// Closes the file; false when the system reports an error, such as a write
// that failed late.
bool close_file(int file);

#ifndef _WIN32
// Opens the null device on each of the standard descriptors 0 to 2 that is
// closed, so that no file opened later takes its place and receives console
// text. False when that is not possible.
bool guard_standard_streams();
#else
#include <string>

// `text` in UTF-8, a lone surrogate encoded on its own (so that no valid name
// is made of an invalid one: opening such a name fails).
std::string utf8_from_wide(const wchar_t* text);

// Shows UTF-8 output readably while it lives, when standard output is a
// console; restores the console's code page at the end.
class utf8_console {
 public:
  utf8_console();
  ~utf8_console();
  utf8_console(const utf8_console&) = delete;
  utf8_console& operator=(const utf8_console&) = delete;

 private:
  unsigned int saved_code_page_ = 0;
};
#endif
