// Runs the built program and checks its console, its files and its status.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

const std::string banner =
    "\nZorvald .LIST File to .H File Translator Utility Version 1.0 for Caltrosa\n"
    "Writes the opcodes of an assembler listing as a constant C array.\n";

const std::string usage =
    "\nmarvot utility syntax: \n"
    "\tmarvot input_file output_file array_name\n\n"
    "\twhere\n"
    "\tinput_file = path and name of source file\n"
    "\toutput_file = path and name of output file\n"
    "\tarray_name = name of array in output file to store the extracted data\n";

std::string opening_input(const std::string& path) {
  return "Opening input file [" + path + "]...\n";
}
std::string opening_output(const std::string& path) {
  return "Opening output file [" + path + "]...\n";
}
std::string opening(const std::string& input, const std::string& output) {
  return banner + opening_input(input) + opening_output(output);
}

// What a text written in text mode holds: on Windows each line feed becomes
// a carriage return and a line feed, elsewhere nothing changes.
std::string text_mode(const std::string& text) {
#ifdef _WIN32
  std::string translated;
  for (char c : text) {
    if (c == '\n') translated += '\r';
    translated += c;
  }
  return translated;
#else
  return text;
#endif
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
  ASSERT_TRUE(out.good()) << path;
}

std::string quote(const std::string& argument) {
#ifdef _WIN32
  return '"' + argument + '"';
#else
  std::string quoted = "'";
  for (char c : argument) quoted += c == '\'' ? "'\\''"s : std::string(1, c);
  return quoted + "'";
#endif
}

struct run_result {
  int status;
  std::string out;
};

class DriverTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(testing::TempDir()) /
           ("marvot_"s + testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // Runs the program; whatever happens, it must print nothing on stderr.
  run_result run(const std::vector<std::string>& arguments) const {
    const fs::path out = dir_ / "stdout.txt";
    const fs::path err = dir_ / "stderr.txt";
    std::string command = quote(MARVOT_PROGRAM);
    for (const std::string& argument : arguments) command.append(" ").append(quote(argument));
    command.append(" >").append(quote(out.string()));
    command.append(" 2>").append(quote(err.string()));
#ifdef _WIN32
    command = '"' + command + '"';  // cmd /c drops the outermost quotes
#endif
    int status = std::system(command.c_str());
#ifndef _WIN32
    status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    EXPECT_EQ(read_file(err), "");
    run_result result{status, read_file(out)};
    fs::remove(out);
    fs::remove(err);
    return result;
  }

  fs::path dir_;
};

const std::string two_records =
    "; listing\n"
    "        .org 0\n"
    ".12 F0E1D2C3B4 LDI R0\n"
    "\n"
    ".0013:     0a1b2c3d4e  mvi r1\n";

const std::string two_records_header =
    "const int ucode[] = {\n"
    "\t\t0xE1D2C3B4,\n"
    "\t\t0xF0,\n"
    "\t\t0x1b2c3d4e,\n"
    "\t\t0x0a,\n"
    "\t\t};\n";

TEST_F(DriverTest, ConvertsListing) {
  write_file(path("in.list"), two_records);
  const run_result result = run({path("in.list"), path("out.h"), "ucode.h"});
  EXPECT_EQ(result.out, text_mode(opening(path("in.list"), path("out.h")) +
                            "2 opcodes found in input file.\n"));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(read_file(path("out.h")), text_mode(two_records_header));
}

TEST_F(DriverTest, TruncatesAnExistingHeader) {
  write_file(path("in.list"), two_records);
  write_file(path("out.h"), std::string(10000, 'x'));
  EXPECT_EQ(run({path("in.list"), path("out.h"), "ucode"}).status, 0);
  EXPECT_EQ(read_file(path("out.h")), text_mode(two_records_header));
}

TEST_F(DriverTest, WrongArgumentCountPrintsUsage) {
  write_file(path("in.list"), two_records);
  const std::vector<std::vector<std::string>> calls = {
      {},
      {path("in.list")},
      {path("in.list"), path("out.h")},
      {path("in.list"), path("out.h"), "ucode", "extra"},
  };
  for (const auto& arguments : calls) {
    SCOPED_TRACE(arguments.size());
    const run_result result = run(arguments);
    EXPECT_EQ(result.out, text_mode(banner + usage));
    EXPECT_EQ(result.status, 2);
    EXPECT_FALSE(fs::exists(path("out.h")));
  }
}

