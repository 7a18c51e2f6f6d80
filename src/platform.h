// The operating system's side of the translator: opening, reading, writing and
// closing the two files by any Unicode name, and the console it reports on.
// The header's life is shared (platform.cpp); each system has a file of its
// own for the rest (platform_posix.cpp, platform_windows.cpp).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Makes the standard streams safe to use before any file is opened: a
// missing standard output (and on POSIX input and error) is opened on the
// null device, so that no file opened later takes its place and receives
// console text, and on POSIX a write to a closed pipe or past the file size
// limit fails with an error instead of killing the process. False when that
// is not possible.
bool prepare_standard_streams();

// Opens the listing for reading in text mode; -1 when it cannot be opened or
// is a directory. `path` is UTF-8 on Windows, bytes elsewhere.
int open_listing(const char* path);

enum class header_open {
  opened,
  same_as_listing,  // the header is the listing under another name
  same_as_console,  // the header is the file that standard output goes to
  planted_link,     // a link that another user made in a shared folder
  failed,
};

// What an existing header holds.
enum class header_content { no_records, opcode_records, unreadable };

// Why the header could not be begun.
enum class header_begin { begun, failed, folder_not_writable };

// The header on its way to the disk. Written in place, or with `replace` into
// a new file beside the file that its path leads to (through any links) that
// takes that file's place only on `commit`, so that a failed run leaves it as
// it was. Only a regular file (or a path that does not exist yet) is
// replaced: a device or a FIFO is written in place.
class header_file {
 public:
  header_file(const char* path, bool replace) : path_(path), replace_(replace) {}
  header_file(const header_file&) = delete;
  header_file& operator=(const header_file&) = delete;

  // Opens the header as it is, without changing it, unless it is the open
  // `listing` or the file that standard output goes to (a terminal or the
  // null device may be both). A header that cannot be written fails here.
  // A header that this opening created is removed again when it is refused.
  header_open open(int listing);
  // Looks through an existing regular header for opcode records, reading it
  // in blocks of `buffer`'s size. A header as written here is known from its
  // start, end and size alone.
  header_content look_inside(char* buffer, std::size_t size) const;
  // Empties the header, or creates the new file.
  header_begin begin();
  // Where the header's text goes, once begun.
  int descriptor() const { return file_; }
  // Closes what was written; false when a write failed late.
  bool close();
  // Puts the new file in the header's place; false when it cannot.
  bool commit();
  // Removes the new file, if there is one.
  void discard();

 private:
  std::string path_;  // the header's path, or with `replace` the file it leads to
  bool replace_;
  bool created_ = false;  // this run made the file at `path_`
  int existing_ = -1;     // the header as it was, if it was there
  int file_ = -1;         // the file written to
  std::string part_;      // the new file's path, once made
};

// Reads up to `size` bytes; 0 at the end of the file, -1 on an error.
std::ptrdiff_t read_some(int file, char* buffer, std::size_t size);

// Writes all of `text`; false when any of it could not be written.
bool write_all(int file, std::string_view text);

// Closes the file; false when the system reports an error, such as a write
// that failed late.
bool close_file(int file);

// Standard output, which takes every message as UTF-8 text. A Windows
// console is written in UTF-16, so that any name shows as it is, without a
// change of the console's code page; files and pipes get the bytes.
class console {
 public:
  console();
  void write(std::string_view text);
  // Writes out what is pending; false when any text could not be written.
  bool flush();

#ifdef _WIN32
 private:
  void write_wide(const char* text, std::size_t size);

  bool nowhere_;            // there is no standard output to write to
  void* handle_ = nullptr;  // the console, when standard output is one
  char pending_[4] = {};    // the start of a character split between writes
  std::size_t pending_size_ = 0;
  bool failed_ = false;
#endif
};

#ifdef _WIN32
// `text` in UTF-8, a lone surrogate encoded on its own (so that no valid name
// is made of an invalid one: opening such a name fails).
std::string utf8_from_wide(const wchar_t* text);
#endif
