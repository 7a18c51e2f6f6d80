// The header's life: found and judged through the descriptor opened, looked
// into, begun (emptied, or a new file made beside it), then kept or discarded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform.h"

enum class header_open {
  opened,
  same_as_listing,     // the header is the listing under another name
  same_as_console,     // the header is the file that standard output goes to
  planted_link,        // a link that another user made in a shared folder
  another_users_file,  // a file or FIFO that another user made in a shared folder
  unreadable,          // an existing regular file that cannot be read
  unknown_listing,     // whether it is the listing cannot be told
  unknown_console,     // whether it is standard output's file cannot be told
  unknown_target,      // a link whose target's path cannot be had, with --replace
  failed,
};

// What an existing header holds.
enum class header_content { no_records, opcode_records, unreadable };

// Why the header could not be begun.
enum class header_begin { begun, failed, folder_not_writable };

// How the header was settled: kept or replaced (done), or not.
using header_commit = os::rename_result;

// The header on its way to the disk. Written in place, or with `replace` into
// a new file beside the file that its path leads to (through any links) that
// takes that file's place only on `commit`, so that a failed run leaves it as
// it was. Only an existing regular file is replaced: a device or a FIFO is
// written in place, and a header that does not exist yet is made new.
// Whatever was not committed is discarded when the object ends.
class header_file {
 public:
  header_file(const char* path, bool replace) : path_(path), replace_(replace) {}
  header_file(const header_file&) = delete;
  header_file& operator=(const header_file&) = delete;
  ~header_file() { discard(); }

  // Opens the header as it is, without changing it, unless it must not be
  // written: the open `listing`, the file that standard output goes to (a
  // terminal or the null device may be both), another user's file or link in
  // a shared folder. A header that this opening created is removed again
  // when it is refused.
  header_open open(int listing);
  // Looks through an existing regular header for opcode records, reading it
  // in blocks of `buffer`'s size. A header as written here is known from its
  // start, end and size alone.
  header_content look_inside(char* buffer, std::size_t size) const;
  // Empties the header, or creates the new file. With --replace, the text
  // written is compared with the old header's as it goes, read in pieces
  // of `scratch`'s size.
  header_begin begin(std::span<char> scratch);
  // Writes the next part of the header's text; false when it cannot.
  bool write(std::string_view text);
  // Ends the writing: the new file gets the old header's owner, ACL,
  // attributes and mode, and is closed; false when any of that failed, or a
  // write failed late.
  bool close();
  // Puts the new file in the header's place, or where its text is the old
  // header's and that header is as it was, keeps the old header and removes
  // the new file.
  header_commit commit();
  // Closes everything and removes the new file, if there is one.
  void discard();

 private:
  os::opened open_name();
  os::opened open_in_place();
  header_open judge(int listing);
  bool reopen_for_writing(const os::file_status& judged);
  header_open check_identity(int listing);
  header_open refuse(header_open why);
  bool give_rights();
  bool same_text(std::string_view text);
  bool same_text_in(int old, std::string_view text);
  bool old_header_kept();

  std::string path_;
  bool replace_;
  os::place place_;        // where the header is: through any links followed
  bool created_ = false;   // this run made the file at `place_`
  int existing_ = -1;      // with `replace`, the old header, open for reading until begun
  os::file_rights old_{};  // what the system said of it, and its rights
  bool replacing_ = false; // an existing header is being replaced
  int file_ = -1;          // the file written to
  std::string part_;       // the new file's name, once made
  std::span<char> old_text_;  // room for a piece of the old header's text
  bool same_ = false;         // the text written so far is the old header's
  std::uint64_t compared_ = 0;  // bytes of the old header compared
};
