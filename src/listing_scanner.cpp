// Recognises the opcode records of an assembler listing by the record rule.
#include "listing_scanner.h"

#include "line_marks.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

const char* find_byte(const char* p, const char* end, char c) {
  return static_cast<const char*>(std::memchr(p, c, static_cast<std::size_t>(end - p)));
}

bool holds_tab(const char* p, const char* end) { return find_byte(p, end, '\t') != nullptr; }

// Whether what follows the lone carriage return at `cr`, up to the next
// line end of either kind before `line_feed`, is a record by the loose rule.
bool hides_record(const char* cr, const char* line_feed) {
  const char* const line = cr + 1;
  const char* const next_return = find_byte(line, line_feed, '\r');
  const char* const end = next_return == nullptr ? line_feed : next_return;
  if (end - line < 2 || line[0] != '.' || !is_digit(line[1])) return false;
  const record_shape shape = read_record(line, end, loose_rule);
  return shape.field != nullptr && is_hex(shape.field);
}

}  // namespace

// A straight scan of the line by the rule that can stop at the end of any
// part and pick up where it stopped: each part falls through to the next.
void line_scan::feed(std::string_view part) {
  const char* p = part.data();
  const char* const end = p + part.size();
  feed_hidden(p, end);
  switch (part_) {
    case record_part::line_start:
      if (p == end) return;
      label_tab_ = false;
      if (*p++ != '.') {
        part_ = record_part::other;
        return;
      }
      [[fallthrough]];
    case record_part::point:
      if (p == end) {
        part_ = record_part::point;
        return;
      }
      if (!is_digit(*p++)) {
        part_ = record_part::other;
        return;
      }
      [[fallthrough]];
    case record_part::label: {
      const char* const label = p;
      p = end_of_label(p, end, listing_rule);
      label_tab_ = label_tab_ || holds_tab(label, p);
      if (p == end) {
        part_ = record_part::label;
        return;
      }
      [[fallthrough]];
    }
    case record_part::blanks:
      p = end_of_blanks(p, end, listing_rule);
      if (p == end) {
        part_ = record_part::blanks;
        return;
      }
      [[fallthrough]];
    case record_part::field: {
      const std::size_t take =
          std::min(field_.size() - field_size_, static_cast<std::size_t>(end - p));
      std::memcpy(field_.data() + field_size_, p, take);
      field_size_ = static_cast<std::uint8_t>(field_size_ + take);
      part_ = field_size_ == field_.size() ? record_part::complete : record_part::field;
      return;
    }
    case record_part::complete:
    case record_part::other:
      return;  // the rest of the line does not matter
  }
}

// Carriage returns are rare: they are sought, and what follows a lone one is
// read a character at a time by the loose rule, until it is decided.
void line_scan::feed_hidden(const char* p, const char* end) {
  while (p != end && !hidden_found_) {
    if (return_last_) {
      return_last_ = false;
      hidden_ = record_part::line_start;  // a line feed never comes within a line
    }
    if (hidden_ == record_part::other) {
      p = find_byte(p, end, '\r');
      if (p == nullptr) return;
      ++p;
      return_last_ = true;
      continue;
    }
    const char c = *p++;
    if (c == '\r') {
      return_last_ = true;
      continue;
    }
    hidden_ = after(hidden_, c, loose_rule, hidden_read_);
    const bool in_field = hidden_ == record_part::field || hidden_ == record_part::complete;
    if (in_field && !is_hex_digit(c)) hidden_ = record_part::other;
    hidden_found_ = hidden_ == record_part::complete;
  }
}

line_kind line_scan::finish(opcode_record& record) {
  line_kind kind = line_kind::other;
  switch (part_) {
    case record_part::line_start:
    case record_part::point:
    case record_part::other:
      break;
    case record_part::label:
    case record_part::blanks:
    case record_part::field:
      kind = line_kind::incomplete_record;
      break;
    case record_part::complete:
      std::memcpy(record.high_text.data(), field_.data(), record.high_text.size());
      std::memcpy(record.low_text.data(), field_.data() + record.high_text.size(),
                  record.low_text.size());
      kind = is_hex(field_.data()) ? line_kind::opcode_record : line_kind::non_hex_record;
      break;
  }
  part_ = record_part::line_start;
  field_size_ = 0;
  hidden_ = record_part::other;
  return_last_ = false;
  hidden_told_ = hidden_found_;
  hidden_found_ = false;
  return kind;
}

