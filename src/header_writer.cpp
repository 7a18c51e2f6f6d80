// Writes the C header that declares the constant int array of opcodes.
#include "header_writer.h"

#include <algorithm>
#include <iterator>
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

namespace {

constexpr std::string_view c_keywords[] = {
#include "../cmake/c_keywords.inc"
};

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string_view array_identifier(std::string_view array_name) {
  return array_name.substr(0, array_name.find('.'));
}

name_fault check_array_identifier(std::string_view name) {
  if (name.empty() || !is_letter(name[0]) ||
      !std::all_of(name.begin(), name.end(), [](char c) { return is_letter(c) || is_digit(c); })) {
    return name_fault::not_identifier;
  }
  if (std::find(std::begin(c_keywords), std::end(c_keywords), name) != std::end(c_keywords)) {
    return name_fault::keyword;
  }
  return name_fault::none;
}

void write_array_head(header_text& output, std::string_view array_name) {
  output.append("const int ");
  output.append(array_identifier(array_name));
  output.append("[] = {\n");
}

void write_array_tail(header_text& output) { output.append("\t\t};\n"); }
