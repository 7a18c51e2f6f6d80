// The header's format: the C header that declares the array of opcodes.
#include "header_format.h"

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

bool is_element_type(std::string_view type) {
  return std::find(std::begin(element_types), std::end(element_types), type) !=
         std::end(element_types);
}

bool has_control_character(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

bool has_static(std::string_view text) {
  const auto is_word = [](char c) { return is_letter(c) || is_digit(c); };
  for (std::size_t at = text.find("static"); at != std::string_view::npos;
       at = text.find("static", at + 1)) {
    const bool starts = at == 0 || !is_word(text[at - 1]);
    const bool ends = at + 6 == text.size() || !is_word(text[at + 6]);
    if (starts && ends) return true;
  }
  return false;
}

namespace {

bool needs_stdint(std::string_view type) { return type.ends_with("_t"); }

}  // namespace

void write_array_head(header_text& output, std::string_view array_name,
                      const header_format& format) {
  if (!format.declaration.empty()) {
    output.append("#include \"");
    output.append(format.declaration);
    output.append("\"\n");
  } else if (needs_stdint(format.type)) {
    output.append("#include <stdint.h>\n");
  }
  if (!format.prefix.empty()) {
    output.append(format.prefix);
    output.append(" ");
  }
  output.append("const ");
  output.append(format.type);
  output.append(" ");
  output.append(array_identifier(array_name));
  output.append("[]");
  if (!format.suffix.empty()) {
    output.append(" ");
    output.append(format.suffix);
  }
  output.append(" = {\n");
}

std::size_t head_size(std::string_view array_name, const header_format& format) {
  return 64 + array_name.size() + format.type.size() + format.prefix.size() +
         format.suffix.size() + format.declaration.size();
}

std::string declaration_text(std::string_view array_name, const header_format& format,
                             std::int64_t elements) {
  const std::string name(array_identifier(array_name));
  const std::string guard = "MARVOT_DECLARES_" + name;
  std::string text = "#ifndef " + guard + "\n#define " + guard + "\n";
  if (needs_stdint(format.type)) text += "#include <stdint.h>\n";
  text += "#ifdef __cplusplus\nextern \"C\" {\n#endif\n";
  text += "extern const " + std::string(format.type) + " " + name + "[" +
          std::to_string(elements) + "];\n";
  text += "#ifdef __cplusplus\n}\n#endif\n#endif\n";
  return text;
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

// The size of the head at the start of `start`: up to two #include lines and
// a declaration that ends in "= {" on a line of its own; 0 for none.
std::size_t head_of(std::string_view start) {
  std::size_t at = 0;
  for (int line = 0; line < 2 && start.substr(at).starts_with("#include "); ++line) {
    at = start.find('\n', at);
    if (at == std::string_view::npos) return 0;
    ++at;
  }
  const std::size_t feed = start.find('\n', at);
  if (feed == std::string_view::npos) return 0;
  std::string_view head = start.substr(at, feed - at);
  if (head.ends_with('\r')) head.remove_suffix(1);
  const std::size_t brackets = head.find("[]");
  const bool typed = std::any_of(std::begin(element_types), std::end(element_types),
                                 [&](std::string_view type) {
                                   const std::size_t found = head.find(type);
                                   return found >= 6 && found < brackets &&
                                          head.substr(found - 6).starts_with("const ") &&
                                          head.substr(found + type.size()).starts_with(" ");
                                 });
  if (!typed || !head.ends_with(" = {") || brackets == std::string_view::npos ||
      has_control_character(head) ||
      (head.starts_with("const int ") && head.substr(0, brackets).find('.') != head.npos)) {
    return 0;  // a name is written up to its first point, so a point is no header's
  }
  return feed + 1;
}

}  // namespace

bool is_written_header(std::string_view start, std::string_view end, std::uint64_t size) {
  const std::size_t head_size = head_of(start);
  if (head_size < 2) return false;
  const bool crlf = start[head_size - 2] == '\r';
  const std::string_view line_end = crlf ? "\r\n" : "\n";
  const std::string_view tail = crlf ? "\t\t};\r\n" : "\t\t};\n";
  const std::size_t low_size = 4 + 8 + 1 + line_end.size();  // "\t\t0x", digits, ','
  const std::size_t record_size = low_size + 4 + 2 + 1 + line_end.size();
  if (!end.ends_with(tail) || size < head_size + tail.size() ||
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
