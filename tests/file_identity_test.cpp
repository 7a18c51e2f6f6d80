// The table of cases that decides whether two open files are one, row by row.
#include <cstdio>

#include "file_identity.h"

namespace {

// A disk file on `volume` (0: unknown) with id `id` (0: unknown).
file_facts f(std::uint64_t volume, unsigned char id, std::uint32_t links = 1,
             std::uint64_t size = 10, bool remote = false, bool disk = true) {
  file_facts facts;
  facts.volume = volume;
  facts.id[15] = id;
  facts.links = links;
  facts.size = size;
  facts.remote = remote;
  facts.disk = disk;
  return facts;
}
file_facts share(std::uint64_t volume, unsigned char id) { return f(volume, id, 1, 10, true); }
const file_facts device = f(0, 0, 0, 0, false, false);

constexpr auto unknown = path_match::unknown;
constexpr auto equal = path_match::equal;
constexpr auto other = path_match::different;
constexpr auto untried = lock_answer::not_tried;
constexpr auto one = identity::one;
constexpr auto two = identity::two;
constexpr auto lock = identity::try_lock;

const struct {
  const char* what;
  file_facts a, b;
  path_match paths;
  lock_answer tried;
  identity expected;
} rows[] = {
    {"one id on one volume", f(7, 1), f(7, 1), other, untried, one},
    {"two ids on one volume", f(7, 1), f(7, 2), equal, untried, two},
    {"one id on two volumes", f(7, 1), f(8, 1), unknown, untried, two},
    {"two ids, volume unknown", f(0, 1), f(0, 2), unknown, untried, two},
    {"one id unknown", f(7, 1), f(7, 0), unknown, untried, lock},
    {"one id, volume unknown: paths", f(0, 1), f(0, 1), equal, untried, one},
    {"one id, one volume unknown", f(7, 1), f(0, 1), unknown, untried, lock},
    {"no ids, other paths, one link each", f(0, 0), f(0, 0), other, untried, two},
    {"no ids, other paths, hard links", f(0, 0, 2), f(0, 0, 2), other, untried, lock},
    {"no ids, no paths, other sizes", f(0, 0, 1, 10), f(0, 0, 1, 11), unknown, untried, two},
    {"no ids, no paths, no links", f(0, 0, 0, 10), f(0, 0, 0, 11), unknown, untried, lock},
    {"nothing known but other paths", file_facts{}, file_facts{}, other, untried, lock},
    {"lock refused", f(0, 0), f(0, 0), unknown, lock_answer::refused, one},
    {"lock granted", f(0, 0), f(0, 0), unknown, lock_answer::granted, two},
    {"lock failed", f(0, 0), f(0, 0), unknown, lock_answer::failed, identity::unknown},
    {"share: one id on one volume", share(7, 1), share(7, 1), other, untried, one},
    {"share: two serials", share(7, 1), share(8, 1), other, untried, lock},
    {"share: two ids", share(7, 1), f(7, 2), other, untried, lock},
    {"share: other sizes", share(0, 0), f(0, 0, 1, 11), other, untried, lock},
    {"share: lock granted", share(7, 1), share(8, 2), other, lock_answer::granted, two},
    {"share: lock refused", share(7, 1), share(8, 2), other, lock_answer::refused, one},
    {"share: lock failed", share(7, 1), share(8, 2), other, lock_answer::failed, identity::unknown},
    {"share: paths equal", share(7, 1), share(8, 2), equal, untried, one},
    {"a console and a file", device, f(7, 1), unknown, untried, two},
    {"two devices", device, device, equal, lock_answer::failed, two},
};

}  // namespace

int main() {
  int failed = 0;
  for (const auto& r : rows) {
    if (judge_identity(r.a, r.b, r.paths, r.tried) != r.expected) {
      std::printf("wrong verdict: %s\n", r.what);
      ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}
