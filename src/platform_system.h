// The calls that each operating system's file (platform_posix.cpp,
// platform_windows.cpp) gives the code both systems share (platform.cpp):
// the header's files, by name and by descriptor, and standard output.
#pragma once

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

#include "platform.h"

namespace os {

// What one read or write asks for, at most: fits the count of every system.
inline unsigned int chunk(std::size_t size) {
  return static_cast<unsigned int>(
      std::min(size, static_cast<std::size_t>(std::numeric_limits<int>::max())));
}

// Writes the start of `text` and drops what was written; false on an error.
bool write_bytes(int file, std::string_view& text);

// What stands at the header's path, links not followed.
enum class found { nothing, regular_file, other };
found look_at(const char* path);

// Opens the header for writing without changing it, creating it if need be.
int open_for_writing(const char* path);
// Opens an existing header for writing; `regular` says whether it is a
// regular file (a disk file on Windows), which may be replaced.
int open_existing(const char* path, bool& regular);
// Refuses the open header when it is the listing or the file that standard
// output goes to.
header_open refuse_taken(int listing, int header);
// Empties the header, if it is a regular file.
bool empty_file(int file);
// Reads the start of the regular file open for writing as `file`, at `path`.
std::size_t read_regular(int file, const char* path, char* buffer, std::size_t size);

unsigned long process_id();
// Creates `part` as a new file with the permissions of the header it
// replaces, `existing` (-1 for a new header); -1, with `exists` when `part`
// is there already, when it cannot.
int create_new(const std::string& part, int existing, bool& exists);
// Puts `part` in the place of the header at `path`.
bool move_over(const std::string& part, const char* path);
void remove_file(const std::string& path);

// Standard output through the C runtime's buffer; errors show at the flush.
void write_standard_output(std::string_view text);
bool flush_standard_output();

}  // namespace os
