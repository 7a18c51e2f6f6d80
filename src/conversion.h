// The conversion: the listing read in blocks, each block's opcode records
// turned into element lines of the header's text, and the text handed to
// the header in whole pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "header_file.h"
#include "header_format.h"
#include "listing_scanner.h"
#include "page_memory.h"

// The listing is read, and the header written, in blocks of about this size.
constexpr std::size_t block_size = std::size_t{1} << 20;
// The old header is read in pieces of this size to compare it with the new.
constexpr std::size_t compare_size = std::size_t{64} << 10;

// Everything a conversion needs from memory, taken before the header is
// opened, so that a lack of memory never leaves it half written.
struct conversion_memory {
  page_buffer block;
  header_text text;
  page_buffer old_text;  // the replaced header's, compared with the new
};

// The memory for a head of at most `head_size` bytes; none where the system
// has not enough.
std::optional<conversion_memory> allocate_memory(std::size_t head_size);

// Why the conversion stopped.
enum class stop { end_of_listing, read_error, write_error };

struct conversion {
  stop stopped = stop::end_of_listing;
  std::int64_t opcodes = 0;
};

// Writes the head, an element line for each half of each opcode record read
// from `input` (reporting faulty lines to `messages`), and the tail. Stops at
// the first read or write error; the header then lacks its closing line.
conversion convert_listing(conversion_memory& memory, int input, header_file& header,
                           std::string_view array_name, const header_format& format,
                           line_reporter& messages);
