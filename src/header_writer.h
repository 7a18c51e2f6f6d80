// Writes the C header that declares the constant int array of opcodes.
// The text collects in memory; the caller hands it to its file in blocks.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

// The header's text on its way to the file: a block of memory that the
// writer appends to and the caller writes out and empties. It grows only
// when one piece is larger than the room left.
class header_text {
 public:
  explicit header_text(std::size_t capacity);

  void append(std::string_view part) {
    if (part.size() > capacity_ - size_) grow(part.size());
    std::memcpy(data_.get() + size_, part.data(), part.size());
    size_ += part.size();
  }
  std::string_view view() const { return {data_.get(), size_}; }
  std::size_t size() const { return size_; }
  void clear() { size_ = 0; }

 private:
  void grow(std::size_t needed);

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_;
};

// "const int NAME[] = {", where NAME is `array_name` up to its first point.
void write_array_head(header_text& output, std::string_view array_name);

// One element line: two tabs, "0x", `element_text` verbatim and a comma.
// Inline, so that the copies of fixed-size texts compile to plain moves.
inline void write_array_element(header_text& output, std::string_view element_text) {
  output.append("\t\t0x");
  output.append(element_text);
  output.append(",\n");
}

// The closing line of the declaration.
void write_array_tail(header_text& output);
