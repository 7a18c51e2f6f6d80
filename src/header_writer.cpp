// Writes the C header that declares the constant int array of opcodes.
#include "header_writer.h"

#include <algorithm>
#include <utility>

header_text::header_text(std::size_t capacity)
    : data_(std::make_unique_for_overwrite<char[]>(capacity)), capacity_(capacity) {}

void header_text::grow(std::size_t needed) {
  const std::size_t capacity = std::max(2 * capacity_, size_ + needed);
  auto data = std::make_unique_for_overwrite<char[]>(capacity);
  std::memcpy(data.get(), data_.get(), size_);
  data_ = std::move(data);
  capacity_ = capacity;
}

void write_array_head(header_text& output, std::string_view array_name) {
  output.append("const int ");
  output.append(array_name.substr(0, array_name.find('.')));
  output.append("[] = {\n");
}

void write_array_tail(header_text& output) { output.append("\t\t};\n"); }
