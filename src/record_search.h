// Looks for an opcode record in a file that is to be written as the header,
// so that no listing is taken for a header.
#pragma once

#include <cstdint>
#include <string_view>

#include "line_search.h"
#include "record_rule.h"

// Looks for an opcode record in a file handed over in blocks of any size, by
// both of the record rule's readings: the conversion's, and the loose one
// (tab-separated and CR-only listings); the field must be ten hexadecimal
// digits. No header holds one.
class record_search {
 public:
  explicit record_search(byte_compare compare = built_in_compare) : compare_(compare) {}

  // Scans the next block; true once a record has been found.
  bool scan(std::string_view block);
  // At the end of the file: true when a record was found.
  bool finish() const { return found_; }

 private:
  // One reading of the lines, a character at a time.
  struct reading {
    bool step(char c);  // true once ten field digits are seen
    const record_rule& rule;
    record_part now = record_part::line_start;
    std::uint8_t field_read = 0;
  };

  reading plain_{listing_rule};
  reading loose_{loose_rule};
  bool found_ = false;
  byte_compare compare_;
};
