// The calls that each operating system's file (platform_posix.cpp,
// platform_windows.cpp) gives the code both systems share (platform.cpp):
// the header's files, by name and by descriptor, and standard output.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
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

// What the header's path leads to. A link is followed to the file it leads
// to, whose path goes to `target`; other paths go there unchanged.
enum class found { nothing, regular_file, other, planted_link };
found look_at(const char* path, std::string& target);

// Opens the header for writing without changing it, creating it if need be
// (then `created` is set).
int open_for_writing(const char* path, bool& created);
// Opens an existing header for writing; `regular` says whether it is a
// regular file (a disk file on Windows), which may be replaced.
int open_existing(const char* path, bool& regular);
// Refuses the open header when it is the listing or the file that standard
// output goes to.
header_open refuse_taken(int listing, int header);
// Empties the header, if it is a regular file.
bool empty_file(int file);

// A descriptor that reads the regular file open for writing as `file` at
// `path`; -1 when it cannot be had, or (`regular` false) when the file is no
// regular file and has nothing to read.
int open_reader(int file, const char* path, bool& regular);
bool size_of(int reader, std::uint64_t& size);
// Reads up to `size` bytes from `offset`; 0 at the end, -1 on an error.
std::ptrdiff_t read_at(int reader, std::uint64_t offset, char* buffer, std::size_t size);

// What ends a folder's name in a path, and the longest name of one file,
// in bytes of UTF-8 (Windows counts UTF-16 units, never more).
extern const char* const separators;
constexpr std::size_t name_limit = 255;

unsigned long process_id();
// Creates `part` as a new file with the owner, permissions and attributes
// of the header it replaces, `existing` (-1 for a new header, which gets the
// usual ones); -1 when it cannot, with `exists` when `part` is there already
// and `denied` when its folder cannot be written.
int create_new(const std::string& part, int existing, bool& exists, bool& denied);
// Puts `part` in the place of the header at `path`.
bool move_over(const std::string& part, const char* path);
void remove_file(const std::string& path);

// Standard output through the C runtime's buffer; errors show at the flush.
void write_standard_output(std::string_view text);
bool flush_standard_output();

}  // namespace os
