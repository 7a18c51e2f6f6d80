// The POSIX side of the platform layer: files by descriptor, opened relative
// to a folder held open, told apart by device and inode, and a standard
// output that takes bytes as they are. Extended attributes are Linux's.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif

#include "platform.h"

namespace os {

namespace {

// What one read or write asks for, at most: fits the count of every system.
std::size_t chunk(std::size_t size) {
  return std::min(size, static_cast<std::size_t>(std::numeric_limits<int>::max()));
}

// A folder is opened only to find names in it.
#ifdef O_PATH
constexpr int folder_flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int folder_flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

file_kind kind_of(mode_t mode) {
  if (S_ISREG(mode)) return file_kind::regular;
  if (S_ISDIR(mode)) return file_kind::directory;
  if (S_ISFIFO(mode)) return file_kind::fifo;
  if (S_ISCHR(mode)) return file_kind::character_device;
  if (S_ISBLK(mode)) return file_kind::block_device;
  if (S_ISLNK(mode)) return file_kind::link;
  return file_kind::other;
}

std::int64_t nanoseconds(const struct timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

file_status status_from(const struct stat& status) {
  return {kind_of(status.st_mode),
          static_cast<std::uint32_t>(status.st_uid),
          static_cast<std::uint32_t>(status.st_gid),
          static_cast<std::uint32_t>(status.st_mode & 07777),
          static_cast<std::uint64_t>(status.st_nlink),
          static_cast<std::uint64_t>(status.st_size),
          static_cast<std::uint64_t>(status.st_dev),
          static_cast<std::uint64_t>(status.st_ino),
          nanoseconds(status.st_mtim),
          nanoseconds(status.st_ctim)};
}

open_error error_of(int error) {
  switch (error) {
    case EEXIST:
      return open_error::exists;
    case ENOENT:
      return open_error::absent;
    case ELOOP:
    case EMLINK:  // what some BSDs say of a link opened with O_NOFOLLOW
      return open_error::link;
    case ENXIO:
      return open_error::no_reader;
    case EACCES:
    case EPERM:
    case EROFS:
      return open_error::denied;
    default:
      return open_error::failed;
  }
}

// Which file: device and inode, or for a block device the device it stands
// for; a character device (a terminal, the null device) is never compared.
file_facts facts_of(const struct stat& status) {
  file_facts facts;
  facts.disk = !S_ISCHR(status.st_mode);
  const bool device = S_ISBLK(status.st_mode);
  const auto id = static_cast<std::uint64_t>(device ? status.st_rdev : status.st_ino);
  facts.volume = device ? ~std::uint64_t{0} : static_cast<std::uint64_t>(status.st_dev) + 1;
  std::memcpy(facts.id.data(), &id, sizeof id);
  facts.links = static_cast<std::uint32_t>(status.st_nlink);
  facts.size = static_cast<std::uint64_t>(status.st_size);
  return facts;
}

// Splits `path` into the folder and the last name; "." for a bare name.
std::string folder_of(std::string_view path, std::string& name) {
  const std::size_t slash = path.rfind('/');
  name = path.substr(slash == std::string_view::npos ? 0 : slash + 1);
  if (slash == std::string_view::npos) return ".";
  return std::string(path.substr(0, slash + 1));
}

}  // namespace

bool prepare_process() {
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
  return read(file, buffer, chunk(size));
}

std::ptrdiff_t read_at(int file, std::uint64_t offset, char* buffer, std::size_t size) {
  return pread(file, buffer, chunk(size), static_cast<off_t>(offset));
}

// A write may take part of the text; the rest is written by the next.
bool write_all(int file, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(file, text.data(), chunk(text.size()));
    if (written <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool close_file(int file) { return close(file) == 0; }

// An NFS client reports a write that failed late at the close.
bool settle_writes(int) { return true; }

bool open_folder(const char* path, place& at) {
  const std::string folder = folder_of(path, at.name);
  if (at.name.empty()) return false;
  at.folder = open(folder.c_str(), folder_flags);
  return at.folder != -1;
}

void close_folder(place& at) {
  if (at.folder != -1) close(at.folder);
  at.folder = -1;
}

opened open_at(const place& at, how mode) {
  int flags = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
  mode_t rights = 0666;  // less the umask, as any new file
  switch (mode) {
    case how::read:
      flags |= O_RDONLY;
      break;
    case how::create_private:
      rights = 0600;
      [[fallthrough]];
    case how::create:
      flags |= O_WRONLY | O_CREAT | O_EXCL;
      break;
    case how::write_waiting:
      flags &= ~O_NONBLOCK;
      [[fallthrough]];
    case how::write:
      flags |= O_WRONLY | O_CREAT;  // so that the kernel's protected_regular applies
      break;
  }
  const int file = openat(at.folder, at.name.c_str(), flags, rights);
  if (file != -1) return {file, open_error::none};
  return {-1, error_of(errno)};
}

bool status_of(int file, file_status& status) {
  struct stat got {};
  if (fstat(file, &got) != 0) return false;
  status = status_from(got);
  return true;
}

bool status_at(const place& at, file_status& status) {
  struct stat got {};
  if (fstatat(at.folder, at.name.c_str(), &got, AT_SYMLINK_NOFOLLOW) != 0) return false;
  status = status_from(got);
  return true;
}

bool folder_status(const place& at, file_status& status) { return status_of(at.folder, status); }

bool follow_link(place& at) {
  std::string target(256, '\0');
  for (;;) {
    const ssize_t size = readlinkat(at.folder, at.name.c_str(), target.data(), target.size());
    if (size < 0) return false;
    if (static_cast<std::size_t>(size) < target.size()) {
      target.resize(static_cast<std::size_t>(size));
      break;
    }
    target.resize(2 * target.size());
  }
  std::string name;
  const std::string folder = folder_of(target, name);
  if (name.empty()) return false;
  const int next = openat(at.folder, folder.c_str(), folder_flags);
  if (next == -1) return false;
  close(at.folder);
  at.folder = next;
  at.name = std::move(name);
  return true;
}

bool final_place(int, place&) { return true; }

std::uint32_t user() { return static_cast<std::uint32_t>(geteuid()); }

bool make_blocking(int file) {
  const int flags = fcntl(file, F_GETFL);
  return flags != -1 && fcntl(file, F_SETFL, flags & ~O_NONBLOCK) != -1;
}

// An empty file is left as it is: emptying it again would make ext4 take it
// for a rewritten file and flush all that is then written at its close.
bool empty_file(int file) {
  struct stat status {};
  return fstat(file, &status) == 0 &&
         (!S_ISREG(status.st_mode) || status.st_size == 0 || ftruncate(file, 0) == 0);
}

bool identity_facts(int first, int second, file_facts& a, file_facts& b, path_match& paths) {
  struct stat one {};
  struct stat other {};
  if (fstat(first, &one) != 0 || fstat(second, &other) != 0) return false;
  a = facts_of(one);
  b = facts_of(other);
  paths = path_match::unknown;
  return true;
}

// Device and inode always tell, so no lock is ever needed.
lock_answer try_lock(int, bool, int, bool) { return lock_answer::failed; }

bool set_owner(int file, std::uint32_t owner, std::uint32_t group) {
  return fchown(file, static_cast<uid_t>(owner), static_cast<gid_t>(group)) == 0;
}

bool set_mode(int file, std::uint32_t mode) { return fchmod(file, static_cast<mode_t>(mode)) == 0; }

#ifdef __linux__
// A file system without extended attributes has none to copy.
bool read_attributes(int file, std::vector<std::pair<std::string, std::string>>& attributes) {
  const ssize_t size = flistxattr(file, nullptr, 0);
  if (size <= 0) return size == 0 || errno == ENOTSUP;
  std::string names(static_cast<std::size_t>(size), '\0');
  const ssize_t got = flistxattr(file, names.data(), names.size());
  if (got < 0) return false;
  names.resize(static_cast<std::size_t>(got));
  for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
    const char* const name = names.c_str() + at;
    const ssize_t value_size = fgetxattr(file, name, nullptr, 0);
    if (value_size < 0) return false;
    std::string value(static_cast<std::size_t>(value_size), '\0');
    if (fgetxattr(file, name, value.data(), value.size()) != value_size) return false;
    attributes.emplace_back(name, std::move(value));
  }
  return true;
}

attribute_set set_attribute(int file, const char* name, std::string_view value) {
  if (fsetxattr(file, name, value.data(), value.size(), 0) == 0) return attribute_set::done;
  return errno == EPERM ? attribute_set::not_permitted : attribute_set::failed;
}

bool remove_attribute(int file, const char* name) {
  return fremovexattr(file, name) == 0 || errno == ENODATA || errno == ENOTSUP;
}
#else
// Other systems' ACLs and attributes are not copied.
bool read_attributes(int, std::vector<std::pair<std::string, std::string>>&) { return true; }
attribute_set set_attribute(int, const char*, std::string_view) { return attribute_set::failed; }
bool remove_attribute(int, const char*) { return true; }
#endif

bool read_rights(int file, file_rights& rights) {
  rights = {};
  return status_of(file, rights.status) && read_attributes(file, rights.attributes);
}

bool set_security(int, const file_rights&) { return true; }
bool set_flags(int, std::uint32_t) { return true; }

unsigned long process_id() { return static_cast<unsigned long>(getpid()); }

const char* const separators = "/";
const std::string_view line_end = "\n";

rename_result rename_to(const place& at, const std::string& from) {
  return renameat(at.folder, from.c_str(), at.folder, at.name.c_str()) == 0 ? rename_result::done
                                                                            : rename_result::failed;
}

void remove_at(const place& at) { unlinkat(at.folder, at.name.c_str(), 0); }

console::console() = default;

void console::write(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

bool console::flush() { return std::fflush(stdout) == 0 && std::ferror(stdout) == 0; }

}  // namespace os
