// The header's life: found and judged through the descriptor opened, looked
// into, begun, then kept, replaced or discarded. Every decision is made by
// the plain functions of header_policy.h and file_identity.h; the calls
// that gather their facts are the platform's.
#include "header_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "file_identity.h"
#include "header_policy.h"
#include "header_format.h"
#include "record_search.h"

namespace {

// The size of the first read: enough to tell a header as written here.
constexpr std::size_t start_size = std::size_t{64} << 10;

bool same_node(const os::file_status& a, const os::file_status& b) {
  return a.volume == b.volume && a.node == b.node;
}

// Whether two open files are one: the facts decide, and a lock where they
// cannot; unknown where neither can tell.
identity one_file(int first, bool first_writes, int second, bool second_writes) {
  os::two_files facts;
  if (!os::identity_facts(first, first_writes, second, second_writes, facts)) {
    return identity::unknown;
  }
  const identity verdict = judge_identity(facts.first, facts.second, facts.paths, facts.lock);
  return verdict == identity::try_lock ? identity::unknown : verdict;
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

// The new file's name before its random part: the header's name and
// ".marvot-", the name cut (between characters) to keep the whole within
// one name's limit.
std::string new_file_stem(const std::string& path) {
  constexpr std::string_view marker = ".marvot-";
  constexpr std::size_t added = marker.size() + 6 + std::string_view(".part").size();
  const std::size_t slash = path.find_last_of(os::separators);
  const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  std::size_t end = path.size();
  if (end - name_start + added > os::name_limit) {
    end = name_start + os::name_limit - added;
    const auto continues = [&](std::size_t at) {  // a UTF-8 continuation byte
      return (static_cast<unsigned char>(path[at]) & 0xC0) == 0x80;
    };
    while (end > name_start && continues(end)) --end;
  }
  return path.substr(0, end).append(marker);
}

// Whether `old` holds `piece` as the system writes it, each line feed as
// `line_end`.
bool same_with_line_ends(std::string_view piece, const char* old, std::string_view line_end) {
  for (const char c : piece) {
    const std::string_view expected = c == '\n' ? line_end : std::string_view(&c, 1);
    if (std::string_view(old, expected.size()) != expected) return false;
    old += expected.size();
  }
  return true;
}

// The new file `name` as the user would reach it: in the folder that the
// header's path names.
std::string shown_name(const std::string& path, const std::string& name) {
  const std::size_t slash = path.find_last_of(os::separators);
  const std::size_t name_slash = name.find_last_of(os::separators);
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  return folder + (name_slash == std::string::npos ? name : name.substr(name_slash + 1));
}

}  // namespace

header_open header_file::open(int listing) {
  if (stage_ != header_stage::start) return header_open::failed;
  const header_open result = find(listing);
  stage_ = result == header_open::opened ? header_stage::opened : header_stage::settled;
  return result;
}

header_open header_file::find(int listing) {
  if (path_ == "-") return header_open::same_as_console;  // standard output by convention
  switch (os::open_place(path_.c_str(), place_, is_planted_link)) {
    case os::place_result::found:
      break;
    case os::place_result::refused_link:
      return header_open::planted_link;
    case os::place_result::failed:
      return header_open::failed;
  }
  os::opened got = open_name();
  if (got.error == os::open_error::dangling) {  // its target is made, and the link stays
    got = os::open_header(place_, os::how::write);
    file_ = got.file;
    creates_ = got.created;
    return got.file == -1 ? header_open::failed : judge(listing, got.created, false);
  }
  if (replace_asked_ && got.error == os::open_error::absent) {
    mode_ = header_mode::new_header;
    return header_open::opened;
  }
  if (got.error == os::open_error::denied || got.error == os::open_error::no_reader) {
    // Nothing opened: what stands there is judged before it is waited for.
    os::found facts;
    if (!os::describe(-1, place_, facts)) return header_open::failed;
    const header_verdict verdict =
        judge_header({facts.file, facts.folder, facts.user, false, replace_asked_});
    if (verdict == header_verdict::another_users_file) return header_open::another_users_file;
    if (verdict == header_verdict::replace) return header_open::unreadable;
    if (verdict == header_verdict::cannot_write) return header_open::failed;
    got = os::open_header(place_, os::how::write_waiting);  // a device or FIFO
    file_ = got.file;
    if (got.file != -1) return judge(listing, false, replace_asked_);
  }
  if (got.error == os::open_error::untraceable) return header_open::unknown_target;
  if (got.file == -1) return header_open::failed;
  return judge(listing, got.created, replace_asked_);
}

// Opens the name at `place_`: with --replace to read it, else to write it.
os::opened header_file::open_name() {
  os::opened got = os::open_header(place_, replace_asked_ ? os::how::read : os::how::write);
  if (got.file != -1 && replace_asked_) existing_ = got.file;
  if (got.file != -1 && !replace_asked_) file_ = got.file;
  creates_ = got.created;
  return got;
}

// Judges the file opened: refused, replaced (then it is the old header, open
// for reading) or written in place.
header_open header_file::judge(int listing, bool created, bool replace) {
  if (file_ == -1 && existing_ == -1) return refuse(header_open::failed);
  const int opened = file_ != -1 ? file_ : existing_;
  os::found facts;
  if (!os::describe(opened, place_, facts)) return refuse(header_open::failed);
  if (created) created_ = facts.file;
  switch (judge_header({facts.file, facts.folder, facts.user, created, replace})) {
    case header_verdict::cannot_write:
      return refuse(header_open::failed);
    case header_verdict::another_users_file:
      return refuse(header_open::another_users_file);
    case header_verdict::replace:
      mode_ = header_mode::replacing;
      old_.status = facts.file;
      break;
    case header_verdict::write_in_place:
      mode_ = header_mode::in_place;
      if (existing_ != -1 && !reopen_for_writing(facts.file)) return refuse(header_open::failed);
      break;
  }
  return check_identity(listing);
}

// A device or FIFO opened for reading with --replace is written in place:
// opened again for writing, which must give the same file.
bool header_file::reopen_for_writing(const os::file_status& judged) {
  os::close_file(existing_);
  existing_ = -1;
  os::opened got = os::open_header(place_, os::how::write);
  if (got.error == os::open_error::no_reader) {
    got = os::open_header(place_, os::how::write_waiting);
  }
  file_ = got.file;
  os::found reopened;
  return file_ != -1 && os::describe(file_, place_, reopened) && same_node(judged, reopened.file);
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

header_open header_file::apart_from(const header_file& other) {
  const int mine = file_ != -1 ? file_ : existing_;
  const int theirs = other.file_ != -1 ? other.file_ : other.existing_;
  identity said = os::same_place(place_, other.place_) ? identity::one : identity::two;
  if (mine != -1 && theirs != -1) {
    said = one_file(mine, existing_ == -1, theirs, other.existing_ == -1);
  }
  const header_open result =
      refusal_for(said, header_open::same_as_other, header_open::unknown_other);
  return result == header_open::opened ? result : refuse(result);
}

// Closes what was opened; a file this run created is removed again, when
// its name still leads to it.
header_open header_file::refuse(header_open why) {
  if (creates_ && file_ != -1) os::remove_created(place_, created_);
  creates_ = false;
  discard();
  return why;
}

// The header opened for writing is read through a second descriptor of
// the same file. A file that another run replaced in the meantime (no name
// leads to it any more) has nothing to protect.
header_content header_file::look_inside(char* buffer, std::size_t size) const {
  if (existing_ != -1) return look_through(existing_, old_.status.size, buffer, size);
  os::found written;
  if (file_ == -1 || creates_) return header_content::no_records;  // a new header
  if (!os::describe(file_, place_, written)) return header_content::unreadable;
  if (written.file.kind != os::file_kind::regular) return header_content::no_records;
  os::place at = place_;
  const os::opened reader = os::open_header(at, os::how::read);
  os::found read_from;
  if (reader.file != -1 && os::describe(reader.file, place_, read_from) &&
      same_node(written.file, read_from.file)) {
    const header_content content = look_through(reader.file, read_from.file.size, buffer, size);
    os::close_file(reader.file);
    return content;
  }
  if (reader.file != -1) os::close_file(reader.file);
  const bool gone = os::describe(file_, place_, written) && written.file.links == 0;
  return gone ? header_content::no_records : header_content::unreadable;
}

// With --replace the old header's rights are read, and it is closed: no
// handle of this run keeps another from replacing it while the listing is
// read (Windows renames over no open file).
header_result header_file::begin(std::span<char> scratch) {
  if (stage_ != header_stage::opened) return header_result::open_failed;
  stage_ = header_stage::begun;
  if (mode_ == header_mode::in_place) {
    return os::begin_in_place(file_) ? header_result::done : header_result::open_failed;
  }
  if (mode_ == header_mode::replacing) {
    const os::file_status judged = old_.status;
    const bool read = os::read_rights(existing_, old_) && same_node(old_.status, judged);
    os::close_file(existing_);
    existing_ = -1;
    if (!read) return header_result::open_failed;
    // Its size and times as judged: a change since then is a change.
    old_.status.size = judged.size;
    old_.status.modified = judged.modified;
    old_.status.changed = judged.changed;
    same_ = true;
    old_text_ = scratch;
  }
  return begin_new_file();
}

// Makes the new file; where that cannot be done beside an old header, the
// old one is only compared, and kept only where its text is the new text.
header_result header_file::begin_new_file() {
  const bool replacing = mode_ == header_mode::replacing;
  const std::string stem = new_file_stem(place_.name);
  switch (os::make_new_file(place_, stem, replacing, new_)) {
    case os::make_error::none:
      new_name_ = shown_name(path_, new_.name);
      return header_result::done;
    case os::make_error::folder_not_writable:
      if (!replacing) return header_result::folder_not_writable;
      compare_only(header_result::folder_not_writable);
      return header_result::done;
    case os::make_error::names_taken:
    case os::make_error::failed:
      break;
  }
  new_name_ = shown_name(path_, stem + "XXXXXX.part");
  if (!replacing) return header_result::new_file_failed;
  compare_only(header_result::new_file_failed);
  return header_result::done;
}

// The new file is given up (a full disk, a folder that cannot be written):
// `why` fails the run unless the old header proves to hold the new text.
void header_file::compare_only(header_result why) {
  if (!new_.name.empty()) {
    if (os::remove_new_file(place_, new_)) new_ = {};
    else why = header_result::remove_failed;
  }
  mode_ = header_mode::comparing;
  deferred_ = why;
}

// Kept; but a new file that could not be removed still fails the run.
header_result header_file::deferred_if_left() const {
  return deferred_ == header_result::remove_failed ? deferred_ : header_result::done;
}

bool header_file::write(std::string_view text) {
  if (stage_ != header_stage::begun) return false;
  if (same_) same_ = same_text(text);
  if (mode_ == header_mode::in_place) return os::write_all(file_, text);
  if (mode_ == header_mode::comparing) return true;
  if (os::write_all(new_.file, text)) return true;
  if (mode_ == header_mode::new_header) return false;
  compare_only(header_result::write_failed);
  return true;
}

// Whether the old header, opened again for as long as this takes, holds
// `text` where the comparison stands.
bool header_file::same_text(std::string_view text) {
  os::place at = place_;
  const os::opened old = os::open_header(at, os::how::read);
  os::found now;
  const bool same = old.file != -1 && os::describe(old.file, place_, now) &&
                    same_node(now.file, old_.status) && same_text_in(old.file, text);
  if (old.file != -1) os::close_file(old.file);
  return same;
}

// As the system writes `text`: each line feed as its line end (CR LF on
// Windows). The bytes that match go into the digest.
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
    text.remove_prefix(take);
    if (line_end.size() == 1 ? std::memcmp(piece.data(), old_text_.data(), size) != 0
                             : !same_with_line_ends(piece, old_text_.data(), line_end)) {
      return false;
    }
    compared_ += size;
    digest_.add({old_text_.data(), size});
  }
  return true;
}

