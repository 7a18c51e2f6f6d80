// The header's life: found and judged through the descriptor opened, looked
// into, begun (emptied, or a new file made beside it), written, then kept,
// replaced or discarded. A state machine: where it is in that life (its
// stage) and how it writes (its mode, decided once when the header is
// judged), apart from what the user asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform.h"
#include "text_digest.h"

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
  same_as_other,       // the header is the other output file (the definition and its declaration)
  unknown_other,       // whether it is the other output file cannot be told
  failed,
};

// What an existing header holds.
enum class header_content { no_records, opcode_records, unreadable };

// How the header was begun or settled, or why it could not be.
enum class header_result {
  done,                 // begun; or written, replaced, or kept as it was
  open_failed,          // the header could not be opened or emptied
  folder_not_writable,  // no new file can be made in its folder
  new_file_failed,      // the new file could not be made
  write_failed,         // its text could not all be written
  rights_refused,       // the new file cannot be given the old header's rights
  replace_failed,       // the new file could not take the header's place
  read_only,            // a read-only header, which this system cannot replace
  remove_failed,        // the new file could not be removed
};

// Where the header is in its life.
enum class header_stage { start, opened, begun, closed, settled };

// How it is written, decided when it is judged.
enum class header_mode {
  in_place,    // emptied and written: without --replace, a device or a FIFO
  new_header,  // with --replace where there was none: a new file takes the name
  replacing,   // a new file, compared as it is written with the old header
  comparing,   // no new file could be made or written: the old header is only
               // compared, and kept where its text is the new text
};

// The header on its way to the disk. Only an existing regular file is
// replaced; a failed run leaves it as it was, and a header whose text is
// unchanged is kept only where its bytes prove it. Whatever was not
// committed is discarded when the object ends.
class header_file {
 public:
  header_file(const char* path, bool replace) : path_(path), replace_asked_(replace) {}
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
  // Refuses the header where it is `other`, opened as well, or would be
  // made at the same name.
  header_open apart_from(const header_file& other);
  // Empties the header, or makes the new file. An old header's text is
  // compared with the new as it goes, read in pieces of `scratch`'s size.
  header_result begin(std::span<char> scratch);
  // Writes the next part of the header's text; false when it cannot.
  bool write(std::string_view text);
  // Ends the writing; false when a header written in place failed late.
  bool close();
  // Keeps the old header where its bytes prove its text the new one, else
  // puts the new file, given the old header's rights, in its place.
  header_result commit();
  // Closes everything and removes the new file, if there is one.
  void discard();

  header_stage stage() const { return stage_; }
  header_mode mode() const { return mode_; }
  // The new file's name, once made.
  const std::string& new_file_name() const { return new_name_; }

 private:
  header_open find(int listing);
  os::opened open_name();
  header_open judge(int listing, bool created, bool replace);
  bool reopen_for_writing(const os::file_status& judged);
  header_open check_identity(int listing);
  header_open refuse(header_open why);
  header_result begin_new_file();
  void compare_only(header_result why);
  header_result deferred_if_left() const;
  bool same_text(std::string_view text);
  bool same_text_in(int old, std::string_view text);
  bool proven_unchanged();
  bool read_again();
  header_result replace();

  std::string path_;
  const bool replace_asked_;  // --replace, as the user gave it
  header_stage stage_ = header_stage::start;
  header_mode mode_ = header_mode::in_place;
  os::place place_;         // where the header is: through any links followed
  os::file_status created_{};  // what this run created there, written in place
  bool creates_ = false;
  int file_ = -1;           // the header written in place
  int existing_ = -1;       // the old header, open for reading until begun
  os::file_rights old_{};   // what the system said of it, and its rights
  os::new_file new_;        // the new file, while it is there
  std::string new_name_;    // its name, or the name it was to have
  header_result deferred_ = header_result::done;  // comparing: why, if not kept
  std::span<char> old_text_;  // room for a piece of the old header's text
  bool same_ = false;         // the text written so far is the old header's
  std::uint64_t compared_ = 0;  // bytes of the old header compared
  text_digest digest_;          // of those bytes
};
