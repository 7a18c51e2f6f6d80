// The new files that an interrupting signal removes on POSIX.
#include "interrupts_posix.h"

#include <csignal>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "platform.h"

namespace os::posix {

namespace {

// Written only while the interrupting signals are held, and read by their
// handler, which can reach nothing but what is static: the one state of the
// program that is not in an object the caller owns.
struct recorded {
  volatile std::sig_atomic_t used = 0;
  int folder = -1;
  char name[name_limit + 1] = {};
};
recorded records[2];  // the header, and the declaration beside it
constexpr int interrupts[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t interrupt_set() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : interrupts) sigaddset(&set, signal);
  return set;
}

// Removes each recorded file, then dies by the same signal, as the shell
// then tells.
void on_interrupt(int signal) {
  for (const recorded& file : records) {
    if (file.used != 0) unlinkat(file.folder, file.name, 0);
  }
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigaction(signal, &fallback, nullptr);
  raise(signal);  // delivered as the handler returns
}

recorded* free_record() {
  for (recorded& file : records) {
    if (file.used == 0) return &file;
  }
  return nullptr;
}

recorded* record_for(int folder, const std::string& name) {
  for (recorded& file : records) {
    if (file.used != 0 && file.folder == folder && name == file.name) return &file;
  }
  return nullptr;
}

}  // namespace

// A signal ignored when the program started (nohup, a background job) stays so.
bool catch_interrupts() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  action.sa_mask = interrupt_set();
  for (const int signal : interrupts) {
    struct sigaction before {};
    if (sigaction(signal, nullptr, &before) != 0) return false;
    if (before.sa_handler == SIG_IGN) continue;
    if (sigaction(signal, &action, nullptr) != 0) return false;
  }
  return true;
}

interrupts_held::interrupts_held() {
  const sigset_t set = interrupt_set();
  sigprocmask(SIG_BLOCK, &set, &before_);
}

interrupts_held::~interrupts_held() { sigprocmask(SIG_SETMASK, &before_, nullptr); }

bool record(int folder, const std::string& name) {
  recorded* const file = free_record();
  if (file == nullptr || name.size() > name_limit) return false;
  std::memcpy(file->name, name.c_str(), name.size() + 1);
  file->folder = folder;
  file->used = 1;
  return true;
}

void forget(int folder, const std::string& name) {
  if (recorded* const file = record_for(folder, name)) file->used = 0;
}

}  // namespace os::posix
