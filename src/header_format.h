// The header's format, in one place: its text as it collects in memory (the
// caller hands it to its file in blocks), the names an array may bear, the
// head, element lines and tail of the definition, the declaration's text, and
// the test that knows a header as written here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "page_memory.h"

// The header's text on its way to the file: a block of memory that the
// writer appends to and the caller writes out and empties. It grows only
// when one piece is larger than the room left.
class header_text {
 public:
  explicit header_text(std::size_t capacity);

  void append(std::string_view part) {
    std::memcpy(extend(part.size()), part.data(), part.size());
  }
  // Makes the text `count` bytes longer and returns where they begin.
  char* extend(std::size_t count) {
    if (count > capacity_ - size_) grow(count);
    char* const at = data_.get() + size_;
    size_ += count;
    return at;
  }
  std::string_view view() const { return {data_.get(), size_}; }
  std::size_t size() const { return size_; }
  void clear() { size_ = 0; }
  // Removes the first `count` bytes; the rest moves to the front.
  void remove_front(std::size_t count) {
    std::memmove(data_.get(), data_.get() + count, size_ - count);
    size_ -= count;
  }

 private:
  void grow(std::size_t needed);

  page_buffer data_;
  std::size_t size_ = 0;
  std::size_t capacity_;
};

// The name the array bears: `array_name` up to its first point.
std::string_view array_identifier(std::string_view array_name);

enum class name_fault {
  none,
  not_identifier,
  keyword,
  two_underscores,        // reserved: each compiler has built-ins so named
  underscore_and_capital  // reserved too
};

// Whether `name` can name a C array: letters, digits and '_', not starting
// with a digit, not empty, no C keyword (nor asm) and no identifier that C
// reserves for the compiler (two underscores, or an underscore and a capital
// letter, at its start).
name_fault check_array_identifier(std::string_view name);

// How the declaration is written: the element type, text before it and
// after the brackets, and the declaration file that the definition includes.
// The default writes "const int NAME[] = {" alone.
struct header_format {
  std::string_view type = "int";  // one of `element_types`
  std::string_view prefix;        // before "const", as `static` or `PROGMEM`
  std::string_view suffix;        // between "[]" and "= {", as an attribute
  std::string_view declaration;   // the declaration's path from the definition's folder
};

// The element types that hold an opcode's 32 low bits; the <stdint.h> ones
// (the last two) need that header.
constexpr std::string_view element_types[] = {"int", "unsigned", "int32_t", "uint32_t"};
bool is_element_type(std::string_view type);
// Whether `text` holds a byte below 0x20 (a tab and a line feed too) or 0x7F.
bool has_control_character(std::string_view text);
// Whether `text` holds the word `static`, which would keep a declared array
// from other files.
bool has_static(std::string_view text);

// The head of the definition: the declaration's #include, or <stdint.h>
// where the type needs it, then "PREFIX const TYPE NAME[] SUFFIX = {", where
// NAME is `array_name` up to its first point.
void write_array_head(header_text& output, std::string_view array_name,
                      const header_format& format = {});
// The bytes the head takes at most, for room to be made before the run.
std::size_t head_size(std::string_view array_name, const header_format& format);

// The declaration file's text: an include guard, extern "C" under C++, and
// "extern const TYPE NAME[COUNT];" with the count of elements.
std::string declaration_text(std::string_view array_name, const header_format& format,
                             std::int64_t elements);

// One element line at `line`: two tabs, "0x", `element_text` verbatim and a
// comma; returns where it ends. Inline, so that the copies of fixed-size
// texts compile to plain moves.
inline char* put_array_element(char* line, std::string_view element_text) {
  std::memcpy(line, "\t\t0x", 4);
  std::memcpy(line + 4, element_text.data(), element_text.size());
  std::memcpy(line + 4 + element_text.size(), ",\n", 2);
  return line + element_text.size() + 6;
}

inline void write_array_element(header_text& output, std::string_view element_text) {
  put_array_element(output.extend(element_text.size() + 6), element_text);
}

// The two element lines of one opcode, its eight low field characters then
// its two high ones, with one room check.
inline void write_opcode_elements(header_text& output, const char* low_text,
                                  const char* high_text) {
  char* const lines = output.extend(8 + 6 + 2 + 6);
  put_array_element(put_array_element(lines, {low_text, 8}), {high_text, 2});
}

// The closing line of the declaration.
void write_array_tail(header_text& output);

// Whether a file of `size` bytes that begins with `start` and ends with
// `end` is a header as written here, with line feeds or (from Windows) a
// carriage return and a line feed at each line end: the head, the element
// lines of whole records in `start` and as many as the size leaves room
// for, and the tail. So a header of any size is known without reading it
// through.
bool is_written_header(std::string_view start, std::string_view end, std::uint64_t size);
