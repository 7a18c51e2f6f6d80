// The POSIX side of the platform layer: files by descriptor, told apart by
// device and inode, and a standard output that takes bytes as they are.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstddef>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform.h"
#include "platform_system.h"

namespace {

// Device and inode, or for block devices the device they stand for.
bool same_file(const struct stat& a, const struct stat& b) {
  if (a.st_dev == b.st_dev && a.st_ino == b.st_ino) return true;
  return S_ISBLK(a.st_mode) && S_ISBLK(b.st_mode) && a.st_rdev == b.st_rdev;
}

}  // namespace

bool prepare_standard_streams() {
  if (std::signal(SIGPIPE, SIG_IGN) == SIG_ERR || std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR) {
    return false;
  }
  for (int standard = 0; standard <= 2; ++standard) {
    if (fcntl(standard, F_GETFD) != -1 || errno != EBADF) continue;
    if (open("/dev/null", O_RDWR) != standard) return false;
  }
  return true;
}

// -1 for a directory too, or a file the system cannot describe.
int open_listing(const char* path) {
  const int file = open(path, O_RDONLY | O_CLOEXEC);
  struct stat status {};
  if (file == -1 || (fstat(file, &status) == 0 && !S_ISDIR(status.st_mode))) return file;
  close(file);
  return -1;
}

// The program catches no signal (it ignores two), so a read is never
// interrupted.
std::ptrdiff_t read_some(int file, char* buffer, std::size_t size) {
  return read(file, buffer, os::chunk(size));
}

bool close_file(int file) { return close(file) == 0; }

console::console() = default;

void console::write(std::string_view text) { os::write_standard_output(text); }

bool console::flush() { return os::flush_standard_output(); }

namespace os {

// A write may take part of the text; the rest is written by the next.
bool write_bytes(int file, std::string_view& text) {
  const std::ptrdiff_t written = ::write(file, text.data(), chunk(text.size()));
  if (written <= 0) return false;
  text.remove_prefix(static_cast<std::size_t>(written));
  return true;
}

found look_at(const char* path) {
  struct stat status {};
  if (lstat(path, &status) != 0) return errno == ENOENT ? found::nothing : found::other;
  return S_ISREG(status.st_mode) ? found::regular_file : found::other;
}

int open_for_writing(const char* path) { return open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666); }

int open_existing(const char* path, bool& regular) {
  const int file = open(path, O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  struct stat status {};
  regular = file != -1 && fstat(file, &status) == 0 && S_ISREG(status.st_mode);
  return file;
}

// A character device (a terminal, the null device) may be both the header
// and standard output.
header_open refuse_taken(int listing, int header) {
  struct stat in {};
  struct stat out {};
  struct stat console {};
  if (fstat(listing, &in) != 0 || fstat(header, &out) != 0) return header_open::failed;
  if (same_file(in, out)) return header_open::same_as_listing;
  if (fstat(STDOUT_FILENO, &console) == 0 && !S_ISCHR(console.st_mode) &&
      same_file(console, out)) {
    return header_open::same_as_console;
  }
  return header_open::opened;
}

bool empty_file(int file) {
  struct stat status {};
  return fstat(file, &status) == 0 && (!S_ISREG(status.st_mode) || ftruncate(file, 0) == 0);
}

// The header is open for writing only: its start is read through a second
// descriptor that must lead to the same regular file.
std::size_t read_regular(int file, const char* path, char* buffer, std::size_t size) {
  struct stat written {};
  struct stat read_from {};
  if (fstat(file, &written) != 0 || !S_ISREG(written.st_mode)) return 0;
  const int reader = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (reader == -1) return 0;
  std::ptrdiff_t got = 0;
  if (fstat(reader, &read_from) == 0 && same_file(written, read_from)) {
    got = read(reader, buffer, chunk(size));
  }
  close(reader);
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

unsigned long process_id() { return static_cast<unsigned long>(getpid()); }

int create_new(const std::string& part, int existing, bool& exists) {
  struct stat old {};
  if (existing != -1 && fstat(existing, &old) != 0) return -1;
  const int file = open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  exists = file == -1 && errno == EEXIST;
  if (file == -1 || existing == -1 || fchmod(file, old.st_mode & 07777) == 0) return file;
  close(file);
  unlink(part.c_str());
  return -1;
}

bool move_over(const std::string& part, const char* path) {
  return rename(part.c_str(), path) == 0;
}

void remove_file(const std::string& path) { unlink(path.c_str()); }

}  // namespace os