bool header_file::close() {
  if (stage_ != header_stage::begun) return false;
  stage_ = header_stage::closed;
  if (mode_ != header_mode::in_place) return true;
  const bool closed = os::finish_in_place(file_);
  file_ = -1;
  if (!closed) stage_ = header_stage::settled;  // nothing is left to commit
  return closed;
}

// The old header holds the new text, all of it, and is still the file that
// the header's name leads to, its size and times as they were: times show a
// change, never its absence. They prove that nothing changed it only where
// they are older than the new file's by more than a clock's step; else (and
// where there is no new file) it is read again in full.
bool header_file::proven_unchanged() {
  const os::file_status& old = old_.status;
  os::found there;
  if (!same_ || compared_ != old.size || !os::describe(-1, place_, there) ||
      !same_node(there.file, old) || there.file.size != old.size ||
      there.file.modified != old.modified || there.file.changed != old.changed) {
    return false;
  }
  const bool told = os::times_tell && mode_ == header_mode::replacing &&
                    times_can_tell(old, new_.made.modified, os::ticks_per_second);
  return told || read_again();
}

// The old header, opened anew where no other process may write it
// meanwhile, read whole: its bytes are the new text's.
bool header_file::read_again() {
  os::place at = place_;
  const os::opened old = os::open_header(at, os::how::read_alone);
  os::found now;
  bool same = old.file != -1 && os::describe(old.file, place_, now) &&
              same_node(now.file, old_.status);
  text_digest read;
  for (std::uint64_t offset = 0; same;) {
    const std::ptrdiff_t got = os::read_at(old.file, offset, old_text_.data(), old_text_.size());
    if (got <= 0) {
      same = got == 0;
      break;
    }
    read.add({old_text_.data(), static_cast<std::size_t>(got)});
    offset += static_cast<std::uint64_t>(got);
  }
  if (old.file != -1) os::close_file(old.file);
  return same && read == digest_;
}

