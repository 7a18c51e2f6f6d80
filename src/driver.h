// The translator's command line: reads an assembler listing and writes the
// C header that holds its opcodes, reporting each step on standard output.
#pragma once

namespace os {
class console;
}

// Exit statuses of a run.
enum exit_status : int {
  exit_converted = 0,  // the header is complete and holds every opcode
  exit_failed = 1,     // a file could not be used or the listing was faulty
  exit_usage = 2,      // the command line did not have three arguments
};

// Runs the translator on the arguments `input_file output_file array_name`
// (argv[0] is the program's own path), printing on `out`, and returns the
// exit status.
exit_status run_translator(int argc, const char* const argv[], os::console& out);
