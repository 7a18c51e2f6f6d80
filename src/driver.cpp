// The translator's command line and its only control flow.
#include "driver.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <optional>
#include <string_view>

#include "header_writer.h"
#include "listing_scanner.h"
#include "platform.h"

#ifdef _WIN32
#include <string>
#include <vector>
#endif

namespace {

// The listing is read, and the header written, in blocks of about this size.
constexpr std::size_t block_size = std::size_t{1} << 20;
// The header text of one block: at most 22 bytes for a 14-byte listing line.
constexpr std::size_t text_reserve = 2 * block_size;

struct translation {
  const char* input_path;
  const char* output_path;
  const char* array_name;
  console& out;
};

// Everything a conversion needs from memory, taken before the header is
// opened, so that a lack of memory never leaves it half written.
struct buffers {
  std::unique_ptr<char[]> block;
  header_text text;
};

struct tally {
  std::int64_t opcodes = 0;
  bool skipped = false;  // an incomplete record was skipped
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

// `number` in decimal, held in `digits`.
std::string_view decimal(std::int64_t number, std::array<char, 24>& digits) {
  const char* const end = std::to_chars(digits.data(), digits.data() + digits.size(), number).ptr;
  return {digits.data(), static_cast<std::size_t>(end - digits.data())};
}

std::optional<buffers> allocate_buffers(std::size_t array_name_size) {
  try {
    return buffers{std::make_unique_for_overwrite<char[]>(block_size),
                   header_text(text_reserve + array_name_size)};
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

bool write_out(header_text& text, int output) {
  const bool written = write_all(output, text.view());
  text.clear();
  return written;
}

void take(const translation& run, const listing_event& event, header_text& text,
          tally& counts) {
  if (event.kind == line_kind::opcode_record) {
    ++counts.opcodes;
    const opcode_record& record = event.record;
    write_array_element(text, {record.low_text.data(), record.low_text.size()});
    write_array_element(text, {record.high_text.data(), record.high_text.size()});
    return;
  }
  counts.skipped = true;
  std::array<char, 24> digits;
  say(run.out, {"Input file [", run.input_path, "] line ", decimal(event.line_number, digits),
                ": incomplete opcode record skipped\n"});
}

// Scans the listing block by block, writing out each block's header text.
stop scan_blocks(const translation& run, buffers& memory, int input, int output,
                 listing_scanner& scanner, tally& counts) {
  listing_event event{};
  for (;;) {
    const std::ptrdiff_t size = read_some(input, memory.block.get(), block_size);
    if (size < 0) return stop::read_error;
    if (size == 0) return stop::end_of_listing;
    std::string_view rest(memory.block.get(), static_cast<std::size_t>(size));
    while (scanner.next(rest, event)) take(run, event, memory.text, counts);
    if (!write_out(memory.text, output)) return stop::write_error;
  }
}

exit_status report(const translation& run, stop stopped, const tally& counts) {
  if (stopped == stop::read_error) {
    say(run.out, {"Input file [", run.input_path, "] read failed\n"});
    return exit_failed;
  }
  if (stopped == stop::write_error) {
    say(run.out, {"Output file [", run.output_path, "] write failed\n"});
    return exit_failed;
  }
  if (counts.opcodes == 0) run.out.write("\nERROR! ");
  std::array<char, 24> digits;
  say(run.out, {decimal(counts.opcodes, digits), " opcodes found in input file.\n"});
  return counts.opcodes > 0 && !counts.skipped ? exit_converted : exit_failed;
}

// Converts the whole listing into the header. Stops at the first read or
// write error; the header then lacks its closing line.
exit_status convert(const translation& run, buffers& memory, int input, int output) {
  write_array_head(memory.text, run.array_name);
  listing_scanner scanner;
  tally counts;
  stop stopped = scan_blocks(run, memory, input, output, scanner, counts);
  if (stopped == stop::end_of_listing) {
    listing_event event{};
    if (scanner.finish(event)) take(run, event, memory.text, counts);
    write_array_tail(memory.text);
  }
  if (stopped != stop::write_error && !write_out(memory.text, output)) {
    stopped = stop::write_error;
  }
  close_file(input);
  if (!close_file(output) && stopped == stop::end_of_listing) {
    stopped = stop::write_error;  // a write that failed late, reported by the close
  }
  return report(run, stopped, counts);
}

void print_out_of_memory(console& out) { out.write("Not enough memory\n"); }

// Ends a run: a console that could not take every message fails it, as
// there is nowhere left to say what went wrong.
int finish(console& out, exit_status status) {
  if (!out.flush() && status == exit_converted) return exit_failed;
  return status;
}

}  // namespace

exit_status run_translator(int argc, const char* const argv[], console& out) {
  print_banner(out);
  if (argc != 4) {
    print_usage(out);
    return exit_usage;
  }
  const translation run{argv[1], argv[2], argv[3], out};

  say(out, {"Opening input file [", run.input_path, "]...\n"});
  // The listing stays open on the paths that end the run early; the exit closes it.
  const int input = open_listing(run.input_path);
  if (input == -1) {
    say(out, {"Input file [", run.input_path, "] open failed\n"});
    return exit_failed;
  }
  std::optional<buffers> memory = allocate_buffers(std::strlen(run.array_name));
  if (!memory) {
    print_out_of_memory(out);
    return exit_failed;
  }

  say(out, {"Opening output file [", run.output_path, "]...\n"});
  int output = -1;
  const header_open opened = open_header(run.output_path, input, output);
  if (opened == header_open::same_as_listing) {
    say(out, {"Output file [", run.output_path, "] is the same file as the input\n"});
    return exit_failed;
  }
  if (opened == header_open::same_as_console) {
    say(out, {"Output file [", run.output_path, "] is the same file as the console output\n"});
    return exit_failed;
  }
  if (opened == header_open::failed) {
    say(out, {"Output file [", run.output_path, "] open failed\n"});
    return exit_failed;
  }
  return convert(run, *memory, input, output);
}

#ifdef _WIN32
// Windows hands over the arguments in UTF-16; the translator works in UTF-8,
// so that any file name is opened as named and echoed unchanged.
int wmain(int argc, wchar_t* argv[]) {
  if (!prepare_standard_streams()) return exit_failed;
  console out;
  try {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(utf8_from_wide(argv[i]));
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
  if (!prepare_standard_streams()) return exit_failed;
  console out;
  return finish(out, run_translator(argc, argv, out));
}
#endif