line_kind scan_opcode_record(std::string_view line, opcode_record& record) {
  line_scan scan;
  scan.feed(line);
  return scan.finish(record);
}

// What one block's walk through its whole lines carries.
struct listing_scanner::line_run {
  const block_lines& lines;
  line_count count;
  header_text& text;
  line_reporter& reporter;
  std::int64_t feeds = 0;
  bool returns = false;  // a carriage return may stand in the lines walked
};

std::int64_t listing_scanner::line_count::at(const char* p) {
  number += std::count(counted, p, '\n');
  counted = p;
  return number;
}

// A point that begins a line in the whole lines of a block: the usual record
// is written at once; any other goes the long way.
inline void listing_scanner::take_point(const char* point, line_run& run) {
  if (!is_digit(point[1])) return;  // a point is never the line feed
  const char* const field =
      run.lines.block_end - point >= 33 ? usual_field(point + 2) : nullptr;
  if (field != nullptr) {
    ++records_;
    write_opcode_elements(run.text, field + 2, field);
    return;
  }
  take_any_record(point, find_byte(point + 2, run.lines.end, '\n'), run);
}

// A mark where the chunk holds a carriage return: a point, or a lone return.
void listing_scanner::take_mark(const char* mark, line_run& run) {
  if (*mark == '.') {
    take_point(mark, run);
  } else {
    take_lone_return(mark, find_byte(mark, run.lines.end, '\n'), run);
  }
}

// A record line, a point and a digit from `start` to `line_feed`.
void listing_scanner::take_any_record(const char* start, const char* line_feed, line_run& run) {
  const record_shape shape = read_record(start, line_feed, listing_rule);
  if (shape.field == nullptr) {
    run.reporter.report({line_kind::incomplete_record, run.count.at(start), {}, false});
    return;
  }
  ++records_;
  write_opcode_elements(run.text, shape.field + 2, shape.field);
  if (is_hex(shape.field)) return;
  run.reporter.report({line_kind::non_hex_record, run.count.at(start), {shape.field, field_size},
                       holds_tab(start + 2, shape.label_end)});
}

// Each lone carriage return of the line [line, line_feed).
void listing_scanner::take_returns(const char* line, const char* line_feed, line_run& run) {
  for (const char* cr = find_byte(line, line_feed, '\r'); cr != nullptr;
       cr = find_byte(cr + 1, line_feed, '\r')) {
    if (cr + 1 != line_feed) take_lone_return(cr, line_feed, run);
  }
}

// A record after a lone carriage return is told once for its line.
void listing_scanner::take_lone_return(const char* cr, const char* line_feed, line_run& run) {
  if (!hides_record(cr, line_feed)) return;
  const std::int64_t number = run.count.at(cr);
  if (number == hidden_line_) return;
  hidden_line_ = number;
  run.reporter.report({line_kind::hidden_record, number, {}, false});
}

// The marks of the lines are found 64 bytes at a time, a chunk of windows
// before they are taken: where the chunk holds a carriage return, found
// again with the lone ones among them. Returns the start of the first line
// after the last window.
const char* listing_scanner::take_line_points(line_run& run) {
  const char* p = run.lines.begin;
  std::uint64_t carry = 1;
  std::array<std::uint32_t, chunk_marks> marks;
  while (run.lines.end - p >= 64) {
    const std::size_t windows =
        std::min(chunk_windows, static_cast<std::size_t>(run.lines.end - p) / 64);
    const std::uint64_t carried = carry;
    const std::int64_t feeds = run.feeds;
    bool returns = false;
    const std::size_t found =
        find_marks(p, windows, false, carry, marks.data(), run.feeds, returns);
    if (returns) {  // rare: the marks again, with the lone returns among them
      carry = carried;
      run.feeds = feeds;
      const std::size_t all = find_marks(p, windows, true, carry, marks.data(), run.feeds, returns);
      for (std::size_t i = 0; i < all; ++i) take_mark(p + marks[i], run);
    } else {
      for (std::size_t i = 0; i < found; ++i) take_point(p + marks[i], run);
    }
    p += windows * 64;
  }
  if (carry != 0) return p;
  const char* const line_feed = find_byte(p, run.lines.end, '\n');
  ++run.feeds;  // the line under way ends after the last window
  take_returns(p, line_feed, run);
  return line_feed + 1;
}

