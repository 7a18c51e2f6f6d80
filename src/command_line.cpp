// The command line, taken apart and checked before any file is touched.
#include "command_line.h"

namespace {

// Takes one option without a value (or a group of short ones); false when it
// is unknown.
bool take_flag(std::string_view option, command_line& line) {
  if (option == "--quiet") {
    line.chosen.quiet = true;
  } else if (option == "--replace") {
    line.chosen.replace = true;
  } else if (option == "--version") {
    line.what = request::version;
  } else if (option == "--help") {
    line.what = request::help;
  } else if (option[1] == '-') {
    return false;
  } else {
    for (const char letter : option.substr(1)) {
      if (letter == 'q') {
        line.chosen.quiet = true;
      } else if (letter == 'h') {
        line.what = request::help;
      } else {
        return false;
      }
    }
  }
  return true;
}

// Where an option with a value keeps it; nullptr for any other option.
std::string_view* value_of(std::string_view name, options& chosen, std::string_view& declare) {
  if (name == "--type") return &chosen.format.type;
  if (name == "--prefix") return &chosen.format.prefix;
  if (name == "--suffix") return &chosen.format.suffix;
  if (name == "--declare") return &declare;
  return nullptr;
}

void refuse(command_line& line, std::string_view head, std::string_view what,
            std::string_view tail) {
  line.what = request::usage;
  line.fault = {head, what, tail};
}

// The values, checked together: a known type, texts without control
// characters, and no `static` in what --declare shares.
void check_values(command_line& line) {
  const header_format& format = line.chosen.format;
  if (!is_element_type(format.type)) {
    refuse(line, "Unknown type [", format.type, "]\n");
  } else if (has_control_character(format.prefix)) {
    refuse(line, "Option [", "--prefix", "] holds a control character\n");
  } else if (has_control_character(format.suffix)) {
    refuse(line, "Option [", "--suffix", "] holds a control character\n");
  } else if (line.chosen.declare != nullptr && has_static(format.prefix)) {
    refuse(line, "Option [", "--prefix", "] holds static, which keeps the array from the "
                                         "files that --declare shares it with\n");
  }
}

}  // namespace

command_line parse_command_line(int argc, const char* const argv[]) {
  command_line line;
  bool options_end = false;
  std::string_view declare;  // as given; line.chosen.declare points at it
  for (int at = 1; at < argc; ++at) {
    const std::string_view word = argv[at];
    if (!options_end && word == "--") {
      options_end = true;
      continue;
    }
    if (options_end || word.size() < 2 || word[0] != '-') {
      if (line.argument_count < 3) line.arguments[line.argument_count] = argv[at];
      ++line.argument_count;
      continue;
    }
    const std::string_view name = word.substr(0, word.find('='));
    if (std::string_view* const value = value_of(name, line.chosen, declare)) {
      if (name.size() == word.size() && at + 1 == argc) {
        refuse(line, "Option [", name, "] needs a value\n");
        return line;
      }
      const char* const text = name.size() < word.size() ? argv[at] + name.size() + 1 : argv[++at];
      *value = text;
      if (value == &declare) line.chosen.declare = text;
      continue;
    }
    if (!take_flag(word, line)) {
      refuse(line, "Unknown option [", word, "]\n");
      return line;
    }
    if (line.what != request::convert) return line;
  }
  check_values(line);
  if (line.what == request::convert && line.argument_count != 3) line.what = request::usage;
  return line;
}
