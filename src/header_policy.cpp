// Whether a file may be written as the header, and the rights its
// replacement takes.
#include "header_policy.h"

namespace {

// Anyone may write to the folder, and only a file's owner (or the folder's)
// may remove or rename it: /tmp, a shared drop folder.
bool shared(const os::file_status& folder) {
  constexpr std::uint32_t open_to_all = os::mode_sticky | os::mode_others_write;
  return folder.kind == os::file_kind::directory && (folder.mode & open_to_all) == open_to_all;
}

// Made by neither the user nor the folder's owner, in a shared folder.
bool someone_elses(const os::file_status& file, const os::file_status& folder,
                   std::uint32_t user) {
  return shared(folder) && file.owner != user && file.owner != folder.owner;
}

}  // namespace

header_verdict judge_header(const header_facts& facts) {
  const os::file_kind kind = facts.file.kind;
  if (kind == os::file_kind::directory || kind == os::file_kind::link ||
      kind == os::file_kind::other) {
    return header_verdict::cannot_write;
  }
  const bool plantable = kind == os::file_kind::regular || kind == os::file_kind::fifo;
  if (plantable && !facts.created && someone_elses(facts.file, facts.folder, facts.user)) {
    return header_verdict::another_users_file;
  }
  if (kind == os::file_kind::regular && facts.replace && !facts.created) {
    return header_verdict::replace;
  }
  return header_verdict::write_in_place;
}

bool is_planted_link(const os::file_status& link, const os::file_status& folder,
                     std::uint32_t user) {
  return someone_elses(link, folder, user);
}

std::uint32_t mode_to_give(const os::file_status& old, const os::file_status& made) {
  std::uint32_t mode = old.mode & 07777;
  if (made.owner != old.owner || made.group != old.group) {
    mode &= ~(os::mode_setuid | os::mode_setgid);
  }
  return mode;
}

bool copies_attribute(std::string_view name, bool owner_kept) {
  return owner_kept || name != "security.capability";
}

bool is_privileged_attribute(std::string_view name) {
  return name.starts_with("security.") || name.starts_with("trusted.");
}

std::uint32_t flags_to_give(std::uint32_t old_flags) {
  constexpr std::uint32_t read_only = 0x1, hidden = 0x2, system = 0x4, archive = 0x20;
  constexpr std::uint32_t not_content_indexed = 0x2000;
  return old_flags & (read_only | hidden | system | archive | not_content_indexed);
}

os::rights_plan plan_rights(const os::file_rights& old) {
  os::rights_plan plan;
  const os::file_status& status = old.status;
  os::file_status other_owner = status;
  other_owner.owner = ~status.owner;
  plan.owner = status.owner;
  plan.group = status.group;
  plan.mode = mode_to_give(status, status);
  plan.mode_other_owner = mode_to_give(status, other_owner);
  plan.drop_acl = true;
  for (const auto& [name, value] : old.attributes) {
    if (name == "system.posix_acl_access") plan.drop_acl = false;
    plan.attributes.push_back({name, value, !copies_attribute(name, false),
                               is_privileged_attribute(name)});
  }
  plan.dacl = old.dacl;
  plan.has_dacl = old.has_dacl;
  plan.dacl_protected = old.dacl_protected;
  plan.flags = flags_to_give(old.flags);
  return plan;
}

bool times_can_tell(const os::file_status& old, std::int64_t now, std::int64_t ticks_per_second) {
  const std::int64_t latest = now - 2 * ticks_per_second;
  return old.modified <= latest && old.changed <= latest;
}
