// The tables of cases that decide whether a file may be written as the
// header, and which rights its replacement takes, row by row.
#include <cstdio>

#include "header_policy.h"

namespace {

using os::file_kind;
constexpr std::uint32_t me = 1000;
constexpr std::uint32_t other = 1001;
constexpr std::uint32_t root = 0;

os::file_status file(file_kind kind, std::uint32_t owner, std::uint32_t mode = 0644,
                     std::uint32_t group = 100) {
  os::file_status status;
  status.kind = kind;
  status.owner = owner;
  status.group = group;
  status.mode = mode;
  return status;
}
const os::file_status tmp = file(file_kind::directory, root, 01777);      // shared
const os::file_status open_dir = file(file_kind::directory, root, 0777);  // no sticky bit
const os::file_status sticky = file(file_kind::directory, root, 01775);   // others may not write
const os::file_status mine = file(file_kind::directory, me, 0755);
const os::file_status windows = file(file_kind::directory, 0, 0);         // no modes there

header_facts facts(os::file_status f, os::file_status folder, bool created = false,
                   bool replace = false, std::uint32_t user = me) {
  return {f, folder, user, created, replace};
}

constexpr auto in_place = header_verdict::write_in_place;
constexpr auto replaced = header_verdict::replace;
constexpr auto refused = header_verdict::another_users_file;
constexpr auto cannot = header_verdict::cannot_write;
constexpr auto regular = file_kind::regular;
constexpr auto fifo = file_kind::fifo;

const struct {
  const char* what;
  header_facts given;
  header_verdict expected;
} headers[] = {
    {"my file", facts(file(regular, me), mine), in_place},
    {"my file, replaced", facts(file(regular, me), mine, false, true), replaced},
    {"a file I made, replace", facts(file(regular, me), mine, true, true), in_place},
    {"another's file in my folder", facts(file(regular, other), mine, false, true), replaced},
    {"another's file in /tmp", facts(file(regular, other), tmp), refused},
    {"another's file in /tmp, replace", facts(file(regular, other), tmp, false, true), refused},
    {"another's file in /tmp, as root", facts(file(regular, other), tmp, false, false, root), refused},
    {"another's FIFO in /tmp", facts(file(fifo, other), tmp), refused},
    {"my file in /tmp", facts(file(regular, me), tmp, false, true), replaced},
    {"the folder owner's file in /tmp", facts(file(regular, root), tmp), in_place},
    {"a file made by this run in /tmp", facts(file(regular, other), tmp, true), in_place},
    {"another's file, folder not sticky", facts(file(regular, other), open_dir), in_place},
    {"another's file, sticky folder others cannot write", facts(file(regular, other), sticky),
     in_place},
    {"another's terminal in /tmp", facts(file(file_kind::character_device, other), tmp), in_place},
    {"my FIFO, replace", facts(file(fifo, me), mine, false, true), in_place},
    {"a device, replace", facts(file(file_kind::block_device, me), mine, false, true), in_place},
    {"a folder", facts(file(file_kind::directory, me), mine), cannot},
    {"a socket", facts(file(file_kind::other, me), mine), cannot},
    {"a link", facts(file(file_kind::link, me), mine), cannot},
    {"a Windows file", facts(file(regular, 0, 0), windows, false, true, 0), replaced},
};

const struct {
  const char* what;
  os::file_status link, folder;
  std::uint32_t user;
  bool planted;
} links[] = {
    {"another's link in /tmp", file(file_kind::link, other), tmp, me, true},
    {"another's link in /tmp, as root", file(file_kind::link, other), tmp, root, true},
    {"my link in /tmp", file(file_kind::link, me), tmp, me, false},
    {"the folder owner's link", file(file_kind::link, root), tmp, me, false},
    {"another's link, no sticky bit", file(file_kind::link, other), open_dir, me, false},
    {"another's link in my folder", file(file_kind::link, other), mine, me, false},
};

const struct {
  const char* what;
  os::file_status old, made;
  std::uint32_t mode;
} modes[] = {
    {"owner and group kept", file(regular, me, 06755, 5), file(regular, me, 0600, 5), 06755},
    {"owner differs", file(regular, other, 06755, 5), file(regular, me, 0600, 5), 0755},
    {"group differs", file(regular, me, 02750, 5), file(regular, me, 0600, 6), 0750},
    {"sticky bit kept", file(regular, other, 01644, 5), file(regular, me, 0600, 5), 01644},
    {"read-only", file(regular, me, 0444, 5), file(regular, me, 0600, 5), 0444},
};

const struct {
  const char* name;
  bool owner_kept, copied, privileged;
} attributes[] = {
    {"user.origin", false, true, false},
    {"system.posix_acl_access", false, true, false},
    {"security.capability", true, true, true},
    {"security.capability", false, false, true},
    {"security.selinux", false, true, true},
    {"trusted.note", true, true, true},
};

}  // namespace

int main() {
  int failed = 0;
  const auto check = [&](bool holds, const char* what) {
    if (holds) return;
    std::printf("wrong verdict: %s\n", what);
    ++failed;
  };
  for (const auto& r : headers) check(judge_header(r.given) == r.expected, r.what);
  for (const auto& r : links) check(is_planted_link(r.link, r.folder, r.user) == r.planted, r.what);
  for (const auto& r : modes) check(mode_to_give(r.old, r.made) == r.mode, r.what);
  // Read-only, hidden, system, archive and not indexed are kept; a folder's
  // bit and compression are not.
  check(flags_to_give(0x2027 | 0x10 | 0x800) == 0x2027, "Windows attributes kept");
  for (const auto& r : attributes) {
    check(copies_attribute(r.name, r.owner_kept) == r.copied, r.name);
    check(is_privileged_attribute(r.name) == r.privileged, r.name);
  }
  return failed == 0 ? 0 : 1;
}