// The line feeds are found 64 bytes at a time, and each line's start is
// looked at. Returns the start of the line under way after the last window.
const char* listing_scanner::take_each_line(line_run& run) {
  const char* line = run.lines.begin;
  for (const char* window = line; run.lines.end - window >= 64; window += 64) {
    for (std::uint64_t ends = bytes_equal(window, '\n', byte_compare::words); ends != 0;
         ends &= ends - 1) {
      const char* const line_feed = window + std::countr_zero(ends);
      if (*line == '.' && is_digit(line[1])) take_any_record(line, line_feed, run);
      if (run.returns) take_returns(line, line_feed, run);
      ++run.feeds;
      line = line_feed + 1;
    }
  }
  return line;
}

// The whole lines of a block, by the strategy chosen. Carriage returns are
// looked for where plain code takes each line, and in the last lines, under
// 64 bytes, which go one by one.
void listing_scanner::scan_lines(const block_lines& lines, header_text& text,
                                 line_reporter& reporter) {
  line_run run{lines, {lines.begin, line_number_}, text, reporter};
  const char* p = lines.begin;
  if (strategy_ == line_strategy::line_points) {
    p = take_line_points(run);
  } else {
    run.returns = find_byte(p, lines.end, '\r') != nullptr;
    p = take_each_line(run);
  }
  run.returns = find_byte(p, lines.end, '\r') != nullptr;
  while (p != lines.end) {
    const char* const line_feed = find_byte(p, lines.end, '\n');
    if (*p == '.' && is_digit(p[1])) take_any_record(p, line_feed, run);
    if (run.returns) take_returns(p, line_feed, run);
    ++run.feeds;
    p = line_feed + 1;
  }
  line_number_ += run.feeds;
}

void listing_scanner::scan(std::string_view block, header_text& text, line_reporter& reporter) {
  const char* p = block.data();
  const char* const end = p + block.size();
  if (line_open_) {  // the rest of a line that began in an earlier block
    const char* const line_feed = find_byte(p, end, '\n');
    if (line_feed == nullptr) {
      line_.feed(block);
      return;
    }
    line_.feed({p, line_feed});
    end_line(text, reporter);
    p = line_feed + 1;
  }
  const byte_compare compare =
      strategy_ == line_strategy::line_points ? built_in_compare : byte_compare::words;
  const char* const last_feed = last_line_feed(p, end, compare);
  const char* const last_line = last_feed == nullptr ? p : last_feed + 1;
  if (last_line != p) scan_lines({p, last_line, end}, text, reporter);
  line_.feed({last_line, end});
  line_open_ = last_line != end;
}

void listing_scanner::finish(header_text& text, line_reporter& reporter) {
  if (line_open_) end_line(text, reporter);
}

void listing_scanner::end_line(header_text& text, line_reporter& reporter) {
  opcode_record record{};
  const line_kind kind = line_.finish(record);
  line_open_ = false;
  if (kind == line_kind::opcode_record || kind == line_kind::non_hex_record) {
    ++records_;
    write_opcode_elements(text, record.low_text.data(), record.high_text.data());
  }
  if (kind == line_kind::incomplete_record) reporter.report({kind, line_number_, {}, false});
  if (kind == line_kind::non_hex_record) {
    reporter.report({kind, line_number_, line_.field(), line_.label_tab()});
  }
  if (line_.hidden() && line_number_ != hidden_line_) {
    hidden_line_ = line_number_;
    reporter.report({line_kind::hidden_record, line_number_, {}, false});
  }
  ++line_number_;
}
