// The translator's console texts: the banner, the usage and options, and a
// message for each listing line and each failure.
#include "messages.h"

#include <charconv>
#include <cstring>
#include <string>

using os::console;

// `number` in decimal, held in `digits`.
std::string_view decimal(std::int64_t number, std::array<char, 24>& digits) {
  const char* const end = std::to_chars(digits.data(), digits.data() + digits.size(), number).ptr;
  return {digits.data(), static_cast<std::size_t>(end - digits.data())};
}

namespace {

// `text` between double quotes, with a quote or a backslash escaped and each
// byte outside printable ASCII as \xHH, in `quoted`: room for a field of 10.
std::string_view quote(std::string_view text, std::array<char, 48>& quoted) {
  constexpr char digits[] = "0123456789ABCDEF";
  std::size_t size = 0;
  quoted[size++] = '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted[size++] = '\\';
      quoted[size++] = c;
    } else if (byte >= 0x20 && byte < 0x7F) {
      quoted[size++] = c;
    } else {
      quoted[size++] = '\\';
      quoted[size++] = 'x';
      quoted[size++] = digits[byte >> 4];
      quoted[size++] = digits[byte & 0xF];
    }
  }
  quoted[size++] = '"';
  return {quoted.data(), size};
}

}  // namespace

// Prints one message, given in parts: joined first, so that a listing with
// many faulty lines costs one write per message.
void say(console& out, std::initializer_list<std::string_view> parts) {
  std::array<char, 256> line;
  std::size_t size = 0;
  for (const std::string_view part : parts) {
    if (part.size() > line.size() - size) {  // a long name goes out on its own
      out.write({line.data(), size});
      out.write(part);
      size = 0;
      continue;
    }
    std::memcpy(line.data() + size, part.data(), part.size());
    size += part.size();
  }
  out.write({line.data(), size});
}

void print_banner(console& out) {
  out.write("\nZorvald .LIST File to .H File Translator Utility Version 1.0 for Caltrosa\n"
            "Writes the opcodes of an assembler listing as a constant C array.\n");
}

void print_usage(console& out) {
  out.write("\nmarvot utility syntax: \n"
            "\tmarvot input_file output_file array_name\n\n"
            "\twhere\n"
            "\tinput_file = path and name of source file\n"
            "\toutput_file = path and name of output file\n"
            "\tarray_name = name of array in output file to store the extracted data\n");
}

void print_options(console& out) {
  out.write("\n\toptions, anywhere before --:\n"
            "\t-q, --quiet = print only what says why a run failed\n"
            "\t--replace = write a new file that replaces output_file only on success,\n"
            "\t            and leave output_file as it is when its text is unchanged\n"
            "\t--declare FILE = also write FILE, which declares the array for any number\n"
            "\t            of C and C++ files; output_file then defines it, once\n"
            "\t--type TYPE = int (the default), unsigned, int32_t or uint32_t\n"
            "\t--prefix TEXT = text before the definition, as static or PROGMEM\n"
            "\t--suffix TEXT = text between [] and =, as an attribute\n"
            "\t--version = print the version and exit\n"
            "\t-h, --help = print this text and exit\n"
            "\t-- = end of the options\n");
}

void print_out_of_memory(console& out) { out.write("Not enough memory\n"); }


void listing_messages::report(const listing_event& event) {
  faulty_ = true;
  std::array<char, 24> digits;
  const std::string_view line = decimal(event.line_number, digits);
  if (event.kind == line_kind::incomplete_record) {
    say(out_, {listing_, ":", line, ": error: incomplete opcode record skipped\n"});
    return;
  }
  if (event.kind == line_kind::hidden_record) {
    say(out_, {listing_, ":", line,
                   ": error: opcode record hidden after a lone carriage return\n"});
    say(out_, {listing_, ":", line,
                   ": note: the listing's lines end in lone carriage returns; convert them to "
                   "line feeds\n"});
    return;
  }
  std::array<char, 48> quoted;
  say(out_, {listing_, ":", line,
                 ": error: opcode field is not ten hexadecimal digits: ",
                 quote(event.field, quoted), "\n"});
  if (event.label_tab) {
    say(out_, {listing_, ":", line,
                   ": note: the label holds a tab; only a space ends a label\n"});
  }
}

// Why the array name cannot be used, after "Array name [NAME".
std::string_view name_fault_text(name_fault fault) {
  switch (fault) {
    case name_fault::keyword:
      return "] is a C keyword\n";
    case name_fault::two_underscores:
      return "] is reserved for the compiler: it begins with two underscores\n";
    case name_fault::underscore_and_capital:
      return "] is reserved for the compiler: it begins with an underscore and a capital letter\n";
    case name_fault::not_identifier:
    case name_fault::none:
      break;
  }
  return "] is not a C identifier\n";
}

// Says why the header could not be begun or settled; false when it was.
bool say_result(console& out, const char* path, const std::string& new_file,
                header_result result) {
  switch (result) {
    case header_result::done:
      return false;
    case header_result::open_failed:
      say(out, {"Output file [", path, "] open failed\n"});
      break;
    case header_result::folder_not_writable:
      say(out, {"Output file [", path, "] cannot be replaced: its folder cannot be written\n"});
      break;
    case header_result::new_file_failed:
      say(out, {"Output file [", path, "] new file [", new_file,
                    "] could not be made\n"});
      break;
    case header_result::write_failed:
      say(out, {"Output file [", path, "] write failed\n"});
      break;
    case header_result::rights_refused:
      say(out, {"Output file [", path, "] cannot be given the old header's rights: left as it was\n"});
      break;
    case header_result::replace_failed:
      say(out, {"Output file [", path, "] replace failed\n"});
      break;
    case header_result::read_only:
      say(out, {"Output file [", path, "] is read-only, which this system cannot replace: left as it was\n"});
      break;
    case header_result::remove_failed:
      say(out, {"Output file [", path, "] new file [", new_file,
                    "] could not be removed\n"});
      break;
  }
  return true;
}

// Why an opened header is refused, or nothing.
const char* refusal(header_open opened) {
  switch (opened) {
    case header_open::same_as_listing:
      return "] is the same file as the input\n";
    case header_open::same_as_console:
      return "] is the same file as the console output\n";
    case header_open::planted_link:
      return "] is a link that another user made in a shared folder: left untouched\n";
    case header_open::another_users_file:
      return "] is another user's file in a shared folder: left untouched\n";
    case header_open::unreadable:
      return "] cannot be read to tell whether it is a listing: left untouched\n";
    case header_open::unknown_listing:
      return "] cannot be told apart from the input: left untouched\n";
    case header_open::unknown_console:
      return "] cannot be told apart from the console output: left untouched\n";
    case header_open::unknown_target:
      return "] is a link whose target's path cannot be had: left untouched\n";
    case header_open::failed:
      return "] open failed\n";
    case header_open::same_as_other:
      return "] is the same file as the other output file\n";
    case header_open::unknown_other:
      return "] cannot be told apart from the other output file: left untouched\n";
    case header_open::opened:
      break;
  }
  return nullptr;
}

