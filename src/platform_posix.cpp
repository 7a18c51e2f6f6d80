// The POSIX side of the platform layer: files by descriptor, told apart by
// device and inode, and a standard output that takes bytes as they are.
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstddef>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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

const char* const separators = "/";

// Whether the link at `path` was made by another user in a folder that
// anyone may write to and only owners may delete from (as /tmp), where the
// system follows it only if it protects such links; a folder that cannot be
// looked at counts as one.
bool planted(const char* path, const struct stat& link) {
  const std::string_view name = path;
  const std::size_t slash = name.rfind('/');
  const std::string folder =
      slash == std::string_view::npos ? "." : std::string(name, 0, slash + 1);
  struct stat shared {};
  if (stat(folder.c_str(), &shared) != 0) return true;
  constexpr mode_t open_to_all = S_ISVTX | S_IWOTH;
  return (shared.st_mode & open_to_all) == open_to_all && link.st_uid != geteuid() &&
         link.st_uid != shared.st_uid;
}

found look_at(const char* path, std::string& target) {
  struct stat status {};
  target = path;
  if (lstat(path, &status) != 0) return errno == ENOENT ? found::nothing : found::other;
  if (S_ISLNK(status.st_mode)) {
    if (planted(path, status)) return found::planted_link;
    char* const resolved = realpath(path, nullptr);
    if (resolved == nullptr) return found::other;  // leads nowhere: written in place
    target = resolved;
    std::free(resolved);
    if (stat(target.c_str(), &status) != 0) return found::other;
  }
  return S_ISREG(status.st_mode) ? found::regular_file : found::other;
}

int open_for_writing(const char* path, bool& created) {
  const int file = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  created = file != -1;
  if (file != -1 || errno != EEXIST) return file;
  return open(path, O_WRONLY | O_CLOEXEC);
}

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

// The header is open for writing only: it is read through a second
// descriptor that must lead to the same regular file. A file that another
// run replaced in the meantime (no name leads to it any more) has nothing
// to protect.
int open_reader(int file, const char* path, bool& regular) {
  struct stat written {};
  struct stat read_from {};
  regular = fstat(file, &written) != 0 || S_ISREG(written.st_mode);  // what cannot tell is read
  if (!regular) return -1;
  const int reader = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (reader != -1 && fstat(reader, &read_from) == 0 && same_file(written, read_from)) {
    return reader;
  }
  if (reader != -1) close(reader);
  regular = fstat(file, &written) != 0 || written.st_nlink != 0;
  return -1;
}

bool size_of(int reader, std::uint64_t& size) {
  struct stat status {};
  if (fstat(reader, &status) != 0) return false;
  size = static_cast<std::uint64_t>(status.st_size);
  return true;
}

std::ptrdiff_t read_at(int reader, std::uint64_t offset, char* buffer, std::size_t size) {
  return pread(reader, buffer, chunk(size), static_cast<off_t>(offset));
}

unsigned long process_id() { return static_cast<unsigned long>(getpid()); }

// Copies the extended attributes, POSIX ACLs among them; those that only a
// privileged process may set are left out when it may not, as are all of
// them on a file system that has none.
bool copy_attributes(int from, int to) {
  const ssize_t size = flistxattr(from, nullptr, 0);
  if (size <= 0) return size == 0 || errno == ENOTSUP;
  std::string names(static_cast<std::size_t>(size), '\0');
  const ssize_t names_size = flistxattr(from, names.data(), names.size());
  if (names_size < 0) return false;
  names.resize(static_cast<std::size_t>(names_size));
  std::string value;
  for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
    const char* const name = names.c_str() + at;
    const ssize_t value_size = fgetxattr(from, name, nullptr, 0);
    if (value_size < 0) return false;
    value.resize(static_cast<std::size_t>(value_size));
    if (fgetxattr(from, name, value.data(), value.size()) != value_size) return false;
    const std::string_view space(name);
    const bool privileged = space.starts_with("security.") || space.starts_with("trusted.");
    if (fsetxattr(to, name, value.data(), value.size(), 0) != 0 &&
        !(privileged && errno == EPERM)) {
      return false;
    }
  }
  return true;
}

// The old header's owner and group where the process may set them (root
// can; an owner may give a file to a group of its own), and its mode, but
// no setuid or setgid bit when the owner or the group differs.
bool copy_owner_and_mode(const struct stat& old, int file) {
  struct stat made {};
  if (fstat(file, &made) != 0) return false;
  if (made.st_uid != old.st_uid || made.st_gid != old.st_gid) {
    const bool given = fchown(file, old.st_uid, old.st_gid) == 0 ||
                       fchown(file, static_cast<uid_t>(-1), old.st_gid) == 0;
    if (given && fstat(file, &made) != 0) return false;
  }
  mode_t mode = old.st_mode & 07777;
  if (made.st_uid != old.st_uid || made.st_gid != old.st_gid) {
    mode &= static_cast<mode_t>(~(S_ISUID | S_ISGID));
  }
  return fchmod(file, mode) == 0;
}

int create_new(const std::string& part, int existing, bool& exists, bool& denied) {
  struct stat old {};
  if (existing != -1 && fstat(existing, &old) != 0) return -1;
  const int file = open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  exists = file == -1 && errno == EEXIST;
  denied = file == -1 && (errno == EACCES || errno == EPERM || errno == EROFS);
  if (file == -1 || existing == -1 ||
      (copy_owner_and_mode(old, file) && copy_attributes(existing, file))) {
    return file;
  }
  close(file);
  unlink(part.c_str());
  return -1;
}

bool move_over(const std::string& part, const char* path) {
  return rename(part.c_str(), path) == 0;
}

void remove_file(const std::string& path) { unlink(path.c_str()); }

}  // namespace os
