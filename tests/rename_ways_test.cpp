// How the new file takes the header's place on Windows, against a fake
// Windows that gives, for each way of renaming, the answers Microsoft's pages
// document and Wine cannot show: a rename class a version lacks, a flag it
// lacks, a target held by another process for a while or for too long, and a
// read-only target.
#include <cstdio>
#include <deque>
#include <map>

#include "rename_ways.h"

namespace {

int failures = 0;

void check(bool holds, const char* what) {
  if (holds) return;
  std::printf("failed: %s\n", what);
  ++failures;
}

// winerror.h
constexpr std::uint32_t done = 0, access_denied = 5, sharing_violation = 32,
                        not_supported = 50, invalid_parameter = 87;

// Answers each way with the next of its answers, and its last one for ever.
struct fake_windows {
  std::map<rename_way, std::deque<std::uint32_t>> answers;
  std::map<rename_way, int> tries;
  int waits = 0;

  rename_outcome rename(bool read_only) {
    return rename_in_turn(
        [this](rename_way way) {
          ++tries[way];
          std::deque<std::uint32_t>& left = answers[way];
          const std::uint32_t answer = left.empty() ? invalid_parameter : left.front();
          if (left.size() > 1) left.pop_front();
          return answer;
        },
        read_only, [this] { ++waits; });
  }
};

void unsupported_ways_give_way() {
  fake_windows windows;
  // FILE_RENAME_INFO: "FILE_RENAME_FLAG_IGNORE_READONLY_ATTRIBUTE ... Windows
  // 10, version 1809"; an older system refuses the unknown flag as an invalid
  // parameter, and takes the rename without it.
  windows.answers[rename_way::posix_ignoring_read_only] = {invalid_parameter};
  windows.answers[rename_way::posix] = {done};
  check(windows.rename(false) == rename_outcome::done && windows.tries[rename_way::plain] == 0,
        "0x40 refused: the POSIX rename without it");
  fake_windows before_1607;
  // FileRenameInfoEx came with Windows 10 1607: before it (and off NTFS) the
  // class is not supported; FileRenameInfo is there since Vista.
  before_1607.answers[rename_way::posix_ignoring_read_only] = {invalid_parameter};
  before_1607.answers[rename_way::posix] = {not_supported};
  before_1607.answers[rename_way::plain] = {done};
  check(before_1607.rename(false) == rename_outcome::done, "no POSIX rename: the plain one");
  fake_windows none;  // every class refused: MoveFileExW by name
  none.answers[rename_way::by_name] = {done};
  check(none.rename(false) == rename_outcome::done && none.tries[rename_way::plain] == 1,
        "the last resort, by name");
  fake_windows nothing;
  check(nothing.rename(false) == rename_outcome::failed, "nothing can rename: failed");
}

void held_targets() {
  fake_windows brief;
  // CreateFile: "ERROR_SHARING_VIOLATION" while another process holds the
  // file without FILE_SHARE_DELETE; an indexer lets it go within moments.
  brief.answers[rename_way::posix_ignoring_read_only] = {sharing_violation, sharing_violation,
                                                         done};
  check(brief.rename(false) == rename_outcome::done && brief.waits == 2,
        "a sharing violation that ends within the wait");
  fake_windows long_held;
  long_held.answers[rename_way::posix_ignoring_read_only] = {sharing_violation};
  check(long_held.rename(false) == rename_outcome::failed && long_held.waits == 39 &&
            long_held.tries[rename_way::posix] == 0,
        "a sharing violation that outlasts the wait: failed after about two seconds");
  fake_windows denied;
  denied.answers[rename_way::posix_ignoring_read_only] = {access_denied, done};
  check(denied.rename(false) == rename_outcome::done && denied.waits == 1,
        "access denied for a moment (a scanner holds it) is waited for");
}

void read_only_targets() {
  fake_windows ignoring;
  ignoring.answers[rename_way::posix_ignoring_read_only] = {done};
  check(ignoring.rename(true) == rename_outcome::done, "1809 and later replace a read-only header");
  fake_windows without_flag;
  // Without FILE_RENAME_FLAG_IGNORE_READONLY_ATTRIBUTE a read-only target
  // gives ERROR_ACCESS_DENIED, as MoveFileEx does for one.
  without_flag.answers[rename_way::posix_ignoring_read_only] = {invalid_parameter};
  without_flag.answers[rename_way::posix] = {access_denied};
  check(without_flag.rename(true) == rename_outcome::read_only && without_flag.waits == 0,
        "read-only under the POSIX rename without the flag: said at once");
  fake_windows plain;
  plain.answers[rename_way::posix] = {invalid_parameter};
  plain.answers[rename_way::plain] = {access_denied};
  check(plain.rename(true) == rename_outcome::read_only, "read-only under the plain rename");
  fake_windows by_name;
  by_name.answers[rename_way::by_name] = {access_denied};
  check(by_name.rename(true) == rename_outcome::read_only, "read-only under MoveFileExW");
  fake_windows held;
  held.answers[rename_way::posix_ignoring_read_only] = {access_denied, done};
  check(held.rename(true) == rename_outcome::done && held.waits == 1,
        "a read-only header held for a moment, where the flag is taken, is waited for");
}

}  // namespace

int main() {
  unsupported_ways_give_way();
  held_targets();
  read_only_targets();
  return failures == 0 ? 0 : 1;
}
