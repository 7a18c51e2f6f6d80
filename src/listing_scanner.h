// Recognises the opcode records of an assembler listing by the record rule
// and cuts out their values, line by line, however the listing is split
// into blocks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "header_format.h"
#include "line_search.h"
#include "record_rule.h"

// The value of one opcode: its ten field characters, split in two and
// copied verbatim from the listing.
struct opcode_record {
  std::array<char, 8> low_text;   // field characters 2 to 9
  std::array<char, 2> high_text;  // field characters 0 and 1
};

enum class line_kind {
  other,              // not an opcode record
  opcode_record,      // a point, a digit, a label, blanks and ten hex digits
  non_hex_record,     // an opcode record whose field is not all hex digits
  incomplete_record,  // begins like a record but ends before its field does
  hidden_record,      // a line with a record after a lone carriage return
};

// The scan of one line in progress, fed in parts that together form the
// line (without its line feed). Holds only what the verdict needs, so a line
// of any length costs the same few bytes.
class line_scan {
 public:
  void feed(std::string_view part);
  // Ends the line: says what it was, fills `record` for an opcode record,
  // and makes the scan ready for the next line.
  line_kind finish(opcode_record& record);
  // Of the line last finished: its field, whether its label held a tab, and
  // whether a record by the loose rule followed a lone carriage return in it.
  std::string_view field() const { return {field_.data(), field_.size()}; }
  bool label_tab() const { return label_tab_; }
  bool hidden() const { return hidden_told_; }

 private:
  void feed_hidden(const char* p, const char* end);

  record_part part_ = record_part::line_start;
  std::uint8_t field_size_ = 0;
  bool label_tab_ = false;
  std::array<char, 10> field_{};
  // What follows a lone carriage return, read by the loose rule.
  record_part hidden_ = record_part::other;
  std::uint8_t hidden_read_ = 0;
  bool return_last_ = false;  // the last byte fed was a carriage return
  bool hidden_found_ = false;
  bool hidden_told_ = false;  // of the line last finished
};

// Scans one whole line, given without its line feed.
line_kind scan_opcode_record(std::string_view line, opcode_record& record);

// A listing line that needs a message: an incomplete record (skipped), an
// opcode record whose field is not all hex digits (written all the same), or
// a record hidden after a lone carriage return (lost).
struct listing_event {
  line_kind kind;            // incomplete_record, non_hex_record or hidden_record
  std::int64_t line_number;  // the first line is 1
  std::string_view field;    // a non-hex record's ten field characters
  bool label_tab;            // a non-hex record's label holds a tab
};

// Told of each listing line that needs a message, in the listing's order.
class line_reporter {
 public:
  virtual void report(const listing_event& event) = 0;

 protected:
  ~line_reporter() = default;
};

// How the whole lines of a block are found: by the points that begin them,
// 64 bytes at a time, so that no branch is taken on each line's kind (what
// SSE2 does fastest), or line feed by line feed, looking at each line's
// start (what plain code does fastest). The tests run both on every system.
enum class line_strategy { line_points, each_line };
#ifdef MARVOT_SSE2
inline constexpr line_strategy built_in_lines = line_strategy::line_points;
#else
inline constexpr line_strategy built_in_lines = line_strategy::each_line;
#endif

// Splits a listing, handed over in blocks of any size, into lines, and
// writes the two elements of each opcode record to the header's text. A
// line that goes on into the next block is scanned by `line_scan`.
class listing_scanner {
 public:
  explicit listing_scanner(line_strategy strategy = built_in_lines) : strategy_(strategy) {}

  // Scans the next block of the listing.
  void scan(std::string_view block, header_text& text, line_reporter& reporter);
  // At the end of the listing: scans a last line that had no line feed.
  void finish(header_text& text, line_reporter& reporter);
  // The opcode records written so far.
  std::int64_t records() const { return records_; }

 private:
  // The whole lines of a block, and the bytes that may be read after them.
  struct block_lines {
    const char* begin;
    const char* end;        // after the last line feed
    const char* block_end;  // after the block's last byte
  };
  // The number of a line, counted on from the last line asked for, so that
  // only lines that need a message cost a count.
  struct line_count {
    const char* counted;  // where a line begins
    std::int64_t number;  // that line's number
    std::int64_t at(const char* p);
  };
  struct line_run;  // the state of one block's walk

  void scan_lines(const block_lines& lines, header_text& text, line_reporter& reporter);
  const char* take_line_points(line_run& run);
  const char* take_each_line(line_run& run);
  void take_point(const char* point, line_run& run);
  void take_mark(const char* mark, line_run& run);
  void take_any_record(const char* start, const char* line_feed, line_run& run);
  void take_returns(const char* line, const char* line_feed, line_run& run);
  void take_lone_return(const char* cr, const char* line_feed, line_run& run);
  void end_line(header_text& text, line_reporter& reporter);

  line_scan line_;  // the line that goes on from one block into the next
  std::int64_t line_number_ = 1;
  std::int64_t records_ = 0;
  std::int64_t hidden_line_ = 0;  // the last line whose hidden record was told
  bool line_open_ = false;
  line_strategy strategy_;
};
