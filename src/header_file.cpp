// The header's life: found and judged through the descriptor opened, looked
// into, begun, then kept or discarded. Every decision is made by the plain
// functions of header_policy.h and file_identity.h; the calls that gather
// their facts are the platform's.
#include "header_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "file_identity.h"
#include "header_policy.h"
#include "header_writer.h"
#include "listing_scanner.h"

namespace {

// Links followed from the header's name, as the system's own limit.
constexpr int link_limit = 40;

// The size of the first read: enough to tell a header as written here.
constexpr std::size_t start_size = std::size_t{64} << 10;

bool same_node(const os::file_status& a, const os::file_status& b) {
  return a.volume == b.volume && a.node == b.node;
}

// Whether two open files are one: the facts decide, and a lock where they
// cannot; unknown where the facts cannot be had either.
identity one_file(int first, bool first_writes, int second, bool second_writes) {
  file_facts a;
  file_facts b;
  path_match paths = path_match::unknown;
  if (!os::identity_facts(first, second, a, b, paths)) return identity::unknown;
  const identity verdict = judge_identity(a, b, paths, lock_answer::not_tried);
  if (verdict != identity::try_lock) return verdict;
  return judge_identity(a, b, paths, os::try_lock(first, first_writes, second, second_writes));
}

// Opened when the header is another file than the one compared with it;
// else `one`, or `unknown` where that cannot be told.
header_open refusal_for(identity said, header_open one, header_open unknown) {
  if (said == identity::two) return header_open::opened;
  return said == identity::one ? one : unknown;
}

header_content look_through(int reader, std::uint64_t file_size, char* buffer, std::size_t size) {
  char end[8];
  const std::size_t end_size = sizeof end;
  std::ptrdiff_t got = os::read_at(reader, 0, buffer, std::min(size, start_size));
  const std::uint64_t end_at = file_size < end_size ? 0 : file_size - end_size;
  const std::ptrdiff_t end_got = os::read_at(reader, end_at, end, end_size);
  if (got < 0 || end_got < 0) return header_content::unreadable;
  if (is_written_header({buffer, static_cast<std::size_t>(got)},
                        {end, static_cast<std::size_t>(end_got)}, file_size)) {
    return header_content::no_records;
  }
  record_search search;
  for (std::uint64_t offset = 0; got > 0; got = os::read_at(reader, offset, buffer, size)) {
    if (search.scan({buffer, static_cast<std::size_t>(got)})) return header_content::opcode_records;
    offset += static_cast<std::uint64_t>(got);
  }
  if (got < 0) return header_content::unreadable;
  return search.finish() ? header_content::opcode_records : header_content::no_records;
}

// The new file's name: the header's name, marvot and the process, with a
// number that grows while such a file is there already; the header's name
// is cut (between characters) to keep it within one name's limit.
std::string part_name(const std::string& path, int attempt) {
  std::string suffix = ".marvot-" + std::to_string(os::process_id());
  if (attempt > 0) suffix.append("-").append(std::to_string(attempt));
  suffix.append(".part");
  const std::size_t slash = path.find_last_of(os::separators);
  const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  std::size_t end = path.size();
  if (end - name_start + suffix.size() > os::name_limit) {
    end = name_start + os::name_limit - suffix.size();
    const auto continues = [&](std::size_t at) {  // a UTF-8 continuation byte
      return (static_cast<unsigned char>(path[at]) & 0xC0) == 0x80;
    };
    while (end > name_start && continues(end)) --end;
  }
  return path.substr(0, end).append(suffix);
}

// The old header's extended attributes, as the policy keeps them, and its
// ACL exactly: none when it had none, whatever the folder's default ACL
// gave the new file.
bool copy_attributes(const os::file_rights& old, int to, bool owner_kept) {
  bool had_acl = false;
  for (const auto& [name, value] : old.attributes) {
    had_acl = had_acl || name == os::access_acl;
    if (!copies_attribute(name, owner_kept)) continue;
    const os::attribute_set set = os::set_attribute(to, name.c_str(), value);
    if (set == os::attribute_set::failed ||
        (set == os::attribute_set::not_permitted && !is_privileged_attribute(name))) {
      return false;
    }
  }
  return had_acl || os::remove_attribute(to, os::access_acl.data());
}

}  // namespace

os::opened header_file::open_in_place() {
  os::opened got = os::open_at(place_, os::how::create);
  created_ = got.file != -1;
  if (got.error == os::open_error::exists) got = os::open_at(place_, os::how::write);
  return got;
}

// Opens the name at `place_`: with --replace to read it, else to write it.
// A link is reported as such, also where the system denies opening it.
os::opened header_file::open_name() {
  os::opened got = replace_ ? os::open_at(place_, os::how::read) : open_in_place();
  os::file_status there;
  if (got.error == os::open_error::denied && os::status_at(place_, there) &&
      there.kind == os::file_kind::link) {
    got.error = os::open_error::link;
  }
  return got;
}

