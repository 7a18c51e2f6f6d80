// The translator's command line: three arguments, and options anywhere among
// them as GNU tools take them.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "header_format.h"

// What the options ask for.
struct options {
  bool quiet = false;             // print only what says why a run failed
  bool replace = false;           // a new file replaces the header on success
  header_format format;           // --type, --prefix, --suffix
  const char* declare = nullptr;  // --declare FILE: the declaration's path
};

enum class request { convert, version, help, usage };

struct command_line {
  request what = request::convert;
  options chosen;
  std::array<const char*, 3> arguments{};  // input_file, output_file, array_name
  std::size_t argument_count = 0;
  // Why the options are refused, where they are: a message in three parts
  // around what was given, as "Unknown option [", the word, "]\n".
  std::array<std::string_view, 3> fault{};
};

// Options stand anywhere until "--" ends them; "-" alone is an argument, and
// --version or --help ends the command line. An option's value is the next
// argument or follows "=".
command_line parse_command_line(int argc, const char* const argv[]);
