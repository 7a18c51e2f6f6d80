// The POSIX side of the platform layer: files by descriptor, opened relative
// to a folder held open after a walk that judges every link on the way, told
// apart by device and inode; new files that an interrupting signal removes.
// Extended attributes are Linux's.
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

#include "interrupts_posix.h"
#include "platform.h"

namespace os {

const std::int64_t ticks_per_second = 1000000000;
const char* const separators = "/";
const std::string_view line_end = "\n";
const bool times_tell = true;

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

// Links followed from the header's path, as the system's own limit.
constexpr int link_limit = 40;

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

bool status_of(int file, file_status& status) {
  struct stat got {};
  if (fstat(file, &got) != 0) return false;
  status = status_from(got);
  return true;
}

open_error error_of(int error) {
  switch (error) {
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

// The names of `path` that remain to be walked, pushed so that the first is
// last; a path that ends in a separator ends in ".", a folder.
void push_names(std::string_view path, std::vector<std::string>& names) {
  if (path.ends_with('/')) names.emplace_back(".");
  std::size_t end = path.size();
  while (end > 0) {
    const std::size_t slash = path.rfind('/', end - 1);
    const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    if (end > start) names.emplace_back(path.substr(start, end - start));
    if (slash == std::string_view::npos) break;
    end = slash;
  }
}

// The text of the link `name` in `folder`.
bool read_link(int folder, const std::string& name, std::string& target) {
  target.assign(256, '\0');
  for (;;) {
    const ssize_t size = readlinkat(folder, name.c_str(), target.data(), target.size());
    if (size <= 0) return false;
    if (static_cast<std::size_t>(size) < target.size()) {
      target.resize(static_cast<std::size_t>(size));
      return true;
    }
    target.resize(2 * target.size());
  }
}

// The first folder of an absolute path, opened by its own path where it is no
// link (the root folder holds no other user's link to judge): an emulator
// that stands a folder of its own for "/" (qemu-user's -L) still finds it.
// -1 where it cannot be so opened, and the walk starts at "/".
int open_top(std::vector<std::string>& names) {
  const int folder = open(("/" + names.back()).c_str(), folder_flags | O_NOFOLLOW);
  struct stat got {};
  if (folder != -1 && fstat(folder, &got) == 0 && S_ISDIR(got.st_mode)) {
    names.pop_back();
    return folder;
  }
  if (folder != -1) close(folder);
  return -1;
}

// Where a walk of `names` starts: the root folder, or its first folder, or
// the working folder.
int open_start(bool absolute, std::vector<std::string>& names) {
  const int top = absolute && names.size() > 1 ? open_top(names) : -1;
  if (top != -1) return top;
  return open(absolute ? "/" : ".", folder_flags);
}

// Moves `folder` into the folder `name`, which must still be the folder
// `seen` described.
bool enter(int& folder, const std::string& name, const struct stat& seen) {
  const int next = openat(folder, name.c_str(), folder_flags | O_NOFOLLOW);
  struct stat got {};
  const bool same = next != -1 && fstat(next, &got) == 0 && S_ISDIR(got.st_mode) &&
                    got.st_dev == seen.st_dev && got.st_ino == seen.st_ino;
  if (next != -1 && !same) close(next);
  if (!same) return false;
  close(folder);
  folder = next;
  return true;
}

// Six letters and digits that nobody can predict.
bool random_part(std::string& name) {
  static constexpr char letters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6];
  if (getentropy(bytes, sizeof bytes) != 0) return false;
  for (const unsigned char byte : bytes) name.push_back(letters[byte % (sizeof letters - 1)]);
  return true;
}

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

// Each attribute the plan gives, a privileged one left where the process may
// not set it, and the ACL that the folder's default gave dropped where the
// old header had none.
bool give_attributes(int file, const rights_plan& plan, bool owner_kept) {
  for (const rights_plan::attribute& given : plan.attributes) {
    if (given.needs_owner && !owner_kept) continue;
    if (fsetxattr(file, given.name.c_str(), given.value.data(), given.value.size(), 0) == 0) {
      continue;
    }
    if (!given.privileged || (errno != EPERM && errno != EACCES)) return false;
  }
  constexpr const char* access_acl = "system.posix_acl_access";
  return !plan.drop_acl || fremovexattr(file, access_acl) == 0 || errno == ENODATA ||
         errno == ENOTSUP;
}
#else
// Other systems' ACLs and attributes are not copied.
bool read_attributes(int, std::vector<std::pair<std::string, std::string>>&) { return true; }
bool give_attributes(int, const rights_plan&, bool) { return true; }
#endif

}  // namespace

bool prepare_process() {
  if (std::signal(SIGPIPE, SIG_IGN) == SIG_ERR || std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR ||
      !posix::catch_interrupts()) {
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

// A read that a signal interrupts is made again: the program's own handler
// ends the process, but an emulator may interrupt a read for a signal the
// program ignores.
std::ptrdiff_t read_some(int file, char* buffer, std::size_t size) {
  ssize_t got;
  do {
    got = read(file, buffer, chunk(size));
  } while (got < 0 && errno == EINTR);
  return got;
}

std::ptrdiff_t read_at(int file, std::uint64_t offset, char* buffer, std::size_t size) {
  ssize_t got;
  do {
    got = pread(file, buffer, chunk(size), static_cast<off_t>(offset));
  } while (got < 0 && errno == EINTR);
  return got;
}

// A write may take part of the text; the rest is written by the next.
bool write_all(int file, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(file, text.data(), chunk(text.size()));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

void close_file(int file) { close(file); }

place_result open_place(const char* path, place& at, link_rule refuse) {
  const std::string_view whole = path;
  if (whole.empty() || whole.ends_with('/')) return place_result::failed;
  std::vector<std::string> names;
  push_names(whole, names);
  int folder = open_start(whole.starts_with('/'), names);
  place_result result = place_result::failed;
  for (int hops = 0; folder != -1 && !names.empty();) {
    const std::string name = std::move(names.back());
    names.pop_back();
    struct stat seen {};
    if (fstatat(folder, name.c_str(), &seen, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(seen.st_mode)) {
      struct stat holder {};
      std::string target;
      if (fstat(folder, &holder) != 0 || ++hops > link_limit ||
          !read_link(folder, name, target)) {
        break;
      }
      if (refuse(status_from(seen), status_from(holder), static_cast<std::uint32_t>(geteuid()))) {
        result = place_result::refused_link;
        break;
      }
      push_names(target, names);
      if (target.starts_with('/')) {
        close(folder);
        folder = open_start(true, names);
      }
      continue;
    }
    if (names.empty()) {  // the last name, which need not exist
      at = {folder, name};
      return place_result::found;
    }
    if (!enter(folder, name, seen)) break;
  }
  if (folder != -1) close(folder);
  return result;
}

void close_place(place& at) {
  if (at.folder != -1) close(at.folder);
  at.folder = -1;
}

opened open_header(place& at, how mode) {
  constexpr int common = O_NOFOLLOW | O_CLOEXEC;
  int file = -1;
  bool created = false;
  if (mode == how::read || mode == how::read_alone) {  // no sharing modes here
    file = openat(at.folder, at.name.c_str(), common | O_NONBLOCK | O_RDONLY);
  } else if (mode == how::write) {
    file = openat(at.folder, at.name.c_str(), common | O_NONBLOCK | O_WRONLY | O_CREAT | O_EXCL,
                  0666);
    created = file != -1;
    if (file == -1 && errno == EEXIST) {  // O_CREAT: the kernel's protected_regular applies
      file = openat(at.folder, at.name.c_str(), common | O_NONBLOCK | O_WRONLY | O_CREAT, 0666);
    }
  } else {
    file = openat(at.folder, at.name.c_str(), common | O_WRONLY | O_CREAT, 0666);
  }
  if (file != -1) return {file, open_error::none, created};
  open_error error = error_of(errno);
  struct stat there {};
  if (error == open_error::denied &&
      fstatat(at.folder, at.name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISLNK(there.st_mode)) {
    error = open_error::link;  // a link made since the place was found
  }
  return {-1, error, false};
}

bool describe(int file, const place& at, found& facts) {
  struct stat got {};
  const int result = file != -1 ? fstat(file, &got)
                                : fstatat(at.folder, at.name.c_str(), &got, AT_SYMLINK_NOFOLLOW);
  if (result != 0 || !status_of(at.folder, facts.folder)) return false;
  facts.file = status_from(got);
  facts.user = static_cast<std::uint32_t>(geteuid());
  return true;
}

// Device and inode always tell, so no lock is ever tried.
bool identity_facts(int first, bool, int second, bool, two_files& facts) {
  struct stat one {};
  struct stat other {};
  if (fstat(first, &one) != 0 || fstat(second, &other) != 0) return false;
  facts.first = facts_of(one);
  facts.second = facts_of(other);
  return true;
}

bool same_place(const place& a, const place& b) {
  struct stat one {};
  struct stat other {};
  return a.name == b.name && fstat(a.folder, &one) == 0 && fstat(b.folder, &other) == 0 &&
         one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

bool read_rights(int file, file_rights& rights) {
  rights = {};
  return status_of(file, rights.status) && read_attributes(file, rights.attributes);
}

make_error make_new_file(const place& at, std::string_view stem, bool private_file,
                         new_file& made) {
  const mode_t rights = private_file ? 0600 : 0666;  // less the umask, as any new file
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name(stem);
    if (!random_part(name)) return make_error::failed;
    name.append(".part");
    if (name.size() > name_limit) return make_error::failed;
    const posix::interrupts_held held;
    const int file = openat(at.folder, name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, rights);
    if (file == -1 && errno == EEXIST) continue;
    if (file == -1) {
      const bool denied = errno == EACCES || errno == EPERM || errno == EROFS;
      return denied ? make_error::folder_not_writable : make_error::failed;
    }
    if (!posix::record(at.folder, name)) {
      close(file);
      unlinkat(at.folder, name.c_str(), 0);
      return make_error::failed;
    }
    made.file = file;
    made.name = std::move(name);
    return status_of(file, made.made) ? make_error::none : make_error::failed;
  }
  return make_error::names_taken;
}

bool give_rights(new_file& made, const rights_plan& plan) {
  file_status now;
  if (!status_of(made.file, now)) return false;
  if (now.owner != plan.owner || now.group != plan.group) {
    // The old owner where the process may give it (root can), else the
    // group, where it is one of the user's own; else they stay the user's.
    const auto group = static_cast<gid_t>(plan.group);
    if (fchown(made.file, static_cast<uid_t>(plan.owner), group) != 0) {
      fchown(made.file, static_cast<uid_t>(-1), group);
    }
    if (!status_of(made.file, now)) return false;
  }
  const bool owner_kept = now.owner == plan.owner && now.group == plan.group;
  return give_attributes(made.file, plan, owner_kept) &&
         fchmod(made.file, owner_kept ? plan.mode : plan.mode_other_owner) == 0;
}

// An NFS client reports a write that failed late at the close.
bool finish_new_file(new_file& made) {
  const bool closed = close(made.file) == 0;
  made.file = -1;
  return closed;
}

rename_result put_in_place(const place& at, new_file& made) {
  const posix::interrupts_held held;
  if (renameat(at.folder, made.name.c_str(), at.folder, at.name.c_str()) != 0) {
    return rename_result::failed;
  }
  posix::forget(at.folder, made.name);
  return rename_result::done;
}

bool remove_new_file(const place& at, new_file& made) {
  if (made.file != -1) close(made.file);
  made.file = -1;
  const posix::interrupts_held held;
  const bool removed = unlinkat(at.folder, made.name.c_str(), 0) == 0 || errno == ENOENT;
  if (removed) posix::forget(at.folder, made.name);
  return removed;
}

void remove_created(const place& at, const file_status& made) {
  struct stat there {};
  if (fstatat(at.folder, at.name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
      static_cast<std::uint64_t>(there.st_dev) == made.volume &&
      static_cast<std::uint64_t>(there.st_ino) == made.node) {
    unlinkat(at.folder, at.name.c_str(), 0);
  }
}

// An empty file is left as it is: emptying it again would make ext4 take it
// for a rewritten file and flush all that is then written at its close.
bool begin_in_place(int file) {
  const int flags = fcntl(file, F_GETFL);
  struct stat status {};
  return flags != -1 && fcntl(file, F_SETFL, flags & ~O_NONBLOCK) != -1 &&
         fstat(file, &status) == 0 &&
         (!S_ISREG(status.st_mode) || status.st_size == 0 || ftruncate(file, 0) == 0);
}

bool finish_in_place(int file) { return close(file) == 0; }

console::console() = default;

void console::write(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

bool console::flush() { return std::fflush(stdout) == 0 && std::ferror(stdout) == 0; }

}  // namespace os
