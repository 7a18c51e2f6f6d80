// The Windows console: UTF-8 text written as UTF-16, so that any name shows
// as it is without a change of the console's code page; files and pipes get
// the bytes. And the arguments' UTF-16 made UTF-8.
#ifndef NOMINMAX
#define NOMINMAX  // std::min, not a macro
#endif
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include <io.h>
#include <windows.h>

#include "platform.h"
#include "windows_handles.h"

namespace os {

namespace {

using windows::handle_of;

// How many of `size` bytes of UTF-8 can be shown now: all but the start of
// a last character that the next write completes.
std::size_t complete_characters(const char* bytes, std::size_t size) {
  std::size_t start = size;  // steps back over at most three continuation bytes
  while (start > 0 && size - start < 3 && (bytes[start - 1] & 0xC0) == 0x80) --start;
  if (start == 0) return size;
  const auto lead = static_cast<unsigned char>(bytes[start - 1]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return size - (start - 1) < length ? start - 1 : size;
}

}  // namespace

std::string utf8_from_wide(const wchar_t* text) {
  const int size =
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return "\xFF";  // a lone surrogate: no valid name, so no file, stands for it
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, utf8.data(), size, nullptr,
                      nullptr);
  utf8.resize(static_cast<std::size_t>(size) - 1);
  return utf8;
}

console::console() : nowhere_(_fileno(stdout) < 0) {
  DWORD mode = 0;
  if (!nowhere_ && GetConsoleMode(handle_of(1), &mode) != 0) handle_ = handle_of(1);
}

void console::write(std::string_view text) {
  if (nowhere_) return;
  if (handle_ == nullptr) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return;
  }
  while (!text.empty()) {
    char bytes[512];
    std::memcpy(bytes, pending_, pending_size_);
    const std::size_t take = std::min(text.size(), sizeof bytes - pending_size_);
    std::memcpy(bytes + pending_size_, text.data(), take);
    text.remove_prefix(take);
    const std::size_t size = pending_size_ + take;
    const std::size_t whole = complete_characters(bytes, size);
    pending_size_ = size - whole;
    std::memcpy(pending_, bytes + whole, pending_size_);
    write_wide(bytes, whole);
  }
}

// At most 512 bytes, which never make more than 512 UTF-16 units.
void console::write_wide(const char* text, std::size_t size) {
  if (size == 0) return;
  wchar_t wide[512];
  const int count = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(size), wide, 512);
  DWORD written = 0;
  if (count <= 0 || WriteConsoleW(handle_, wide, static_cast<DWORD>(count), &written, nullptr) == 0 ||
      written != static_cast<DWORD>(count)) {
    failed_ = true;
  }
}

bool console::flush() {
  if (nowhere_) return true;
  if (handle_ == nullptr) return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
  write_wide(pending_, pending_size_);  // an unfinished character, shown as it can be
  pending_size_ = 0;
  return !failed_;
}

}  // namespace os
