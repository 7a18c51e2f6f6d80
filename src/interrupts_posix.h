// The new files that an interrupting signal (SIGINT, SIGTERM, SIGHUP)
// removes on POSIX before the process ends by that signal.
#pragma once

#include <signal.h>

#include <string>

namespace os::posix {

// Installs the handler for each interrupting signal not ignored at the start
// (nohup, a background job); false when the system refuses.
bool catch_interrupts();

// Holds the interrupting signals for as long as it lives, so that a name is
// recorded, or cleared, together with the call that makes it matter.
class interrupts_held {
 public:
  interrupts_held();
  ~interrupts_held();
  interrupts_held(const interrupts_held&) = delete;
  interrupts_held& operator=(const interrupts_held&) = delete;

 private:
  sigset_t before_;
};

// Records the new file `name` in `folder` for removal; false when there is
// no room (two files at most) or the name is too long.
bool record(int folder, const std::string& name);
// Clears its record: it took the header's place, or is gone.
void forget(int folder, const std::string& name);

}  // namespace os::posix
