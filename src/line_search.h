// Finding lines, and the points that begin them, in a block of a listing: the
// kernels that the readers of records choose between, each in SSE2 (which
// every x86-64 processor has) and in plain code.
#pragma once

#include <cstddef>
#include <cstdint>

#include <bit>

#include "record_rule.h"

#if defined(__SSE2__) || defined(_M_X64)
#define MARVOT_SSE2 1
#include <emmintrin.h>
#endif

// How bytes are compared: with SSE2 where it is built in, or eight at a time
// in plain code. The tests run both ways on every system.
enum class byte_compare { sse2, words };
#ifdef MARVOT_SSE2
inline constexpr byte_compare built_in_compare = byte_compare::sse2;
#else
inline constexpr byte_compare built_in_compare = byte_compare::words;
#endif

// Bit i is set where p[i] is `c`, for the 64 bytes at p.
std::uint64_t bytes_equal(const char* p, char c, byte_compare compare);

// The first point in [p, end) that follows a line feed or a carriage return
// in it, or `end`: the start of each line is looked at, 64 bytes at a time.
const char* next_line_point(const char* p, const char* end, byte_compare compare);

// The last line feed in [begin, end), or null: sought 64 bytes at a time
// from the end, where a block's last line feed lies.
const char* last_line_feed(const char* begin, const char* end, byte_compare compare);

// Windows of 64 bytes looked at before the records among them are taken:
// few enough that they stay in the cache, and that the byte lanes of the
// vectorised count (four line feeds a window at most) cannot overflow.
constexpr std::size_t chunk_windows = 32;
// Room for the offsets of a chunk's marks: one a byte at most (a run of
// carriage returns), and the two that are written past the last.
constexpr std::size_t chunk_marks = chunk_windows * 64 + 2;

// The usual record's field, found by the conversion's rule with a few 16-byte
// comparisons: its label, a blank and its blanks end, and its field begins,
// in the 16 bytes from `label`, and its ten characters are hex digits, so
// that neither the label nor the field holds the line's end. Reads the 31
// bytes from `label`. Null for any other line, which is read the long way,
// and always without SSE2. Inline: it is taken for each record.
static_assert(listing_rule.blank == listing_rule.other_blank &&
              listing_rule.line_end == listing_rule.other_line_end);

inline const char* usual_field(const char* label) {
#ifdef MARVOT_SSE2
  const auto load = [](const char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  };
  const auto mask = [](__m128i bytes) { return static_cast<unsigned>(_mm_movemask_epi8(bytes)); };
  const __m128i bytes = load(label);
  const unsigned blanks = mask(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(listing_rule.blank)));
  if (blanks == 0) return nullptr;
  const int label_size = std::countr_zero(blanks);
  const unsigned not_blank = ~blanks & (0xFFFFu << label_size) & 0xFFFFu;
  const unsigned label_ends =
      mask(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(listing_rule.line_end))) & ((1u << label_size) - 1);
  if (not_blank == 0 || label_ends != 0) return nullptr;
  const char* const field = label + std::countr_zero(not_blank);
  // Signed comparisons: a byte from 0x80 up is below every digit and letter.
  const __m128i text = load(field);
  const __m128i folded = _mm_or_si128(text, _mm_set1_epi8(0x20));  // 'A' to 'F' as 'a' to 'f'
  const __m128i digits = _mm_and_si128(_mm_cmpgt_epi8(text, _mm_set1_epi8('0' - 1)),
                                       _mm_cmpgt_epi8(_mm_set1_epi8('9' + 1), text));
  const __m128i letters = _mm_and_si128(_mm_cmpgt_epi8(folded, _mm_set1_epi8('a' - 1)),
                                        _mm_cmpgt_epi8(_mm_set1_epi8('f' + 1), folded));
  const unsigned hex = mask(_mm_or_si128(digits, letters));
  return (hex & 0x3FFu) == 0x3FFu ? field : nullptr;
#else
  (void)label;
  return nullptr;
#endif
}

