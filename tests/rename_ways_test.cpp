// How the new file takes the header's place on Windows, against a fake
// Windows that answers each way of renaming as Microsoft's pages document,
// which Wine cannot show: a rename class or flag a version lacks, a target
// held for a while or for too long, a read-only target. One row per case.
#include <cstdio>
#include <vector>

#include "rename_ways.h"

namespace {

// winerror.h
constexpr std::uint32_t ok = 0, denied = 5, sharing = 32, not_supported = 50, invalid = 87;
using answers = std::vector<std::uint32_t>;  // a way's answers in turn; the last for ever

struct row {
  const char* what;
  answers ways[4];  // posix ignoring read-only, posix, plain, by name; none: invalid
  bool read_only;
  rename_outcome outcome;
  int waits;
};

const row rows[] = {
    // FILE_RENAME_INFO: FILE_RENAME_FLAG_IGNORE_READONLY_ATTRIBUTE came with
    // Windows 10 1809; an older one refuses the unknown flag as an invalid
    // parameter, and takes the POSIX rename without it.
    {"0x40 refused: POSIX without it", {{invalid}, {ok}, {}, {}}, false, rename_outcome::done, 0},
    // FileRenameInfoEx came with Windows 10 1607 (and needs NTFS); before it
    // the class is not supported, and FileRenameInfo (Vista) is taken.
    {"no POSIX rename: the plain one", {{invalid}, {not_supported}, {ok}, {}}, false,
     rename_outcome::done, 0},
    {"no class at all: MoveFileExW by name", {{}, {}, {}, {ok}}, false, rename_outcome::done, 0},
    {"nothing renames", {{}, {}, {}, {}}, false, rename_outcome::failed, 0},
    // CreateFile: ERROR_SHARING_VIOLATION while another process holds the
    // file without FILE_SHARE_DELETE; an indexer lets go within moments.
    {"held for a moment", {{sharing, sharing, ok}, {}, {}, {}}, false, rename_outcome::done, 2},
    {"held past the wait", {{sharing}, {}, {}, {}}, false, rename_outcome::failed, 39},
    {"denied for a moment (a scanner)", {{denied, ok}, {}, {}, {}}, false, rename_outcome::done, 1},
    {"read-only, 1809 and later", {{ok}, {}, {}, {}}, true, rename_outcome::done, 0},
    // Without the flag a read-only target gives ERROR_ACCESS_DENIED, as
    // MoveFileEx does for one: said at once, as waiting cannot help.
    {"read-only under POSIX without 0x40", {{invalid}, {denied}, {}, {}}, true,
     rename_outcome::read_only, 0},
    {"read-only under the plain rename", {{}, {}, {denied}, {}}, true, rename_outcome::read_only, 0},
    {"read-only under MoveFileExW", {{}, {}, {}, {denied}}, true, rename_outcome::read_only, 0},
    {"read-only and held, where 0x40 is taken", {{denied, ok}, {}, {}, {}}, true,
     rename_outcome::done, 1},
};

}  // namespace

int main() {
  int failed = 0;
  for (const row& r : rows) {
    std::vector<answers> left(std::begin(r.ways), std::end(r.ways));
    int waits = 0;
    const rename_outcome outcome = rename_in_turn(
        [&](rename_way way) {
          answers& mine = left[static_cast<std::size_t>(way)];
          const std::uint32_t answer = mine.empty() ? invalid : mine.front();
          if (mine.size() > 1) mine.erase(mine.begin());
          return answer;
        },
        r.read_only, [&] { ++waits; });
    if (outcome != r.outcome || waits != r.waits) {
      std::printf("wrong answer: %s\n", r.what);
      ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}
