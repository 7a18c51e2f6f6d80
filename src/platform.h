// The operating system's calls, and nothing more: files opened by name in a
// folder held open, the facts the system gives of them, and the console. No
// call here decides whether a file may be written; header_file.cpp does, from
// these facts. Each system has one file: platform_posix.cpp, platform_windows.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "file_identity.h"

namespace os {

// Makes the process safe to run before any file is opened: a missing
// standard output (and on POSIX input and error) is opened on the null
// device, so that no file opened later takes its place and receives console
// text; on POSIX a write to a closed pipe or past the file size limit fails
// with an error instead of killing the process; on Windows no error asks
// the user anything (a drive with no medium). False when that is not possible.
bool prepare_process();

// Opens the listing for reading in text mode; -1 when it cannot be opened or
// is a directory. `path` is UTF-8 on Windows, bytes elsewhere.
int open_listing(const char* path);

// Reads up to `size` bytes; 0 at the end of the file, -1 on an error.
std::ptrdiff_t read_some(int file, char* buffer, std::size_t size);
// Reads up to `size` bytes from `offset`; 0 at the end, -1 on an error.
std::ptrdiff_t read_at(int file, std::uint64_t offset, char* buffer, std::size_t size);
// Writes all of `text`; false when any of it could not be written.
bool write_all(int file, std::string_view text);
// Closes the file; false when the system reports an error, such as a write
// that failed late.
bool close_file(int file);
// Where a write can still fail after it was taken (a network share that
// caches writes), writes out what the system holds; false when that fails.
bool settle_writes(int file);

enum class file_kind : std::uint8_t {
  regular, directory, fifo, character_device, block_device, link, other
};

// What the system says of one file. Owner, group and mode are 0 where the
// system has none of them (Windows).
struct file_status {
  file_kind kind = file_kind::other;
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
  std::uint32_t mode = 0;    // permissions, with the setuid, setgid and sticky bits
  std::uint64_t links = 0;   // the names that lead to it: 0 once it is removed
  std::uint64_t size = 0;
  std::uint64_t volume = 0;  // with `node`, which file it is
  std::uint64_t node = 0;
  std::int64_t modified = 0;  // when its data last changed, and its status
  std::int64_t changed = 0;   // (in the system's own units)
};

constexpr std::uint32_t mode_sticky = 01000;
constexpr std::uint32_t mode_others_write = 0002;
constexpr std::uint32_t mode_setuid = 04000;
constexpr std::uint32_t mode_setgid = 02000;

// A name in a folder: on POSIX the folder is held open and the name is one
// name in it; on Windows `folder` is -1 and the name is the whole path.
struct place {
  int folder = -1;
  std::string name;
};

// The folder of `path`, opened, and the last name of the path; false when
// the folder cannot be opened or the path ends in a folder's separator.
bool open_folder(const char* path, place& at);
void close_folder(place& at);

enum class how {
  read,            // an existing file, for reading
  create,          // a new file, with the usual permissions
  create_private,  // a new file that only its owner may use
  write,           // for writing, created if missing; a FIFO with no reader fails
  write_waiting,   // for writing; a FIFO's open waits for its reader
};

enum class open_error { none, exists, absent, link, no_reader, denied, failed };

struct opened {
  int file = -1;
  open_error error = open_error::none;
};

// Opens the name at `at`, never following a link there (a link is
// `open_error::link`) and, but for `write_waiting`, never waiting. Windows
// follows links and reports none.
opened open_at(const place& at, how mode);
bool status_of(int file, file_status& status);
// What stands at `at`, not following a link.
bool status_at(const place& at, file_status& status);
bool folder_status(const place& at, file_status& status);
// Moves `at` to what the link at `at` leads to: its folder, opened, and its name.
bool follow_link(place& at);
// Moves `at` to where the open `file` is, when its name led there through a
// link (Windows; on POSIX links are followed by `follow_link`).
bool final_place(int file, place& at);
// The user the process acts as: owners are compared to it.
std::uint32_t user();

// Takes back a non-blocking open, so that writes wait for a FIFO's reader.
bool make_blocking(int file);
// Empties a regular file; other files are left as they are.
bool empty_file(int file);

// What the system says of two open files, for telling whether they are one.
bool identity_facts(int first, int second, file_facts& a, file_facts& b, path_match& paths);
// A byte-range lock taken through one file and tried through the other.
lock_answer try_lock(int first, bool first_writes, int second, bool second_writes);

// Owner and group (`unchanged` keeps one), and the mode with its setuid,
// setgid and sticky bits.
constexpr std::uint32_t unchanged = 0xFFFFFFFF;
bool set_owner(int file, std::uint32_t owner, std::uint32_t group);
bool set_mode(int file, std::uint32_t mode);

// What a file that replaces another takes from it, read while the old one is
// open and given to the new one after its text.
struct file_rights {
  file_status status;
  // Extended attributes, POSIX ACLs among them, where the system has them.
  std::vector<std::pair<std::string, std::string>> attributes;
  // Windows: the DACL (empty for none), whether it is protected from
  // inheritance, and the file attributes (hidden, system, read-only, ...).
  std::string dacl;
  bool has_dacl = false;
  bool dacl_protected = false;
  std::uint32_t flags = 0;
};
bool read_rights(int file, file_rights& rights);

enum class attribute_set { done, not_permitted, failed };
attribute_set set_attribute(int file, const char* name, std::string_view value);
// True when the attribute is gone, or never was.
bool remove_attribute(int file, const char* name);
// The attribute that holds a file's own ACL, on Linux.
constexpr std::string_view access_acl = "system.posix_acl_access";
// Windows: the DACL and the file attributes; elsewhere nothing is done.
bool set_security(int file, const file_rights& rights);
bool set_flags(int file, std::uint32_t flags);

unsigned long process_id();
// What a line feed written to a text file becomes on the disk.
extern const std::string_view line_end;

// What ends a folder's name in a path, and the longest name of one file,
// in bytes of UTF-8 (Windows counts UTF-16 units, never more).
extern const char* const separators;
constexpr std::size_t name_limit = 255;

// Gives the file named `from` in `at`'s folder the name of `at`, replacing
// what was there; read_only where the system cannot replace a read-only file.
enum class rename_result { done, failed, read_only };
rename_result rename_to(const place& at, const std::string& from);
void remove_at(const place& at);

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

}  // namespace os
