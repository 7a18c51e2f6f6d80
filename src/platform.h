// The operating system, drawn around what the translator does with files:
// the listing read, and each step of the header's life done whole (its place
// found, opened, described, a new file made beside it, given the old one's
// rights, put in its place or removed). Calls return facts; header_file.cpp
// decides from them. Each system has one file: platform_posix.cpp,
// platform_windows.cpp.
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
// standard stream is opened on the null device, so that no file opened later
// takes its place; a write to a closed pipe or past the file size limit
// fails instead of killing the process; no error asks the user anything (a
// drive with no medium); and an interrupting signal or console event first
// removes the new files that `make_new_file` recorded. False when that is
// not possible.
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
// Closes a file that was only read.
void close_file(int file);

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
  std::int64_t modified = 0;  // when its data last changed, and its status,
  std::int64_t changed = 0;   // in ticks of `ticks_per_second`
};

constexpr std::uint32_t mode_sticky = 01000;
constexpr std::uint32_t mode_others_write = 0002;
constexpr std::uint32_t mode_setuid = 04000;
constexpr std::uint32_t mode_setgid = 02000;

// The unit of file_status's times.
extern const std::int64_t ticks_per_second;
// Whether a file's times change as each write is taken, so that old times
// can show a file unchanged (POSIX); where not, only its bytes can (Windows).
extern const bool times_tell;
// What a line feed written to a text file becomes on the disk.
extern const std::string_view line_end;
// What ends a folder's name in a path, and the longest name of one file,
// in bytes of UTF-8 (Windows counts UTF-16 units, never more).
extern const char* const separators;
constexpr std::size_t name_limit = 255;

// A name in a folder: on POSIX the folder is held open and the name is one
// name in it; on Windows `folder` is -1 and the name is the whole path.
struct place {
  int folder = -1;
  std::string name;
};

// Whether a link found on the way may not be followed: a policy the caller
// gives, judged from the link and the folder that holds it.
using link_rule = bool (*)(const file_status& link, const file_status& folder,
                           std::uint32_t user);

enum class place_result { found, refused_link, failed };

// 1. Finds the header's place: its folder, opened, and its last name, with
// every link on the way followed (POSIX: each name of the path judged by
// `refuse`, as the kernel's protected_symlinks would; Windows: the path made
// whole and long-path safe). Fails when the path ends in a separator.
place_result open_place(const char* path, place& at, link_rule refuse);
// Lets the folder go.
void close_place(place& at);

enum class how {
  read,           // an existing file, for reading; Windows moves `at` to
                  // where a name-surrogate reparse point there leads
  read_alone,     // the same, where no other process may write it meanwhile
  write,          // for writing, created if missing; a FIFO with no reader fails
  write_waiting,  // for writing; a FIFO's open waits for its reader
};

// untraceable: a link whose target's path cannot be had; dangling: a link
// that leads to no file (Windows, where links are followed).
enum class open_error { none, absent, link, no_reader, denied, untraceable, dangling, failed };

struct opened {
  int file = -1;
  open_error error = open_error::none;
  bool created = false;  // `write` made the file
};

// 2. Opens the name at `at`, never following a link there, and but for
// `write_waiting` never waiting; a file opened for writing is not emptied.
opened open_header(place& at, how mode);

// What stands at a place, and who asks.
struct found {
  file_status file;    // the open file, or what stands at the name
  file_status folder;  // the folder that holds the name
  std::uint32_t user = 0;
};

// 3. The facts of the open `file` (or, for -1, of what stands at the name,
// not following a link) and of its folder.
bool describe(int file, const place& at, found& facts);

// What the system says of two open files, for telling whether they are one;
// where it cannot tell otherwise, a byte-range lock taken through one and
// tried through the other.
struct two_files {
  file_facts first;
  file_facts second;
  path_match paths = path_match::unknown;
  lock_answer lock = lock_answer::not_tried;
};
bool identity_facts(int first, bool first_writes, int second, bool second_writes,
                    two_files& facts);

// Whether two places are one name in one folder (on Windows, whose names
// tell no case apart, one path).
bool same_place(const place& a, const place& b);

// What a file that replaces another takes from it.
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
// 4. Reads the old header's rights.
bool read_rights(int file, file_rights& rights);

// A file this run made beside the header, to take its place.
struct new_file {
  int file = -1;
  std::string name;  // in the header's folder
  file_status made;  // as it was made: its times are the file system's clock
};

enum class make_error { none, folder_not_writable, names_taken, failed };

// 5. Makes a new file named `stem`, six characters nobody can predict and
// ".part", opened to write, rename and remove it: `private_file`, that only
// its owner may use (it is to hold an old header's text), else with the
// rights any new file gets. Its name is recorded for removal on an
// interrupt before the call returns.
make_error make_new_file(const place& at, std::string_view stem, bool private_file,
                         new_file& made);

// What the new file takes, decided from the old header's rights.
struct rights_plan {
  std::uint32_t owner = 0;  // given where the process may
  std::uint32_t group = 0;
  std::uint32_t mode = 0;               // where owner and group were kept
  std::uint32_t mode_other_owner = 0;   // where they were not
  struct attribute {
    std::string name;
    std::string value;
    bool needs_owner = false;  // copied only where the owner was kept
    bool privileged = false;   // left where the process may not set it
  };
  std::vector<attribute> attributes;
  bool drop_acl = false;  // the old header had no ACL of its own
  // Windows: the old header's DACL as it was, and the file attributes given.
  std::string dacl;
  bool has_dacl = false;
  bool dacl_protected = false;
  std::uint32_t flags = 0;
};

// 6. Gives the new file its rights: owner and group, attributes, ACL, and the
// mode last (the system clears setuid on a write and a change of owner).
bool give_rights(new_file& made, const rights_plan& plan);

// Writes out what the system holds where a write may still fail late (a
// network share), and closes the new file's descriptor; false on a failure.
bool finish_new_file(new_file& made);

// Gives the file named `from` in `at`'s folder the name of `at`, replacing
// what was there; read_only where the system cannot replace a read-only file.
enum class rename_result { done, failed, read_only };
// 7. Puts the new file in the header's place; its record is cleared as it
// takes the name, so an interrupt never removes the header.
rename_result put_in_place(const place& at, new_file& made);
// 8. Removes the new file and clears its record; false where it stays.
bool remove_new_file(const place& at, new_file& made);
// Removes the name at `at`, which this run created, where it still leads to
// the file described by `made`.
void remove_created(const place& at, const file_status& made);

// Readies a header written in place: a FIFO's writes wait for its reader,
// and a regular file is emptied.
bool begin_in_place(int file);
// Writes out and closes a header written in place; false on a failure.
bool finish_in_place(int file);

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