TEST_F(DriverTest, FilesThatCannotBeOpened) {
  write_file(path("in.list"), two_records);
  fs::create_directory(path("folder"));
  const std::string missing = path("missing.list");
  const std::string no_dir = path("no/such/dir/out.h");
  const struct {
    std::string input;
    std::string output;
    std::string console;
  } cases[] = {
      {missing, path("out.h"),
       banner + opening_input(missing) + "Input file [" + missing + "] open failed\n"},
      {"", path("out.h"), banner + opening_input("") + "Input file [] open failed\n"},
      {path("folder"), path("out.h"),
       banner + opening_input(path("folder")) + "Input file [" + path("folder") +
           "] open failed\n"},
      {path("in.list"), no_dir,
       opening(path("in.list"), no_dir) + "Output file [" + no_dir + "] open failed\n"},
      {path("in.list"), "", opening(path("in.list"), "") + "Output file [] open failed\n"},
      {path("in.list"), path("folder"),
       opening(path("in.list"), path("folder")) + "Output file [" + path("folder") +
           "] open failed\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input + " -> " + c.output);
    const run_result result = run({c.input, c.output, "ucode"});
    EXPECT_EQ(result.out, text_mode(c.console));
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(fs::exists(path("out.h")));
    EXPECT_FALSE(fs::exists(no_dir));
    EXPECT_EQ(read_file(path("in.list")), two_records);
  }
}

TEST_F(DriverTest, ListingWithoutOpcodesIsAnError) {
  for (const std::string& listing : {""s, "; nothing here\n.text\n  .1 0011223344\n"s}) {
    SCOPED_TRACE(listing);
    write_file(path("in.list"), listing);
    const run_result result = run({path("in.list"), path("out.h"), "empty.h"});
    EXPECT_EQ(result.out, text_mode(opening(path("in.list"), path("out.h")) +
                              "\nERROR! 0 opcodes found in input file.\n"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(read_file(path("out.h")), text_mode("const int empty[] = {\n\t\t};\n"));
  }
}

TEST_F(DriverTest, IncompleteRecordsAreSkippedAndReported) {
  const struct {
    std::string listing;
    std::string messages;
    std::string header;
    std::string count;
  } cases[] = {
      {".1\n.2 0011223344\n.3 00112233\n.4      \n.5",
       "line 1: incomplete opcode record skipped\n"
       "line 3: incomplete opcode record skipped\n"
       "line 4: incomplete opcode record skipped\n"
       "line 5: incomplete opcode record skipped\n",
       "const int a[] = {\n\t\t0x11223344,\n\t\t0x00,\n\t\t};\n",
       "1 opcodes found in input file.\n"},
      {"; only a broken one\n.7:",
       "line 2: incomplete opcode record skipped\n",
       "const int a[] = {\n\t\t};\n",
       "\nERROR! 0 opcodes found in input file.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.listing);
    write_file(path("in.list"), c.listing);
    const run_result result = run({path("in.list"), path("out.h"), "a"});
    std::string messages;
    for (std::size_t at = 0, end; at < c.messages.size(); at = end + 1) {
      end = c.messages.find('\n', at);
      messages += "Input file [" + path("in.list") + "] " + c.messages.substr(at, end + 1 - at);
    }
    EXPECT_EQ(result.out, text_mode(opening(path("in.list"), path("out.h")) + messages + c.count));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(read_file(path("out.h")), text_mode(c.header));
  }
}

TEST_F(DriverTest, HeaderThatIsTheListingIsRefused) {
  write_file(path("in.list"), two_records);
  fs::create_directory(path("sub"));
  std::vector<std::string> spellings = {
      path("in.list"),
      (dir_ / "." / "in.list").string(),
      (dir_ / "sub" / ".." / "in.list").string(),
  };
  std::error_code error;
  fs::create_symlink(path("in.list"), path("link.list"), error);
  if (!error) spellings.push_back(path("link.list"));
  fs::create_hard_link(path("in.list"), path("hard.list"), error);
  if (!error) spellings.push_back(path("hard.list"));
  for (const std::string& output : spellings) {
    SCOPED_TRACE(output);
    const run_result result = run({path("in.list"), output, "ucode"});
    EXPECT_EQ(result.out, text_mode(opening(path("in.list"), output) + "Output file [" + output +
                              "] is the same file as the input\n"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(read_file(path("in.list")), two_records);
  }
}

// Lines far longer than the blocks the listing is read in.
TEST_F(DriverTest, LongLinesAreScannedWhole) {
  const std::size_t mib = std::size_t{1} << 20;
  std::string listing = ".1" + std::string(3 * mib, 'L') + std::string(mib, ' ') +
                        "ABCDEF0123 far out\n";
  listing += std::string(2 * mib - listing.size() % mib, 'x');  // next block starts a line
  listing += ".2 0123456789 hidden in a long line\n";
  listing += ".3 " + std::string(mib, ' ') + "short";
  write_file(path("in.list"), listing);
  const run_result result = run({path("in.list"), path("out.h"), "long"});
  EXPECT_EQ(result.out, text_mode(opening(path("in.list"), path("out.h")) + "Input file [" +
                            path("in.list") +
                            "] line 3: incomplete opcode record skipped\n"
                            "1 opcodes found in input file.\n"));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(read_file(path("out.h")),
            text_mode("const int long[] = {\n\t\t0xCDEF0123,\n\t\t0xAB,\n\t\t};\n"));
}

TEST_F(DriverTest, ExampleHeaderIsReproduced) {
  const fs::path examples = MARVOT_EXAMPLES;
  const run_result result = run({(examples / "boot.list").string(), path("boot.h"), "boot.h"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(read_file(path("boot.h")), text_mode(read_file(examples / "boot.h")));
}

#ifdef MARVOT_C_COMPILER
// The header is C that a compiler takes without a warning, with the values
// of the listing's opcodes.
TEST_F(DriverTest, ExampleHeaderCompiles) {
  const fs::path examples = MARVOT_EXAMPLES;
  ASSERT_EQ(run({(examples / "boot.list").string(), path("boot.h"), "boot.h"}).status, 0);
  write_file(path("check.c"),
             "#include \"boot.h\"\n"
             "int main(void) {\n"
             "  if (sizeof boot / sizeof boot[0] != 26) return 1;\n"
             "  if (boot[2] != 0x12345678 || boot[3] != 0xA0) return 2;\n"
             "  if (boot[16] != 0x1b2c3d4e || boot[17] != 0x0a) return 3;\n"
             "  if ((unsigned)boot[22] != 0xDEADBEEFu || boot[25] != 0x90) return 4;\n"
             "  return 0;\n"
             "}\n");
  const std::string compile = quote(MARVOT_C_COMPILER) +
                              " -std=c99 -Wall -Wextra -Werror -o " + quote(path("check")) +
                              " " + quote(path("check.c"));
  ASSERT_EQ(std::system(compile.c_str()), 0) << compile;
  EXPECT_EQ(std::system(quote(path("check")).c_str()), 0);
}
#endif

#ifndef _WIN32
// Bytes are never translated: they land in the header as they stand.
TEST_F(DriverTest, BytesPassUnchanged) {
  write_file(path("in.list"), ".1 A\0\r\x1a\xff" "12345\r\n.2 0123456789\r\n"s);
  const run_result result = run({path("in.list"), path("out.h"), "raw"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(read_file(path("out.h")),
            "const int raw[] = {\n\t\t0x\r\x1a\xff" "12345,\n\t\t0xA\0,\n"
            "\t\t0x23456789,\n\t\t0x01,\n\t\t};\n"s);
}
#endif

#ifdef _WIN32
// Text mode: a carriage return before a line feed is dropped on reading,
// Ctrl-Z ends the listing, and every header line ends in CR LF.
TEST_F(DriverTest, WindowsTextMode) {
  const struct {
    std::string listing;
    std::string header;
  } cases[] = {
      {".12 F0E1D2C3B4 LDI R0\r\n\r\n.0013:     0a1b2c3d4e\r\n",
       "const int ucode[] = {\r\n\t\t0xE1D2C3B4,\r\n\t\t0xF0,\r\n"
       "\t\t0x1b2c3d4e,\r\n\t\t0x0a,\r\n\t\t};\r\n"},
      {".1 0123456789\r\n\x1a.2 ABCDEFABCD\r\n",
       "const int ucode[] = {\r\n\t\t0x23456789,\r\n\t\t0x01,\r\n\t\t};\r\n"},
      {".1 012345678\r\n", "const int ucode[] = {\r\n\t\t};\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.listing);
    write_file(path("in.list"), c.listing);
    const run_result result = run({path("in.list"), path("out.h"), "ucode"});
    EXPECT_EQ(read_file(path("out.h")), c.header);
    EXPECT_NE(result.out.find("opcodes found in input file.\r\n"), std::string::npos);
  }
}
#endif

#ifdef __linux__
TEST_F(DriverTest, ReadErrorLeavesHeaderIncomplete) {
  const run_result result = run({"/proc/self/mem", path("out.h"), "mem"});
  EXPECT_EQ(result.out, text_mode(opening("/proc/self/mem", path("out.h")) +
                            "Input file [/proc/self/mem] read failed\n"));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(read_file(path("out.h")), "const int mem[] = {\n");
}

// With nowhere to say what failed, the exit status still says it.
TEST_F(DriverTest, ConsoleThatCannotBeWrittenFailsTheRun) {
  write_file(path("in.list"), two_records);
  const std::string command = quote(MARVOT_PROGRAM) + " " + quote(path("in.list")) + " " +
                              quote(path("out.h")) + " ucode >/dev/full";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(read_file(path("out.h")), two_records_header);
}

TEST_F(DriverTest, WriteErrorIsReported) {
  write_file(path("in.list"), two_records);
  const run_result result = run({path("in.list"), "/dev/full", "ucode"});
  EXPECT_EQ(result.out, text_mode(opening(path("in.list"), "/dev/full") +
                            "Output file [/dev/full] write failed\n"));
  EXPECT_EQ(result.status, 1);
}
#endif

}  // namespace
