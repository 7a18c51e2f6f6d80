// Whether a file may be written as the header, and which of the old header's
// rights its replacement takes: plain functions of what the system said of
// the files, so that every case is tested on every system.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform.h"

// What was found at the header's name, and where.
struct header_facts {
  os::file_status file;    // the file opened (or, where it cannot be, what stands there)
  os::file_status folder;  // the folder that holds its name
  std::uint32_t user = 0;  // whom the process acts as
  bool created = false;    // this run made the file
  bool replace = false;    // --replace: a regular file is replaced, not written
};

enum class header_verdict {
  write_in_place,      // emptied and written: a new file, a device, a FIFO, or without --replace
  replace,             // a new file beside it takes its place
  another_users_file,  // planted in a shared folder by someone else: left untouched
  cannot_write,        // a folder, a socket: no header can be written there
};

header_verdict judge_header(const header_facts& facts);

// Whether a link, as found in `folder`, was made by another user in a
// folder that anyone may write to and only owners may delete from (as /tmp).
bool is_planted_link(const os::file_status& link, const os::file_status& folder,
                     std::uint32_t user);

// The mode the replacing file gets: the old header's, without its setuid and
// setgid bits when the new file's owner or group differs from the old one's.
std::uint32_t mode_to_give(const os::file_status& old, const os::file_status& made);
// Whether an extended attribute of the old header is copied: capabilities
// follow the setuid rule.
bool copies_attribute(std::string_view name, bool owner_kept);
// What a new file takes from the old header whose place it takes: owner,
// group, the attributes `copies_attribute` allows, its ACL exactly, the mode
// as `mode_to_give` gives it, and on Windows the DACL and `flags_to_give`.
os::rights_plan plan_rights(const os::file_rights& old);
// Whether the old header's times show that it was last changed at least two
// seconds (FAT's step, and more than ext4's or a clock tick's) before `now`,
// a time of the same file system's clock: only then can an equal time prove
// that nothing changed it since.
bool times_can_tell(const os::file_status& old, std::int64_t now, std::int64_t ticks_per_second);
// The Windows file attributes that a replacing file takes: read-only,
// hidden, system, archive and not content indexed.
std::uint32_t flags_to_give(std::uint32_t old_flags);
// Whether only a privileged process may set the attribute: where it may
// not, the attribute is left out rather than failing the run.
bool is_privileged_attribute(std::string_view name);

