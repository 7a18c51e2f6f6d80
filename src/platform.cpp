// The header's life, the same on every system: opened as it is, refused
// when it must not be written, begun (emptied, or a new file made beside
// it), closed, and then kept or discarded. The system calls it makes are in
// platform_posix.cpp and platform_windows.cpp.
#include "platform.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "header_writer.h"
#include "listing_scanner.h"
#include "platform_system.h"

header_open header_file::open(int listing) {
  if (path_ == "-") return header_open::same_as_console;  // standard output by convention
  std::string target;
  const os::found there = os::look_at(path_.c_str(), target);
  if (there == os::found::planted_link) return header_open::planted_link;
  bool regular = false;
  if (replace_) {
    if (there == os::found::nothing) return header_open::opened;  // a new header
    if (there == os::found::regular_file) {
      path_ = std::move(target);
      existing_ = os::open_existing(path_.c_str(), regular);
    }
    replace_ = regular;
  }
  if (!replace_) {
    if (existing_ != -1) close_file(existing_);
    existing_ = os::open_for_writing(path_.c_str(), created_);
  }
  if (existing_ == -1) return header_open::failed;
  const header_open result = os::refuse_taken(listing, existing_);
  if (result != header_open::opened) {
    close_file(existing_);
    existing_ = -1;
    if (created_) os::remove_file(path_);
    created_ = false;
  }
  return result;
}

namespace {

// The size of the first read: enough to tell a header as written here.
constexpr std::size_t start_size = std::size_t{64} << 10;

header_content look_through(int reader, char* buffer, std::size_t size) {
  std::uint64_t file_size = 0;
  char end[8];
  const std::size_t end_size = sizeof end;
  if (!os::size_of(reader, file_size)) return header_content::unreadable;
  std::ptrdiff_t got = os::read_at(reader, 0, buffer, std::min(size, start_size));
  const std::uint64_t end_at = file_size < end_size ? 0 : file_size - end_size;
  const std::ptrdiff_t end_got = os::read_at(reader, end_at, end, end_size);
  if (got < 0 || end_got < 0) return header_content::unreadable;
  if (is_written_header({buffer, static_cast<std::size_t>(got)},
                        {end, static_cast<std::size_t>(end_got)}, file_size)) {
    return header_content::no_records;
  }
  record_search search;
  for (std::uint64_t offset = 0; got > 0; got = os::read_at(reader, offset, buffer, size)) {
    if (search.scan({buffer, static_cast<std::size_t>(got)})) return header_content::opcode_records;
    offset += static_cast<std::uint64_t>(got);
  }
  if (got < 0) return header_content::unreadable;
  return search.finish() ? header_content::opcode_records : header_content::no_records;
}

// The new file's name: the header's name, marvot and the process, with a
// number that grows while such a file is there already; the header's name
// is cut (between characters) to keep it within one name's limit.
void part_name(const std::string& path, int attempt, std::string& part) {
  std::string suffix = ".marvot-" + std::to_string(os::process_id());
  if (attempt > 0) suffix.append("-").append(std::to_string(attempt));
  suffix.append(".part");
  const std::size_t slash = path.find_last_of(os::separators);
  const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  std::size_t end = path.size();
  if (end - name_start + suffix.size() > os::name_limit) {
    end = name_start + os::name_limit - suffix.size();
    const auto continues = [&](std::size_t at) {  // a UTF-8 continuation byte
      return (static_cast<unsigned char>(path[at]) & 0xC0) == 0x80;
    };
    while (end > name_start && continues(end)) --end;
  }
  part.assign(path, 0, end).append(suffix);
}

}  // namespace

header_content header_file::look_inside(char* buffer, std::size_t size) const {
  if (existing_ == -1) return header_content::no_records;  // a new header
  bool regular = false;
  const int reader = os::open_reader(existing_, path_.c_str(), regular);
  if (!regular) return header_content::no_records;
  if (reader == -1) return header_content::unreadable;
  const header_content content = look_through(reader, buffer, size);
  close_file(reader);
  return content;
}

header_begin header_file::begin() {
  if (!replace_) {
    std::swap(file_, existing_);
    return os::empty_file(file_) ? header_begin::begun : header_begin::failed;
  }
  bool denied = false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    part_name(path_, attempt, part_);
    bool exists = false;
    file_ = os::create_new(part_, existing_, exists, denied);
    if (!exists) break;
  }
  if (file_ != -1) return header_begin::begun;
  part_.clear();
  return denied ? header_begin::folder_not_writable : header_begin::failed;
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
  const bool moved = os::move_over(part_, path_.c_str());
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