header_open header_file::open(int listing) {
  if (path_ == "-") return header_open::same_as_console;  // standard output by convention
  if (!os::open_folder(path_.c_str(), place_)) return header_open::failed;
  os::opened got = open_name();
  for (int hops = 0; got.error == os::open_error::link; ++hops) {
    os::file_status link;
    os::file_status folder;
    if (!os::status_at(place_, link) || !os::folder_status(place_, folder)) {
      return header_open::failed;
    }
    if (is_planted_link(link, folder, os::user())) return header_open::planted_link;
    if (hops == link_limit || !os::follow_link(place_)) return header_open::failed;
    got = open_name();
  }
  if (replace_ && got.error == os::open_error::absent) return header_open::opened;  // a new header
  if (got.error == os::open_error::denied || got.error == os::open_error::no_reader) {
    // Nothing opened: what stands there is judged before it is waited for.
    header_facts facts{{}, {}, os::user(), false, replace_};
    if (!os::status_at(place_, facts.file) || !os::folder_status(place_, facts.folder)) {
      return header_open::failed;
    }
    const header_verdict verdict = judge_header(facts);
    if (verdict == header_verdict::another_users_file) return header_open::another_users_file;
    if (verdict == header_verdict::replace) return header_open::unreadable;
    replace_ = false;  // a device or FIFO, written in place
    got = os::open_at(place_, os::how::write_waiting);
  }
  if (got.file == -1) return header_open::failed;
  file_ = got.file;
  return judge(listing);
}

// Judges the file opened, `file_`: refused, replaced (then it is the old
// header, open for reading) or written in place.
header_open header_file::judge(int listing) {
  header_facts facts{{}, {}, os::user(), created_, replace_};
  if (!os::status_of(file_, facts.file) || !os::folder_status(place_, facts.folder)) {
    return refuse(header_open::failed);
  }
  switch (judge_header(facts)) {
    case header_verdict::cannot_write:
      return refuse(header_open::failed);
    case header_verdict::another_users_file:
      return refuse(header_open::another_users_file);
    case header_verdict::replace:
      std::swap(existing_, file_);
      old_.status = facts.file;
      if (!os::final_place(existing_, place_)) return refuse(header_open::unknown_target);
      break;
    case header_verdict::write_in_place:
      if (replace_ && !reopen_for_writing(facts.file)) return refuse(header_open::failed);
      break;
  }
  return check_identity(listing);
}

// A device or FIFO opened for reading with --replace is written in place:
// opened again for writing, which must give the same file.
bool header_file::reopen_for_writing(const os::file_status& judged) {
  os::close_file(file_);
  replace_ = false;
  os::opened got = os::open_at(place_, os::how::write);
  if (got.error == os::open_error::no_reader) got = os::open_at(place_, os::how::write_waiting);
  file_ = got.file;
  os::file_status reopened;
  return file_ != -1 && os::status_of(file_, reopened) && same_node(judged, reopened);
}

header_open header_file::check_identity(int listing) {
  const bool writes = existing_ == -1;
  const int header = writes ? file_ : existing_;
  header_open result = refusal_for(one_file(listing, false, header, writes),
                                   header_open::same_as_listing, header_open::unknown_listing);
  if (result == header_open::opened) {
    std::fflush(stdout);  // what the console was given is in its file, whose size is a fact
    result = refusal_for(one_file(1, true, header, writes), header_open::same_as_console,
                         header_open::unknown_console);
  }
  return result == header_open::opened ? result : refuse(result);
}

// Closes what was opened; a file this run created is removed again, when
// its name still leads to it.
header_open header_file::refuse(header_open why) {
  os::file_status made;
  os::file_status there;
  if (created_ && file_ != -1 && os::status_of(file_, made) && os::status_at(place_, there) &&
      same_node(made, there)) {
    os::remove_at(place_);
  }
  created_ = false;
  discard();
  return why;
}

// The header opened for writing is read through a second descriptor of
// the same file. A file that another run replaced in the meantime (no name
// leads to it any more) has nothing to protect.
header_content header_file::look_inside(char* buffer, std::size_t size) const {
  if (existing_ != -1) return look_through(existing_, old_.status.size, buffer, size);
  os::file_status written;
  if (file_ == -1 || created_) return header_content::no_records;  // a new header
  if (!os::status_of(file_, written)) return header_content::unreadable;
  if (written.kind != os::file_kind::regular) return header_content::no_records;
  const os::opened reader = os::open_at(place_, os::how::read);
  os::file_status read_from;
  if (reader.file != -1 && os::status_of(reader.file, read_from) && same_node(written, read_from)) {
    const header_content content = look_through(reader.file, read_from.size, buffer, size);
    os::close_file(reader.file);
    return content;
  }
  if (reader.file != -1) os::close_file(reader.file);
  const bool gone = os::status_of(file_, written) && written.links == 0;
  return gone ? header_content::no_records : header_content::unreadable;
}

