// The table of cases that decides whether two open files are one, row by row.
#include <cstdio>

#include "file_identity.h"

namespace {

file_facts file(std::uint64_t volume, unsigned char id, std::uint32_t links = 1,
                std::uint64_t size = 10, bool remote = false) {
  file_facts facts;
  facts.volume = volume;
  facts.id[15] = id;
  facts.links = links;
  facts.size = size;
  facts.remote = remote;
  return facts;
}

file_facts remote(std::uint64_t volume, unsigned char id) { return file(volume, id, 1, 10, true); }

file_facts device() {
  file_facts facts;
  facts.disk = false;
  return facts;
}

struct row {
  const char* what;
  file_facts a;
  file_facts b;
  path_match paths;
  lock_answer lock;
  identity expected;
};

constexpr auto unknown = path_match::unknown;
constexpr auto equal = path_match::equal;
constexpr auto different = path_match::different;
constexpr auto not_tried = lock_answer::not_tried;

const row rows[] = {
    {"one id on one volume", file(7, 1), file(7, 1), different, not_tried, identity::one},
    {"two ids on one volume", file(7, 1), file(7, 2), equal, not_tried, identity::two},
    {"one id on two volumes", file(7, 1), file(8, 1), unknown, not_tried, identity::two},
    {"two ids, volume unknown", file(0, 1), file(0, 2), unknown, not_tried, identity::two},
    {"one id, volume unknown: paths", file(0, 1), file(0, 1), equal, not_tried, identity::one},
    {"no ids, other paths, one link each", file(0, 0), file(0, 0), different, not_tried,
     identity::two},
    {"no ids, other paths, hard links", file(0, 0, 2), file(0, 0, 2), different, not_tried,
     identity::try_lock},
    {"no ids, no paths, other sizes", file(0, 0, 1, 10), file(0, 0, 1, 11), unknown, not_tried,
     identity::two},
    {"no ids, no paths, links unknown", file(0, 0, 0, 10), file(0, 0, 0, 11), unknown,
     not_tried, identity::try_lock},
    {"lock refused", file(0, 0), file(0, 0), unknown, lock_answer::refused, identity::one},
    {"lock granted", file(0, 0), file(0, 0), unknown, lock_answer::granted, identity::two},
    {"lock failed", file(0, 0), file(0, 0), unknown, lock_answer::failed, identity::one},
    {"share: one id on one volume", remote(7, 1), remote(7, 1), different, not_tried,
     identity::one},
    {"share: two serials", remote(7, 1), remote(8, 1), different, not_tried, identity::try_lock},
    {"share: two ids", remote(7, 1), file(7, 2), different, not_tried, identity::try_lock},
    {"share: other sizes", remote(0, 0), file(0, 0, 1, 11), different, not_tried,
     identity::try_lock},
    {"share: lock granted", remote(7, 1), remote(8, 2), different, lock_answer::granted,
     identity::two},
    {"share: lock refused", remote(7, 1), remote(8, 2), different, lock_answer::refused,
     identity::one},
    {"share: paths equal", remote(7, 1), remote(8, 2), equal, not_tried, identity::one},
    {"a console and a file", device(), file(7, 1), unknown, not_tried, identity::two},
    {"two devices", device(), device(), equal, lock_answer::failed, identity::two},
};

}  // namespace

int main() {
  int failed = 0;
  for (const row& r : rows) {
    if (judge_identity(r.a, r.b, r.paths, r.lock) != r.expected) {
      std::printf("wrong verdict: %s\n", r.what);
      ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}
