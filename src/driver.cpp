// The translator's command line and its only control flow.
#include "driver.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <utility>

#include <sys/stat.h>

#include "header_writer.h"
#include "listing_scanner.h"

namespace {

// The listing is read, and the header written, in blocks of about this size.
constexpr std::size_t block_size = std::size_t{1} << 20;
// The header text of one block: at most 22 bytes for a 14-byte listing line.
constexpr std::size_t text_reserve = 2 * block_size;

struct file_closer {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

struct translation {
  const char* input_path;
  const char* output_path;
  const char* array_name;
};

struct tally {
  std::int64_t opcodes = 0;
  std::int64_t skipped = 0;
};

void print_banner() {
  std::fputs("\nZorvald .LIST File to .H File Translator Utility Version 1.0 for Caltrosa\n"
             "Writes the opcodes of an assembler listing as a constant C array.\n",
             stdout);
}

void print_usage() {
  std::fputs("\nmarvot utility syntax: \n"
             "\tmarvot input_file output_file array_name\n\n"
             "\twhere\n"
             "\tinput_file = path and name of source file\n"
             "\toutput_file = path and name of output file\n"
             "\tarray_name = name of array in output file to store the extracted data\n",
             stdout);
}

// Opens the listing; a directory counts as a listing that cannot be opened.
file_ptr open_input(const char* path) {
  file_ptr file(std::fopen(path, "r"));
  if (!file) return file;
  struct stat status {};
  if (fstat(fileno(file.get()), &status) != 0 || S_ISDIR(status.st_mode)) file.reset();
  return file;
}

// True when both paths name one file, however they are spelt or linked.
bool same_file(const char* first, const char* second) {
  std::error_code error;
  return std::filesystem::equivalent(first, second, error);
}

bool write_out(header_text& text, std::FILE* output) {
  const bool written = std::fwrite(text.view().data(), 1, text.size(), output) == text.size();
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
  ++counts.skipped;
  std::printf("Input file [%s] line %" PRId64 ": incomplete opcode record skipped\n",
              run.input_path, event.line_number);
}

// Converts the whole listing into the header. Stops at the first read or
// write error; the header then lacks its closing line.
exit_status convert(const translation& run, file_ptr input, file_ptr output) {
  const auto block = std::make_unique_for_overwrite<char[]>(block_size);
  header_text text(text_reserve);
  write_array_head(text, run.array_name);

  listing_scanner scanner;
  listing_event event{};
  tally counts;
  bool write_failed = false;
  std::size_t size = 0;
  while (!write_failed && (size = std::fread(block.get(), 1, block_size, input.get())) > 0) {
    std::string_view rest(block.get(), size);
    while (scanner.next(rest, event)) take(run, event, text, counts);
    write_failed = !write_out(text, output.get());
  }
  const bool read_failed = !write_failed && std::ferror(input.get()) != 0;
  if (!write_failed && !read_failed) {
    if (scanner.finish(event)) take(run, event, text, counts);
    write_array_tail(text);
  }
  if (!write_failed) write_failed = !write_out(text, output.get());
  input.reset();
  write_failed |= std::fclose(output.release()) != 0;

  if (read_failed) {
    std::printf("Input file [%s] read failed\n", run.input_path);
    return exit_failed;
  }
  if (write_failed) {
    std::printf("Output file [%s] write failed\n", run.output_path);
    return exit_failed;
  }
  if (counts.opcodes == 0) std::fputs("\nERROR! ", stdout);
  std::printf("%" PRId64 " opcodes found in input file.\n", counts.opcodes);
  return counts.opcodes > 0 && counts.skipped == 0 ? exit_converted : exit_failed;
}

}  // namespace

exit_status run_translator(int argc, const char* const argv[]) {
  print_banner();
  if (argc != 4) {
    print_usage();
    return exit_usage;
  }
  const translation run{argv[1], argv[2], argv[3]};

  std::printf("Opening input file [%s]...\n", run.input_path);
  file_ptr input = open_input(run.input_path);
  if (!input) {
    std::printf("Input file [%s] open failed\n", run.input_path);
    return exit_failed;
  }

  std::printf("Opening output file [%s]...\n", run.output_path);
  if (same_file(run.input_path, run.output_path)) {
    std::printf("Output file [%s] is the same file as the input\n", run.output_path);
    return exit_failed;
  }
  file_ptr output(std::fopen(run.output_path, "w"));
  if (!output) {
    std::printf("Output file [%s] open failed\n", run.output_path);
    return exit_failed;
  }
  return convert(run, std::move(input), std::move(output));
}

int main(int argc, char* argv[]) {
  exit_status status = run_translator(argc, argv);
  // A console that cannot take the messages leaves nowhere to say so.
  if (std::fflush(stdout) != 0 && status == exit_converted) status = exit_failed;
  return status;
}