// With --replace the old header's rights are read, and it is closed: no
// handle of this run keeps another from replacing it while the listing is
// read (Windows renames over no open file).
header_begin header_file::begin(std::span<char> scratch) {
  if (!replace_) {
    const bool begun = os::make_blocking(file_) && os::empty_file(file_);
    return begun ? header_begin::begun : header_begin::failed;
  }
  if (existing_ != -1) {
    const os::file_status judged = old_.status;
    const bool read = os::read_rights(existing_, old_) && same_node(old_.status, judged);
    os::close_file(existing_);
    existing_ = -1;
    if (!read) return header_begin::failed;
    replacing_ = true;
  }
  // The text of a header that exists stays private until it has its rights.
  const os::how mode = replacing_ ? os::how::create_private : os::how::create;
  os::place part{place_.folder, {}};
  os::opened got;
  for (int attempt = 0; attempt < 100; ++attempt) {
    part.name = part_name(place_.name, attempt);
    got = os::open_at(part, mode);
    if (got.error != os::open_error::exists) break;
  }
  if (got.file == -1) {
    return got.error == os::open_error::denied ? header_begin::folder_not_writable
                                               : header_begin::failed;
  }
  file_ = got.file;
  part_ = part.name;
  same_ = replacing_;
  old_text_ = scratch;
  return header_begin::begun;
}

bool header_file::write(std::string_view text) {
  if (same_) same_ = same_text(text);
  return os::write_all(file_, text);
}

// Whether the old header, opened again for as long as this takes, holds
// `text` where the comparison stands.
bool header_file::same_text(std::string_view text) {
  const os::opened old = os::open_at(place_, os::how::read);
  os::file_status now;
  const bool same = old.file != -1 && os::status_of(old.file, now) &&
                    same_node(now, old_.status) && same_text_in(old.file, text);
  if (old.file != -1) os::close_file(old.file);
  return same;
}

// As the system writes `text`: each line feed as its line end (CR LF on
// Windows).
bool header_file::same_text_in(int old, std::string_view text) {
  const std::string_view line_end = os::line_end;
  while (!text.empty()) {
    const std::size_t take = std::min(text.size(), old_text_.size() / line_end.size());
    const std::string_view piece = text.substr(0, take);
    const auto feeds = static_cast<std::size_t>(std::count(piece.begin(), piece.end(), '\n'));
    const std::size_t size = take + feeds * (line_end.size() - 1);
    if (os::read_at(old, compared_, old_text_.data(), size) != static_cast<std::ptrdiff_t>(size)) {
      return false;
    }
    compared_ += size;
    text.remove_prefix(take);
    if (line_end.size() == 1) {
      if (std::memcmp(piece.data(), old_text_.data(), size) != 0) return false;
      continue;
    }
    const char* at = old_text_.data();
    for (const char c : piece) {
      const std::string_view expected = c == '\n' ? line_end : std::string_view(&c, 1);
      if (std::string_view(at, expected.size()) != expected) return false;
      at += expected.size();
    }
  }
  return true;
}

// The old header holds the new text, all of it, and is still the file that
// the header's name leads to, as it was when it was opened: the last run to
// finish wins, so a header changed meanwhile is replaced.
bool header_file::old_header_kept() {
  os::file_status there;
  const os::file_status& old = old_.status;
  return same_ && compared_ == old.size && os::status_at(place_, there) && same_node(there, old) &&
         there.size == old.size && there.modified == old.modified && there.changed == old.changed;
}

// Data first, then owner and group, attributes, and the mode last: the
// system clears the setuid bit and capabilities on a write and on a change
// of owner.
bool header_file::give_rights() {
  const os::file_status& old = old_.status;
  os::file_status made;
  if (!os::status_of(file_, made)) return false;
  if (made.owner != old.owner || made.group != old.group) {
    // The old owner where the process may give it (root can), else the
    // group, where it is one of the user's own.
    if (!os::set_owner(file_, old.owner, old.group)) {
      os::set_owner(file_, os::unchanged, old.group);
    }
    if (!os::status_of(file_, made)) return false;
  }
  const bool owner_kept = made.owner == old.owner && made.group == old.group;
  return copy_attributes(old_, file_, owner_kept) && os::set_security(file_, old_) &&
         os::set_flags(file_, flags_to_give(old_.flags)) &&
         os::set_mode(file_, mode_to_give(old, made));
}

bool header_file::close() {
  if (file_ == -1) return true;
  const bool settled = os::settle_writes(file_);
  const bool given = !replacing_ || give_rights();
  const bool closed = os::close_file(file_);
  file_ = -1;
  return settled && given && closed;
}

header_commit header_file::commit() {
  header_commit renamed = header_commit::done;
  if (!part_.empty() && !(replacing_ && old_header_kept())) {
    renamed = os::rename_to(place_, part_);
    if (renamed == header_commit::done) part_.clear();
  }
  discard();  // removes the new file where it did not take the header's place
  return renamed;
}

void header_file::discard() {
  if (file_ != -1) os::close_file(file_);
  if (existing_ != -1) os::close_file(existing_);
  file_ = -1;
  existing_ = -1;
  if (!part_.empty()) os::remove_at({place_.folder, part_});
  part_.clear();
  os::close_folder(place_);
}
