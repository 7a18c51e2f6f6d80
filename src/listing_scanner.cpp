// Recognises the opcode records of an assembler listing.
#include "listing_scanner.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

constexpr std::array<bool, 256> hex_digits = [] {
  std::array<bool, 256> table{};
  for (const char c : std::string_view("0123456789ABCDEFabcdef")) {
    table[static_cast<unsigned char>(c)] = true;
  }
  return table;
}();

// Looks at all ten characters without a branch between them.
bool is_hex(const std::array<char, 10>& field) {
  bool hex = true;
  for (const char c : field) hex &= hex_digits[static_cast<unsigned char>(c)];
  return hex;
}

// Bit 7 of each byte of the result is set where that byte of `word` is a blank.
std::uint64_t blank_bytes(std::uint64_t word) {
  constexpr std::uint64_t low_bits = 0x7F7F7F7F7F7F7F7F;
  const std::uint64_t x = word ^ 0x2020202020202020;  // blanks become zero bytes
  const std::uint64_t nonzero = ((x & low_bits) + low_bits) | x;
  return ~nonzero & ~low_bits;
}

// The first byte in [p, end) that is a blank, if `blank`, or is not one,
// otherwise; or `end`. Label and blank runs vary in length from line to line,
// so eight bytes are looked at at once rather than branching on each.
const char* find_first(const char* p, const char* const end, bool blank) {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t high_bits = 0x8080808080808080;
    while (end - p >= 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, p, sizeof word);
      const std::uint64_t hits = blank ? blank_bytes(word) : blank_bytes(word) ^ high_bits;
      if (hits != 0) return p + std::countr_zero(hits) / 8;
      p += 8;
    }
  }
  while (p != end && (*p == ' ') != blank) ++p;
  return p;
}

}  // namespace

// A straight scan of the line that can stop at the end of any part and pick
// up where it stopped: each phase falls through to the next.
void line_scan::feed(std::string_view part) {
  const char* p = part.data();
  const char* const end = p + part.size();
  switch (phase_) {
    case phase::line_start:
      if (p == end) return;
      if (*p++ != '.') {
        phase_ = phase::other;
        return;
      }
      [[fallthrough]];
    case phase::after_point:
      if (p == end) {
        phase_ = phase::after_point;
        return;
      }
      if (!is_digit(*p++)) {
        phase_ = phase::other;
        return;
      }
      [[fallthrough]];
    case phase::label:  // up to the first blank; only a space is a blank
      p = find_first(p, end, true);
      if (p == end) {
        phase_ = phase::label;
        return;
      }
      [[fallthrough]];
    case phase::blanks:
      p = find_first(p, end, false);
      if (p == end) {
        phase_ = phase::blanks;
        return;
      }
      [[fallthrough]];
    case phase::field: {
      const std::size_t take =
          std::min(field_.size() - field_size_, static_cast<std::size_t>(end - p));
      if (take == field_.size()) {
        std::memcpy(field_.data(), p, field_.size());  // the usual case: all at once
      } else {
        std::memcpy(field_.data() + field_size_, p, take);
      }
      field_size_ = static_cast<std::uint8_t>(field_size_ + take);
      phase_ = field_size_ == field_.size() ? phase::complete : phase::field;
      return;
    }
    case phase::complete:
    case phase::other:
      return;  // the rest of the line does not matter
  }
}

line_kind line_scan::finish(opcode_record& record) {
  line_kind kind = line_kind::other;
  switch (phase_) {
    case phase::line_start:
    case phase::after_point:
    case phase::other:
      break;
    case phase::label:
    case phase::blanks:
    case phase::field:
      kind = line_kind::incomplete_record;
      break;
    case phase::complete:
      std::memcpy(record.high_text.data(), field_.data(), record.high_text.size());
      std::memcpy(record.low_text.data(), field_.data() + record.high_text.size(),
                  record.low_text.size());
      kind = is_hex(field_) ? line_kind::opcode_record : line_kind::non_hex_record;
      break;
  }
  phase_ = phase::line_start;
  field_size_ = 0;
  return kind;
}

line_kind scan_opcode_record(std::string_view line, opcode_record& record) {
  line_scan scan;
  scan.feed(line);
  return scan.finish(record);
}

bool holds_opcode_record(std::string_view text) {
  for (std::size_t start = 0; start + 1 < text.size();) {
    if (text[start] == '.' && is_digit(text[start + 1])) return true;
    const std::size_t line_feed = text.find('\n', start);
    if (line_feed == std::string_view::npos) break;
    start = line_feed + 1;
  }
  return false;
}

// Runs once per line: the line scan is inlined into it.
[[gnu::flatten]] bool listing_scanner::next(std::string_view& input, listing_event& event) {
  const char* p = input.data();
  const char* const end = p + input.size();
  while (p != end) {
    const auto* line_feed =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    if (line_feed == nullptr) {
      line_.feed({p, end});
      line_open_ = true;
      break;
    }
    line_.feed({p, line_feed});
    p = line_feed + 1;
    line_open_ = false;
    if (end_line(event)) {
      input = {p, end};
      return true;
    }
  }
  input = {};
  return false;
}

bool listing_scanner::finish(listing_event& event) {
  if (!line_open_) return false;
  line_open_ = false;
  return end_line(event);
}

bool listing_scanner::end_line(listing_event& event) {
  event.kind = line_.finish(event.record);
  event.line_number = line_number_++;
  return event.kind != line_kind::other;
}
