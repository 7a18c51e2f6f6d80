// The rule of an opcode record, written once for every reader: a line that
// begins with a point and a decimal digit; its label runs from the digit to
// the first blank; blanks follow; its field is the next ten characters. What
// is a blank and what ends a line are the rule's parameters: the
// conversion's reading (a space; a line feed) and the guard's looser one (a
// space or a tab; a line feed or a carriage return).
#pragma once

#include <cstddef>
#include <cstdint>

struct record_rule {
  char blank;
  char other_blank;  // the same as `blank` where only one is
  char line_end;
  char other_line_end;  // the same as `line_end` where only one is

  constexpr bool is_blank(char c) const { return c == blank || c == other_blank; }
  constexpr bool ends_line(char c) const { return c == line_end || c == other_line_end; }
};

// The conversion's reading.
inline constexpr record_rule listing_rule{' ', ' ', '\n', '\n'};
// The guard's looser reading: tab-separated listings, and lines that end in
// a carriage return alone.
inline constexpr record_rule loose_rule{' ', '\t', '\n', '\r'};

inline constexpr std::size_t field_size = 10;

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The parts of a record line, in the order the rule reads them.
enum class record_part : std::uint8_t {
  line_start, point, label, blanks, field, complete, other,
};

// The part after character `c` (which ends no line) is read in part `now`;
// `field_read` counts the field's characters read so far. The readers that
// take a character at a time step by this.
constexpr record_part after(record_part now, char c, const record_rule& rule,
                            std::uint8_t& field_read) {
  switch (now) {
    case record_part::line_start:
      return c == '.' ? record_part::point : record_part::other;
    case record_part::point:
      return is_digit(c) ? record_part::label : record_part::other;
    case record_part::label:
      return rule.is_blank(c) ? record_part::blanks : record_part::label;
    case record_part::blanks:
      if (rule.is_blank(c)) return record_part::blanks;
      field_read = 0;
      [[fallthrough]];
    case record_part::field:
      return ++field_read == field_size ? record_part::complete : record_part::field;
    case record_part::complete:
    case record_part::other:
      break;
  }
  return now;
}

// The readers that take a run at once: where the label that begins at `p`
// ends (its first blank), and where the blanks that begin at `p` end (the
// first character that is none), or `end`. With one blank, eight bytes are
// looked at at once: label and blank runs vary from line to line.
const char* end_of_label(const char* p, const char* end, const record_rule& rule);
const char* end_of_blanks(const char* p, const char* end, const record_rule& rule);

// A record line's label end and field, read by the rule from the line
// [line, end) that begins with a point and a digit; `field` is null where
// the line ends before its ten field characters do.
struct record_shape {
  const char* label_end;
  const char* field;
};
record_shape read_record(const char* line, const char* end, const record_rule& rule);

// Whether all ten field characters are hexadecimal digits.
bool is_hex(const char* field);
bool is_hex_digit(char c);
