// The translator's console texts: the banner, the usage and options, and a
// message for each listing line and each failure, printed as GCC prints its
// own (FILE:LINE: error: TEXT) where they are about the listing.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "header_file.h"
#include "header_format.h"
#include "listing_scanner.h"
#include "platform.h"

// Prints one message, given in parts: joined first, so that a listing with
// many faulty lines costs one write per message.
void say(os::console& out, std::initializer_list<std::string_view> parts);

void print_banner(os::console& out);
void print_usage(os::console& out);
void print_options(os::console& out);
void print_out_of_memory(os::console& out);

// `number` in decimal, held in `digits`.
std::string_view decimal(std::int64_t number, std::array<char, 24>& digits);

// Reports each faulty line of the listing as LISTING:LINE: error: TEXT, and
// the likely cause as LISTING:LINE: note: TEXT, so that editors can jump to
// it; `faulty` is set by the first.
class listing_messages final : public line_reporter {
 public:
  listing_messages(os::console& out, const char* listing, bool& faulty)
      : out_(out), listing_(listing), faulty_(faulty) {}
  void report(const listing_event& event) override;

 private:
  os::console& out_;
  const char* listing_;
  bool& faulty_;
};

// Why the array name cannot be used, after "Array name [NAME".
std::string_view name_fault_text(name_fault fault);

// Says why the output file at `path` (whose new file is `new_file`) could
// not be begun or settled; false when it was.
bool say_result(os::console& out, const char* path, const std::string& new_file,
                header_result result);

// Why an opened output file is refused, after "Output file [PATH", or null.
const char* refusal(header_open opened);
