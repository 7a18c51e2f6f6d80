// Writes the C header that declares the constant int array of opcodes.
#include "header_writer.h"

#include <algorithm>
#include <iterator>
#include <utility>

header_text::header_text(std::size_t capacity)
    : data_(allocate_pages(capacity)), capacity_(capacity) {}

void header_text::grow(std::size_t needed) {
  const std::size_t capacity = std::max(2 * capacity_, size_ + needed);
  page_buffer data = allocate_pages(capacity);
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
  if (name.starts_with("__")) return name_fault::two_underscores;
  if (name[0] == '_' && name.size() > 1 && name[1] >= 'A' && name[1] <= 'Z') {
    return name_fault::underscore_and_capital;
  }
  return name_fault::none;
}

void write_array_head(header_text& output, std::string_view array_name) {
  output.append("const int ");
  output.append(array_identifier(array_name));
  output.append("[] = {\n");
}

void write_array_tail(header_text& output) { output.append("\t\t};\n"); }

namespace {

// An element line of `digits` characters at `line`. Whatever they are, no
// line of an opcode record fits in a line of fourteen characters that begins
// with "\t\t0x" and ends with ",".
bool is_element_line(std::string_view line, std::size_t digits, std::string_view line_end) {
  return line.starts_with("\t\t0x") && line.substr(4 + digits).starts_with(",") &&
         line.substr(5 + digits).starts_with(line_end);
}

}  // namespace

bool is_written_header(std::string_view start, std::string_view end, std::uint64_t size) {
  constexpr std::string_view open = "[] = {";
  const std::size_t name_end = start.find(open);
  if (!start.starts_with("const int ") || name_end == std::string_view::npos ||
      start.substr(0, name_end).find('.') != std::string_view::npos) {
    return false;  // a name is written up to its first point, so a point is no header's
  }
  const std::string_view after = start.substr(name_end + open.size());
  const bool crlf = after.starts_with("\r\n");
  const std::string_view line_end = crlf ? "\r\n" : "\n";
  const std::string_view tail = crlf ? "\t\t};\r\n" : "\t\t};\n";
  const std::size_t head_size = name_end + open.size() + line_end.size();
  const std::size_t low_size = 4 + 8 + 1 + line_end.size();  // "\t\t0x", digits, ','
  const std::size_t record_size = low_size + 4 + 2 + 1 + line_end.size();
  if (!after.starts_with(line_end) || !end.ends_with(tail) || size < head_size + tail.size() ||
      (size - head_size - tail.size()) % record_size != 0) {
    return false;
  }
  const std::uint64_t body_end = size - tail.size();
  for (std::size_t at = head_size; at + record_size <= start.size() && at < body_end;
       at += record_size) {
    if (!is_element_line(start.substr(at), 8, line_end) ||
        !is_element_line(start.substr(at + low_size), 2, line_end)) {
      return false;
    }
  }
  return true;
}
