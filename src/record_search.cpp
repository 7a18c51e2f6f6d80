// The guard's search for opcode records, by the record rule.
#include "record_search.h"

bool record_search::reading::step(char c) {
  if (rule.ends_line(c)) {
    now = record_part::line_start;
    return false;
  }
  now = after(now, c, rule, field_read);
  const bool in_field = now == record_part::field || now == record_part::complete;
  if (in_field && !is_hex_digit(c)) now = record_part::other;
  return now == record_part::complete;
}

// Most lines are no record for either reading from their first character:
// once both readings have left a line, only a point at a line's start can
// begin a record, and the bytes up to it are passed over 64 at a time. A
// point after a carriage return starts a line only for the reading that
// ends lines there.
bool record_search::scan(std::string_view block) {
  const char* p = block.data();
  const char* const end = p + block.size();
  while (p != end && !found_) {
    if (plain_.now == record_part::other && loose_.now == record_part::other) {
      const char* const point = next_line_point(p, end, compare_);
      if (point == end) {  // what follows depends only on the block's last byte
        plain_.step(end[-1]);
        loose_.step(end[-1]);
        break;
      }
      plain_.now = point[-1] == '\n' ? record_part::point : record_part::other;
      loose_.now = record_part::point;
      p = point + 1;
      continue;
    }
    const char c = *p++;
    found_ = plain_.step(c) || loose_.step(c);
  }
  return found_;
}
