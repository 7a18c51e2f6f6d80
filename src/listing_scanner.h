// Recognises the opcode records of an assembler listing and cuts out their
// values, line by line, however the listing is split into blocks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "header_writer.h"

// Whether the vectorised code is built in: SSE2, which every x86-64
// processor has.
#if defined(__SSE2__) || defined(_M_X64)
#define MARVOT_SSE2 1
inline constexpr bool vectorised_code = true;
#else
inline constexpr bool vectorised_code = false;
#endif

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
  // Of the line last finished: its field, and whether its label held a tab.
  std::string_view field() const { return {field_.data(), field_.size()}; }
  bool label_tab() const { return label_tab_; }

 private:
  enum class phase : std::uint8_t {
    line_start, after_point, label, blanks, field, complete, other,
  };
  phase phase_ = phase::line_start;
  std::uint8_t field_size_ = 0;
  bool label_tab_ = false;
  std::array<char, 10> field_{};
};

// Scans one whole line, given without its line feed.
line_kind scan_opcode_record(std::string_view line, opcode_record& record);

// Looks for an opcode record in a file handed over in blocks of any size,
// by a rule wider than the conversion's, so that no listing is taken for a
// header: a line that begins with a point and a digit and, after its label
// and the blanks behind it, holds ten hexadecimal digits, where either a
// line feed ends a line and only a blank ends a label (the conversion's
// reading), or a carriage return ends a line too and a tab is a blank
// (tab-separated and CR-only listings). No header holds one.
class record_search {
 public:
  // With `vectorised` false, plain portable code finds the lines' starts, as
  // it does on machines without SSE2; the tests run both.
  explicit record_search(bool vectorised = true) : vectorised_(vectorised) {}

  // Scans the next block; true once a record has been found.
  bool scan(std::string_view block);
  // At the end of the file: true when a record was found.
  bool finish() const { return found_; }

 private:
  // One reading of the lines, fed a character at a time.
  struct reading {
    enum class phase : std::uint8_t { line_start, after_point, label, gap, field, other };
    bool step(char c);  // true once ten field digits are seen
    bool tabs;          // a tab is a blank and a carriage return ends a line
    phase now = phase::line_start;
    std::uint8_t digits = 0;
  };

  reading plain_{false};
  reading tabbed_{true};
  bool found_ = false;
  bool vectorised_;
};

// A listing line that needs a message: an incomplete record (skipped), or an
// opcode record whose field is not all hex digits (written all the same).
struct listing_event {
  line_kind kind;            // incomplete_record or non_hex_record
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

// Splits a listing, handed over in blocks of any size, into lines, and
// writes the two elements of each opcode record to the header's text. With
// SSE2 the points that begin a line are found 64 bytes at a time, and only
// the lines they begin are looked at, so that no branch is taken on each
// line; plain code finds the line feeds and looks at each line's start. A
// line that goes on into the next block is scanned by `line_scan`.
class listing_scanner {
 public:
  // With `vectorised` false, plain portable code takes each line, as it does
  // by default where no vectorised code is built in; the tests run both.
  explicit listing_scanner(bool vectorised = vectorised_code) : vectorised_(vectorised) {}

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

  void scan_lines(const block_lines& lines, header_text& text, line_reporter& reporter);
  const char* take_line_points(const block_lines& lines, line_count& count, std::int64_t& feeds,
                               header_text& text, line_reporter& reporter);
  const char* take_each_line(const block_lines& lines, line_count& count, std::int64_t& feeds,
                             header_text& text, line_reporter& reporter);
  void take_record(const char* start, const block_lines& lines, line_count& count,
                   header_text& text, line_reporter& reporter);
  void take_any_record(const char* start, const char* line_feed, line_count& count,
                       header_text& text, line_reporter& reporter);
  void end_line(header_text& text, line_reporter& reporter);

  line_scan line_;  // the line that goes on from one block into the next
  std::int64_t line_number_ = 1;
  std::int64_t records_ = 0;
  bool line_open_ = false;
  bool vectorised_;
};
