// The translator's run, from its command line to its exit status: the
// listing opened, the header (and its declaration) judged and begun, the
// conversion, and the header kept only from a run that succeeded.
#include "driver.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "command_line.h"
#include "conversion.h"
#include "header_file.h"
#include "header_format.h"
#include "listing_scanner.h"
#include "messages.h"
#include "platform.h"

#ifdef _WIN32
#include <vector>
#endif

namespace {

using os::console;

struct translation {
  const char* input_path;
  const char* output_path;
  const char* array_name;
  options chosen;
  console& out;
};

struct tally {
  std::int64_t opcodes = 0;
  bool faulty = false;  // a line was skipped or reported, or the array name was
};

// A message about an output file: "Output file [PATH]" and `what`.
void say_about(const translation& run, const char* path, std::string_view what) {
  say(run.out, {"Output file [", path, what});
}

// A progress message, which --quiet leaves out.
void progress(const translation& run, std::initializer_list<std::string_view> parts) {
  if (!run.chosen.quiet) say(run.out, parts);
}

exit_status report(const translation& run, stop stopped, const tally& counts) {
  if (stopped == stop::read_error) {
    say(run.out, {"Input file [", run.input_path, "] read failed\n"});
    return exit_failed;
  }
  if (stopped == stop::write_error) {
    say_about(run, run.output_path, "] write failed\n");
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

// The array name is written as given; one that no C compiler takes fails the run.
bool check_array_name(const translation& run) {
  const std::string_view name = array_identifier(run.array_name);
  const name_fault fault = check_array_identifier(name);
  if (fault == name_fault::none) return true;
  say(run.out, {"Array name [", name, name_fault_text(fault)});
  return false;
}

// Ends a run: a console that could not take every message fails it, as
// there is nowhere left to say what went wrong.
int finish(console& out, exit_status status) {
  if (!out.flush() && status == exit_converted) return exit_failed;
  return status;
}

// Opens an output file and looks into it: it is neither the listing nor
// standard output's file, and holds no opcode record.
bool open_output(const translation& run, const char* path, int input, conversion_memory& memory,
                 header_file& output) {
  if (const char* const refused = refusal(output.open(input))) {
    say_about(run, path, refused);
    return false;
  }
  const header_content content = output.look_inside(memory.block.get(), block_size);
  if (content == header_content::opcode_records) {
    say_about(run, path, "] holds opcode records, so it may be a listing: left untouched\n");
    return false;
  }
  if (content == header_content::unreadable) {
    say_about(run, path, refusal(header_open::unreadable));
    return false;
  }
  return true;
}

bool begin_output(const translation& run, const char* path, conversion_memory& memory,
                  header_file& output) {
  return !say_result(run.out, path, output.new_file_name(),
                     output.begin({memory.old_text.get(), compare_size}));
}

// The declaration's path from the definition's folder, with forward
// slashes, as the definition's #include names it: its name alone where both
// share a folder.
std::string include_path(const char* definition, const char* declaration) {
  namespace fs = std::filesystem;
  const auto path = [](const char* text) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text)));
  };
  std::error_code error;
  const fs::path folder = fs::absolute(path(definition), error).parent_path().lexically_normal();
  const fs::path file = fs::absolute(path(declaration), error).lexically_normal();
  fs::path relative = file.lexically_relative(folder);
  if (error || relative.empty()) relative = path(declaration);
  const std::u8string text = relative.generic_u8string();
  return {text.begin(), text.end()};
}

// The header, and with --declare its declaration: both opened and looked
// into before either is begun, so that a refusal of one leaves both as they
// were.
bool prepare_outputs(const translation& run, int input, conversion_memory& memory,
                     header_file& header, std::optional<header_file>& declaration) {
  if (!open_output(run, run.output_path, input, memory, header)) return false;
  if (run.chosen.declare != nullptr) {
    progress(run, {"Opening output file [", run.chosen.declare, "]...\n"});
    declaration.emplace(run.chosen.declare, run.chosen.replace);
    if (!open_output(run, run.chosen.declare, input, memory, *declaration)) return false;
    if (const char* const refused = refusal(declaration->apart_from(header))) {
      say_about(run, run.chosen.declare, refused);
      return false;
    }
  }
  return begin_output(run, run.output_path, memory, header) &&
         (!declaration || begin_output(run, run.chosen.declare, memory, *declaration));
}

// Converts the whole listing into the header, then writes the declaration
// with the count of elements.
exit_status convert(const translation& run, conversion_memory& memory, int input,
                    header_file& header, std::optional<header_file>& declaration) {
  tally counts;
  counts.faulty = !check_array_name(run);
  listing_messages messages(run.out, run.input_path, counts.faulty);
  conversion done = convert_listing(memory, input, header, run.array_name, run.chosen.format,
                                    messages);
  counts.opcodes = done.opcodes;
  os::close_file(input);
  if (!header.close() && done.stopped == stop::end_of_listing) {
    done.stopped = stop::write_error;  // a write that failed late, reported by the close
  }
  if (declaration && done.stopped == stop::end_of_listing &&
      (!declaration->write(declaration_text(run.array_name, run.chosen.format,
                                            2 * done.opcodes)) ||
       !declaration->close())) {
    say_about(run, run.chosen.declare, "] write failed\n");
    return exit_failed;
  }
  return report(run, done.stopped, counts);
}

// Keeps the outputs only from a run that succeeded, all its messages said:
// with --replace the declaration's new file takes its place first, then the
// definition's.
exit_status settle(const translation& run, header_file& header,
                   std::optional<header_file>& declaration, exit_status status) {
  if (status != exit_converted || !run.out.flush()) {
    header.discard();
    if (declaration) declaration->discard();
    return exit_failed;
  }
  if (declaration &&
      say_result(run.out, run.chosen.declare, declaration->new_file_name(), declaration->commit())) {
    header.discard();
    return exit_failed;
  }
  return say_result(run.out, run.output_path, header.new_file_name(), header.commit())
             ? exit_failed
             : exit_converted;
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
  translation framed = run;
  const std::string include =
      run.chosen.declare == nullptr ? "" : include_path(run.output_path, run.chosen.declare);
  framed.chosen.format.declaration = include;
  std::optional<conversion_memory> memory =
      allocate_memory(head_size(run.array_name, framed.chosen.format));
  if (!memory) {
    print_out_of_memory(run.out);
    return exit_failed;
  }
  progress(run, {"Opening output file [", run.output_path, "]...\n"});
  header_file header(run.output_path, run.chosen.replace);
  std::optional<header_file> declaration;
  if (!prepare_outputs(framed, input, *memory, header, declaration)) return exit_failed;
  return settle(framed, header, declaration, convert(framed, *memory, input, header, declaration));
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
    if (!line.fault[0].empty()) say(out, {line.fault[0], line.fault[1], line.fault[2]});
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
