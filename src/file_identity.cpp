// Whether two open files are one, from the facts gathered of each.
#include "file_identity.h"

namespace {

bool known(const std::array<unsigned char, 16>& id) {
  for (const unsigned char byte : id) {
    if (byte != 0) return true;
  }
  return false;
}

// On one computer, ids tell files apart on their volume; a server's ids and
// serials prove one file only when both come from one volume.
identity by_ids(const file_facts& a, const file_facts& b) {
  if (!known(a.id) || !known(b.id)) return identity::try_lock;
  if (a.id == b.id && a.volume != 0 && a.volume == b.volume) return identity::one;
  if (a.remote || b.remote) return identity::try_lock;
  if (a.id != b.id || (a.volume != 0 && b.volume != 0)) return identity::two;
  return identity::try_lock;
}

}  // namespace

identity judge_identity(const file_facts& a, const file_facts& b, path_match paths,
                        lock_answer lock) {
  if (!a.disk || !b.disk) return identity::two;
  const identity ids = by_ids(a, b);
  if (ids != identity::try_lock) return ids;
  if (paths == path_match::equal) return identity::one;
  const bool local = !a.remote && !b.remote;
  if (local && paths == path_match::different && a.links == 1 && b.links == 1) {
    return identity::two;  // one name each, and not the same name
  }
  if (local && a.links != 0 && b.links != 0 && a.size != b.size) return identity::two;
  switch (lock) {
    case lock_answer::not_tried:
      return identity::try_lock;
    case lock_answer::granted:
      return identity::two;
    case lock_answer::failed:
      return identity::unknown;
    case lock_answer::refused:
      break;
  }
  return identity::one;
}