// The new file, given the old header's rights and its data written out,
// takes the header's place.
header_result header_file::replace() {
  if (mode_ == header_mode::replacing && !os::give_rights(new_, plan_rights(old_))) {
    return header_result::rights_refused;
  }
  if (!os::finish_new_file(new_)) return header_result::write_failed;
  switch (os::put_in_place(place_, new_)) {
    case os::rename_result::done:
      new_ = {};
      return header_result::done;
    case os::rename_result::read_only:
      return header_result::read_only;
    case os::rename_result::failed:
      break;
  }
  return header_result::replace_failed;
}

header_result header_file::commit() {
  if (stage_ != header_stage::closed) {
    discard();
    return header_result::write_failed;
  }
  header_result result = header_result::done;
  switch (mode_) {
    case header_mode::in_place:
      break;
    case header_mode::comparing:
      result = proven_unchanged() ? deferred_if_left() : deferred_;
      break;
    case header_mode::replacing:
      if (proven_unchanged()) break;
      [[fallthrough]];
    case header_mode::new_header:
      result = replace();
      break;
  }
  if (!new_.name.empty() && !os::remove_new_file(place_, new_) && result == header_result::done) {
    result = header_result::remove_failed;
  }
  new_ = {};
  discard();
  return result;
}

void header_file::discard() {
  // Opened but never begun: a header this run created holds nothing of it.
  if (stage_ == header_stage::opened && creates_ && file_ != -1) {
    os::remove_created(place_, created_);
  }
  if (file_ != -1) os::finish_in_place(file_);
  if (existing_ != -1) os::close_file(existing_);
  file_ = -1;
  existing_ = -1;
  if (!new_.name.empty()) os::remove_new_file(place_, new_);
  new_ = {};
  os::close_place(place_);
  stage_ = header_stage::settled;
}
