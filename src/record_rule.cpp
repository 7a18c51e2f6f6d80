// The record rule's readers of runs, and the field's digits.
#include "record_rule.h"

#include <array>
#include <bit>
#include <cstring>
#include <string_view>

namespace {

constexpr std::array<bool, 256> hex_digits = [] {
  std::array<bool, 256> table{};
  for (const char c : std::string_view("0123456789ABCDEFabcdef")) {
    table[static_cast<unsigned char>(c)] = true;
  }
  return table;
}();

// Bit 7 is set in each byte of `word` that is from `low` to `high` (both
// below 0x80). No byte carries into the next.
std::uint64_t bytes_between(std::uint64_t word, unsigned char low, unsigned char high) {
  constexpr std::uint64_t ones = 0x0101010101010101;
  constexpr std::uint64_t low_bits = 0x7F7F7F7F7F7F7F7F;
  const std::uint64_t x = word & low_bits;
  return (x + ones * (0x80u - low)) & ~(x + ones * (0x7Fu - high)) & ~word & ~low_bits;
}

// Bit 7 of each byte of the result is set where that byte of `word` is `c`.
std::uint64_t matching_bytes(std::uint64_t word, char c) {
  constexpr std::uint64_t low_bits = 0x7F7F7F7F7F7F7F7F;
  const std::uint64_t x = word ^ (0x0101010101010101 * static_cast<unsigned char>(c));
  const std::uint64_t nonzero = ((x & low_bits) + low_bits) | x;  // bit 7: byte not zero
  return ~nonzero & ~low_bits;
}

// The first byte in [p, end) that is a blank, if `blank`, or is not one,
// otherwise; or `end`.
const char* find_first(const char* p, const char* const end, bool blank,
                       const record_rule& rule) {
  if (std::endian::native == std::endian::little && rule.blank == rule.other_blank) {
    constexpr std::uint64_t high_bits = 0x8080808080808080;
    while (end - p >= 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, p, sizeof word);
      const std::uint64_t blanks = matching_bytes(word, rule.blank);
      const std::uint64_t hits = blank ? blanks : blanks ^ high_bits;
      if (hits != 0) return p + std::countr_zero(hits) / 8;
      p += 8;
    }
  }
  while (p != end && rule.is_blank(*p) != blank) ++p;
  return p;
}

}  // namespace

const char* end_of_label(const char* p, const char* end, const record_rule& rule) {
  return find_first(p, end, true, rule);
}

const char* end_of_blanks(const char* p, const char* end, const record_rule& rule) {
  return find_first(p, end, false, rule);
}

record_shape read_record(const char* line, const char* end, const record_rule& rule) {
  const char* const label_end = end_of_label(line + 2, end, rule);
  const char* const field = end_of_blanks(label_end, end, rule);
  const bool whole = static_cast<std::size_t>(end - field) >= field_size;
  return {label_end, whole ? field : nullptr};
}

bool is_hex_digit(char c) { return hex_digits[static_cast<unsigned char>(c)]; }

// The first eight at once.
bool is_hex(const char* field) {
  std::uint64_t word = 0;
  std::memcpy(&word, field, sizeof word);
  const std::uint64_t folded = word | 0x2020202020202020;  // 'A' to 'F' become 'a' to 'f'
  const std::uint64_t hex = bytes_between(word, '0', '9') | bytes_between(folded, 'a', 'f');
  return hex == 0x8080808080808080 && is_hex_digit(field[8]) && is_hex_digit(field[9]);
}
