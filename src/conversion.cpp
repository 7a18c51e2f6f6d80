// The conversion's block loop: plain, and allocation-free once its memory is
// taken.
#include "conversion.h"

#include <new>

#include "platform.h"

namespace {

// The header text of one block (at most 22 bytes for a 14-byte listing line)
// and what is left of the block before it, less than a write piece.
constexpr std::size_t text_reserve = 2 * block_size;
// The header is written in whole pieces of this size while the listing is
// read, so that each write begins at a page-aligned place in the file and
// fills whole pages, which the system copies into fastest.
constexpr std::size_t write_piece = std::size_t{256} << 10;

bool write_out(header_text& text, header_file& header) {
  const bool written = header.write(text.view());
  text.clear();
  return written;
}

// Writes the whole pieces of `text` and keeps the rest for the next block.
bool write_pieces(header_text& text, header_file& header) {
  const std::size_t whole = text.size() - text.size() % write_piece;
  const bool written = header.write(text.view().substr(0, whole));
  text.remove_front(whole);
  return written;
}

// Scans the listing block by block, writing out each block's header text.
stop scan_blocks(conversion_memory& memory, int input, header_file& header,
                 listing_scanner& scanner, line_reporter& messages) {
  for (;;) {
    const std::ptrdiff_t size = os::read_some(input, memory.block.get(), block_size);
    if (size < 0) return stop::read_error;
    if (size == 0) return stop::end_of_listing;
    scanner.scan({memory.block.get(), static_cast<std::size_t>(size)}, memory.text, messages);
    if (!write_pieces(memory.text, header)) return stop::write_error;
  }
}

}  // namespace

std::optional<conversion_memory> allocate_memory(std::size_t head_size) {
  try {
    return conversion_memory{allocate_pages(block_size), header_text(text_reserve + head_size),
                             allocate_pages(compare_size)};
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

conversion convert_listing(conversion_memory& memory, int input, header_file& header,
                           std::string_view array_name, const header_format& format,
                           line_reporter& messages) {
  write_array_head(memory.text, array_name, format);
  listing_scanner scanner;
  conversion done{scan_blocks(memory, input, header, scanner, messages), 0};
  if (done.stopped == stop::end_of_listing) {
    scanner.finish(memory.text, messages);
    write_array_tail(memory.text);
  }
  if (done.stopped != stop::write_error && !write_out(memory.text, header)) {
    done.stopped = stop::write_error;
  }
  done.opcodes = scanner.records();
  return done;
}
