// The translator's command line and its only control flow.
#include "driver.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <new>
#include <optional>
#include <span>
#include <string_view>

#include "header_file.h"
#include "header_writer.h"
#include "listing_scanner.h"
#include "page_memory.h"
#include "platform.h"

#ifdef _WIN32
#include <string>
#include <vector>
#endif

namespace {

using os::console;

// The listing is read, and the header written, in blocks of about this size.
constexpr std::size_t block_size = std::size_t{1} << 20;
// The header text of one block (at most 22 bytes for a 14-byte listing line)
// and what is left of the block before it, less than a write piece.
constexpr std::size_t text_reserve = 2 * block_size;
// The header is written in whole pieces of this size while the listing is
// read, so that each write begins at a page-aligned place in the file and
// fills whole pages, which the system copies into fastest.
constexpr std::size_t write_piece = std::size_t{256} << 10;
// The old header is read in pieces of this size to compare it with the new.
constexpr std::size_t compare_size = std::size_t{64} << 10;

// What the options ask for, given anywhere among the three arguments.
struct options {
  bool quiet = false;    // print only what says why a run failed
  bool replace = false;  // write a new file that replaces the header on success
};

enum class request { convert, version, help, usage };

struct command_line {
  request what = request::convert;
  options chosen;
  std::array<const char*, 3> arguments{};  // input_file, output_file, array_name
  std::size_t argument_count = 0;
  const char* unknown = nullptr;  // an option not understood
};

struct translation {
  const char* input_path;
  const char* output_path;
  const char* array_name;
  options chosen;
  console& out;
};

// Everything a conversion needs from memory, taken before the header is
// opened, so that a lack of memory never leaves it half written.
struct buffers {
  page_buffer block;
  header_text text;
  page_buffer old_text;  // the replaced header's, compared with the new
};

struct tally {
  std::int64_t opcodes = 0;
  bool faulty = false;  // a line was skipped or reported, or the array name was
};

// Why the scan of the listing stopped.
enum class stop { end_of_listing, read_error, write_error };

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
            "\t--version = print the version and exit\n"
            "\t-h, --help = print this text and exit\n"
            "\t-- = end of the options\n");
}

// Takes one option (or a group of short ones); false when it is unknown.
bool take_option(std::string_view option, command_line& line) {
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

// Options stand anywhere, as GNU tools take them, until "--" ends them; "-"
// alone is an argument, and --version or --help ends the command line.
command_line parse_command_line(int argc, const char* const argv[]) {
  command_line line;
  bool options_end = false;
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
    if (!take_option(word, line)) {
      line.what = request::usage;
      line.unknown = argv[at];
      return line;
    }
    if (line.what != request::convert) return line;
  }
  if (line.argument_count != 3) line.what = request::usage;
  return line;
}

// A message about the header: "Output file [output_file]" and `what`.
void say_about_header(const translation& run, std::string_view what) {
  say(run.out, {"Output file [", run.output_path, what});
}

// A progress message, which --quiet leaves out.
void progress(const translation& run, std::initializer_list<std::string_view> parts) {
  if (!run.chosen.quiet) say(run.out, parts);
}

// `number` in decimal, held in `digits`.
std::string_view decimal(std::int64_t number, std::array<char, 24>& digits) {
  const char* const end = std::to_chars(digits.data(), digits.data() + digits.size(), number).ptr;
  return {digits.data(), static_cast<std::size_t>(end - digits.data())};
}

