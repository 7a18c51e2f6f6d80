// The header's life, the same on every system: opened as it is, refused
// when it must not be written, begun (emptied, or a new file made beside
// it), closed, and then kept or discarded. The system calls it makes are in
// platform_posix.cpp and platform_windows.cpp.
#include "platform.h"

#include <cstdio>
#include <string>
#include <utility>

#include "platform_system.h"

header_open header_file::open(int listing) {
  bool regular = false;
  if (replace_) {
    const os::found there = os::look_at(path_);
    if (there == os::found::nothing) return header_open::opened;  // a new header
    existing_ = there == os::found::regular_file ? os::open_existing(path_, regular) : -1;
    replace_ = regular;
  }
  if (!replace_) {
    if (existing_ != -1) close_file(existing_);
    existing_ = os::open_for_writing(path_);
  }
  if (existing_ == -1) return header_open::failed;
  const header_open result = os::refuse_taken(listing, existing_);
  if (result != header_open::opened) {
    close_file(existing_);
    existing_ = -1;
  }
  return result;
}

std::size_t header_file::read_start(char* buffer, std::size_t size) const {
  return existing_ == -1 ? 0 : os::read_regular(existing_, path_, buffer, size);
}

// The new file's name says whose it is: the header's name, marvot and the
// process, with a number that grows while such a file is there already.
bool header_file::begin() {
  if (!replace_) {
    std::swap(file_, existing_);
    return os::empty_file(file_);
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    part_.assign(path_).append(".marvot-").append(std::to_string(os::process_id()));
    if (attempt > 0) part_.append("-").append(std::to_string(attempt));
    part_.append(".part");
    bool exists = false;
    file_ = os::create_new(part_, existing_, exists);
    if (!exists) break;
  }
  if (file_ == -1) part_.clear();
  return file_ != -1;
}

bool header_file::close() {
  bool closed = true;
  if (file_ != -1) closed = close_file(file_);
  if (existing_ != -1) close_file(existing_);
  file_ = -1;
  existing_ = -1;
  return closed;
}

bool header_file::commit() {
  if (part_.empty()) return true;
  const bool moved = os::move_over(part_, path_);
  if (!moved) os::remove_file(part_);
  part_.clear();
  return moved;
}

void header_file::discard() {
  close();
  if (!part_.empty()) os::remove_file(part_);
  part_.clear();
}

bool write_all(int file, std::string_view text) {
  while (!text.empty()) {
    if (!os::write_bytes(file, text)) return false;
  }
  return true;
}

namespace os {

void write_standard_output(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

bool flush_standard_output() { return std::fflush(stdout) == 0 && std::ferror(stdout) == 0; }

}  // namespace os
