// The order in which Windows is asked to put a new file in the header's
// place, and what each refusal means.
#include "rename_ways.h"

namespace {

// Windows' error codes, as winerror.h gives them.
constexpr std::uint32_t invalid_function = 1, access_denied = 5, sharing_violation = 32,
                        lock_violation = 33, not_supported = 50, invalid_parameter = 87;
// The tries of one way, 50 ms apart: about two seconds.
constexpr int busy_tries = 40;

bool unsupported(std::uint32_t error) {
  return error == invalid_parameter || error == not_supported || error == invalid_function;
}

bool busy(std::uint32_t error) {
  return error == access_denied || error == sharing_violation || error == lock_violation;
}

}  // namespace

rename_outcome rename_in_turn(const rename_try& attempt, bool target_read_only,
                                 const std::function<void()>& wait) {
  auto way = rename_way::posix_ignoring_read_only;
  for (int tries = 1;; ++tries) {
    const std::uint32_t error = attempt(way);
    if (error == 0) return rename_outcome::done;
    if (unsupported(error) && way != rename_way::by_name) {
      way = static_cast<rename_way>(static_cast<int>(way) + 1);
      tries = 0;
      continue;
    }
    if (error == access_denied && target_read_only && way != rename_way::posix_ignoring_read_only) {
      return rename_outcome::read_only;
    }
    if (!busy(error) || tries == busy_tries) return rename_outcome::failed;
    wait();
  }
}