std::optional<buffers> allocate_buffers(std::size_t array_name_size) {
  try {
    return buffers{allocate_pages(block_size), header_text(text_reserve + array_name_size),
                   allocate_pages(compare_size)};
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

bool write_out(header_text& text, header_file& output) {
  const bool written = output.write(text.view());
  text.clear();
  return written;
}

// Writes the whole pieces of `text` and keeps the rest for the next block.
bool write_pieces(header_text& text, header_file& output) {
  const std::size_t whole = text.size() - text.size() % write_piece;
  const bool written = output.write(text.view().substr(0, whole));
  text.remove_front(whole);
  return written;
}

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

// Reports each faulty line as compilers do, LISTING:LINE: error: TEXT, and
// the likely cause as LISTING:LINE: note: TEXT, so that editors can jump to it.
class line_messages final : public line_reporter {
 public:
  line_messages(const translation& run, tally& counts) : run_(run), counts_(counts) {}

  void report(const listing_event& event) override {
    counts_.faulty = true;
    std::array<char, 24> digits;
    const std::string_view line = decimal(event.line_number, digits);
    if (event.kind == line_kind::incomplete_record) {
      say(run_.out, {run_.input_path, ":", line, ": error: incomplete opcode record skipped\n"});
      return;
    }
    std::array<char, 48> quoted;
    say(run_.out, {run_.input_path, ":", line,
                   ": error: opcode field is not ten hexadecimal digits: ",
                   quote(event.field, quoted), "\n"});
    if (event.label_tab) {
      say(run_.out, {run_.input_path, ":", line,
                     ": note: the label holds a tab; only a space ends a label\n"});
    }
  }

 private:
  const translation& run_;
  tally& counts_;
};

// Scans the listing block by block, writing out each block's header text.
stop scan_blocks(buffers& memory, int input, header_file& output, listing_scanner& scanner,
                 line_messages& messages) {
  for (;;) {
    const std::ptrdiff_t size = os::read_some(input, memory.block.get(), block_size);
    if (size < 0) return stop::read_error;
    if (size == 0) return stop::end_of_listing;
    scanner.scan({memory.block.get(), static_cast<std::size_t>(size)}, memory.text, messages);
    if (!write_pieces(memory.text, output)) return stop::write_error;
  }
}

exit_status report(const translation& run, stop stopped, const tally& counts) {
  if (stopped == stop::read_error) {
    say(run.out, {"Input file [", run.input_path, "] read failed\n"});
    return exit_failed;
  }
  if (stopped == stop::write_error) {
    say_about_header(run, "] write failed\n");
    return exit_failed;
  }
  std::array<char, 24> digits;
  if (counts.opcodes == 0) {
    run.out.write(run.chosen.quiet ? "ERROR! " : "\nERROR! ");
  } else if (run.chosen.quiet) {
    return counts.faulty ? exit_failed : exit_converted;
  }
  say(run.out, {decimal(counts.opcodes, digits), " opcodes found in input file.\n"});
  return counts.opcodes > 0 && !counts.faulty ? exit_converted : exit_failed;
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

// The array name is written as given; one that no C compiler takes fails the run.
bool check_array_name(const translation& run) {
  const std::string_view name = array_identifier(run.array_name);
  const name_fault fault = check_array_identifier(name);
  if (fault == name_fault::none) return true;
  say(run.out, {"Array name [", name, name_fault_text(fault)});
  return false;
}

// Converts the whole listing into the header. Stops at the first read or
// write error; the header then lacks its closing line.
exit_status convert(const translation& run, buffers& memory, int input, header_file& header) {
  tally counts;
  counts.faulty = !check_array_name(run);
  write_array_head(memory.text, run.array_name);
  listing_scanner scanner;
  line_messages messages(run, counts);
  stop stopped = scan_blocks(memory, input, header, scanner, messages);
  if (stopped == stop::end_of_listing) {
    scanner.finish(memory.text, messages);
    write_array_tail(memory.text);
  }
  if (stopped != stop::write_error && !write_out(memory.text, header)) {
    stopped = stop::write_error;
  }
  counts.opcodes = scanner.records();
  os::close_file(input);
  if (!header.close() && stopped == stop::end_of_listing) {
    stopped = stop::write_error;  // a write that failed late, reported by the close
  }
  return report(run, stopped, counts);
}

// Says why the header could not be begun or settled; false when it was.
bool header_failed(const translation& run, const header_file& header, header_result result) {
  switch (result) {
    case header_result::done:
      return false;
    case header_result::open_failed:
      say_about_header(run, "] open failed\n");
      break;
    case header_result::folder_not_writable:
      say_about_header(run, "] cannot be replaced: its folder cannot be written\n");
      break;
    case header_result::new_file_failed:
      say(run.out, {"Output file [", run.output_path, "] new file [", header.new_file_name(),
                    "] could not be made\n"});
      break;
    case header_result::write_failed:
      say_about_header(run, "] write failed\n");
      break;
    case header_result::rights_refused:
      say_about_header(run, "] cannot be given the old header's rights: left as it was\n");
      break;
    case header_result::replace_failed:
      say_about_header(run, "] replace failed\n");
      break;
    case header_result::read_only:
      say_about_header(run, "] is read-only, which this system cannot replace: left as it was\n");
      break;
    case header_result::remove_failed:
      say(run.out, {"Output file [", run.output_path, "] new file [", header.new_file_name(),
                    "] could not be removed\n"});
      break;
  }
  return true;
}

// Keeps the header only from a run that succeeded, all its messages said:
// with --replace the new file then takes the header's place.
exit_status settle(const translation& run, header_file& header, exit_status status) {
  if (status != exit_converted || !run.out.flush()) {
    header.discard();
    return exit_failed;
  }
  return header_failed(run, header, header.commit()) ? exit_failed : exit_converted;
}

void print_out_of_memory(console& out) { out.write("Not enough memory\n"); }

// Ends a run: a console that could not take every message fails it, as
// there is nowhere left to say what went wrong.
int finish(console& out, exit_status status) {
  if (!out.flush() && status == exit_converted) return exit_failed;
  return status;
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
    case header_open::opened:
      break;
  }
  return nullptr;
}

// Opens the header and checks that it may be written: it is neither the
// listing nor standard output's file, and holds no opcode record.
bool prepare_header(const translation& run, int input, buffers& memory, header_file& header) {
  if (const char* const refused = refusal(header.open(input))) {
    say_about_header(run, refused);
    return false;
  }
  const header_content content = header.look_inside(memory.block.get(), block_size);
  if (content == header_content::opcode_records) {
    say_about_header(run, "] holds opcode records, so it may be a listing: left untouched\n");
    return false;
  }
  if (content == header_content::unreadable) {
    say_about_header(run, refusal(header_open::unreadable));
    return false;
  }
  return !header_failed(run, header, header.begin({memory.old_text.get(), compare_size}));
}

exit_status translate(const translation& run) {
  progress(run, {"Opening input file [", run.input_path, "]...\n"});
  // The listing stays open on the paths that end the run early; the exit closes it.
  // "-" is standard input (descriptor 0 on every system), which may be a pipe.
  const int input = std::string_view(run.input_path) == "-" ? 0 : os::open_listing(run.input_path);
  if (input == -1) {
    say(run.out, {"Input file [", run.input_path, "] open failed\n"});
    return exit_failed;
  }
  std::optional<buffers> memory = allocate_buffers(std::strlen(run.array_name));
  if (!memory) {
    print_out_of_memory(run.out);
    return exit_failed;
  }
  progress(run, {"Opening output file [", run.output_path, "]...\n"});
  header_file header(run.output_path, run.chosen.replace);
  if (!prepare_header(run, input, *memory, header)) {
    return exit_failed;
  }
  return settle(run, header, convert(run, *memory, input, header));
}

}  // namespace

exit_status run_translator(int argc, const char* const argv[], os::console& out) {
  const command_line line = parse_command_line(argc, argv);
  if (line.what == request::version) {
    out.write("marvot " MARVOT_VERSION "\n");
    return exit_converted;
  }
  if (!line.chosen.quiet || line.what == request::help) print_banner(out);
  if (line.what == request::help) {
    print_usage(out);
    print_options(out);
    return exit_converted;
  }
  if (line.what == request::usage) {
    if (line.unknown != nullptr) say(out, {"Unknown option [", line.unknown, "]\n"});
    print_usage(out);
    return exit_usage;
  }
  return translate({line.arguments[0], line.arguments[1], line.arguments[2], line.chosen, out});
}

#ifdef _WIN32
// Windows hands over the arguments in UTF-16; the translator works in UTF-8,
// so that any file name is opened as named and echoed unchanged.
int wmain(int argc, wchar_t* argv[]) {
  if (!os::prepare_process()) return exit_failed;
  os::console out;
  try {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(os::utf8_from_wide(argv[i]));
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    return finish(out, run_translator(argc, pointers.data(), out));
  } catch (const std::bad_alloc&) {
    print_out_of_memory(out);
    return finish(out, exit_failed);
  }
}
#else
int main(int argc, char* argv[]) {
  if (!os::prepare_process()) return exit_failed;
  os::console out;
  try {
    return finish(out, run_translator(argc, argv, out));
  } catch (const std::bad_alloc&) {
    print_out_of_memory(out);
    return finish(out, exit_failed);
  }
}
#endif
