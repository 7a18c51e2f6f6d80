// The kernel that finds the marks of a chunk of whole lines (the points that
// begin lines, and lone carriage returns), in SSE2 and in plain code: inline,
// so that it compiles into the loop that takes the marks, as a hot loop must.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "line_search.h"

namespace line_marks {

// Bit 7 of each byte of the result is set where that byte of `word` is `c`.
inline std::uint64_t matching_bytes(std::uint64_t word, char c) {
  constexpr std::uint64_t low_bits = 0x7F7F7F7F7F7F7F7F;
  const std::uint64_t x = word ^ (0x0101010101010101 * static_cast<unsigned char>(c));
  const std::uint64_t nonzero = ((x & low_bits) + low_bits) | x;  // bit 7: byte not zero
  return ~nonzero & ~low_bits;
}

// Bits 7, 15, ... 63 of `hits` as bits 0 to 7.
inline std::uint64_t gather_bytes(std::uint64_t hits) {
  return ((hits >> 7) * 0x0102040810204080) >> 56;
}

// Eight bytes at a time where the machine is little-endian.
inline std::uint64_t bytes_equal_words(const char* p, char c) {
  std::uint64_t found = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (int at = 0; at < 64; at += 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, p + at, sizeof word);
      found |= gather_bytes(matching_bytes(word, c)) << at;
    }
  } else {
    for (int at = 0; at < 64; ++at) found |= std::uint64_t{p[at] == c} << at;
  }
  return found;
}

// Adds the offsets of the bits set in `bits`, from `base`, to `offsets` at
// `count`, and returns the new count. The first two are written whether
// they are there or not, so that the usual window, with none, one or two,
// takes no branch that depends on the listing.
inline std::size_t put_offsets(std::uint64_t bits, std::uint32_t base, std::uint32_t* offsets,
                        std::size_t count) {
  constexpr std::uint64_t last = std::uint64_t{1} << 63;  // no zero to count: no branch
  std::uint64_t rest = bits & (bits - 1);
  offsets[count] = base + static_cast<std::uint32_t>(std::countr_zero(bits | last));
  offsets[count + 1] = base + static_cast<std::uint32_t>(std::countr_zero(rest | last));
  count += std::size_t{bits != 0} + std::size_t{rest != 0};
  for (rest &= rest - 1; rest != 0; rest &= rest - 1) {
    offsets[count++] = base + static_cast<std::uint32_t>(std::countr_zero(rest));
  }
  return count;
}

// The carriage returns of a window at `p` that no line feed follows; the
// byte after the window is read only where the window ends in one.
inline std::uint64_t lone(std::uint64_t returns, std::uint64_t ends, const char* p) {
  std::uint64_t alone = returns & ~(ends >> 1);
  if ((returns >> 63) != 0 && p[64] == '\n') alone &= ~(std::uint64_t{1} << 63);
  return alone;
}

template <bool lone_returns>
inline std::size_t find_marks_in(const char* p, std::size_t windows, std::uint64_t& carry,
                          std::uint32_t* marks, std::int64_t& feeds, bool& returns) {
  std::size_t count = 0;
#ifdef MARVOT_SSE2
  const __m128i feed = _mm_set1_epi8('\n');
  const __m128i point = _mm_set1_epi8('.');
  const __m128i carriage_return = _mm_set1_epi8('\r');
  __m128i lanes = _mm_setzero_si128();  // each byte: the line feeds seen in its lane
  __m128i seen = _mm_setzero_si128();   // where a carriage return was seen
  for (std::size_t window = 0; window < windows; ++window, p += 64) {
    std::uint64_t ends = 0;
    std::uint64_t points = 0;
    std::uint64_t crs = 0;
    for (int at = 0; at < 64; at += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
      const __m128i is_feed = _mm_cmpeq_epi8(bytes, feed);
      const __m128i is_return = _mm_cmpeq_epi8(bytes, carriage_return);
      lanes = _mm_sub_epi8(lanes, is_feed);
      seen = _mm_or_si128(seen, is_return);
      ends |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(is_feed))} << at;
      points |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, point)))}
                << at;
      if constexpr (lone_returns) {
        crs |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(is_return))} << at;
      }
    }
    std::uint64_t marked = ((ends << 1) | carry) & points;
    if constexpr (lone_returns) marked |= lone(crs, ends, p);
    count = put_offsets(marked, static_cast<std::uint32_t>(window * 64), marks, count);
    carry = ends >> 63;
  }
  const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
  feeds += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
  returns = _mm_movemask_epi8(seen) != 0;
#else
  bool seen = false;
  for (std::size_t window = 0; window < windows; ++window, p += 64) {
    const std::uint64_t ends = bytes_equal_words(p, '\n');
    const std::uint64_t crs = bytes_equal_words(p, '\r');
    feeds += std::popcount(ends);
    seen = seen || crs != 0;
    std::uint64_t marked = ((ends << 1) | carry) & bytes_equal_words(p, '.');
    if constexpr (lone_returns) marked |= lone(crs, ends, p);
    count = put_offsets(marked, static_cast<std::uint32_t>(window * 64), marks, count);
    carry = ends >> 63;
  }
  returns = seen;
#endif
  return count;
}

}  // namespace line_marks

// The marks in the `windows` 64-byte windows from `p`, which lie within
// whole lines: the points that begin a line, and with `lone_returns` the
// carriage returns that no line feed follows. Their offsets go to `marks`, in
// order, and their count is returned; the line feeds are added to `feeds`,
// and `returns` is set where a carriage return was seen. `carry` is 1 where
// the byte before `p` ends a line, and is left so for the byte after.
inline std::size_t find_marks(const char* p, std::size_t windows, bool lone_returns,
                       std::uint64_t& carry, std::uint32_t* marks, std::int64_t& feeds,
                       bool& returns) {
  return lone_returns ? line_marks::find_marks_in<true>(p, windows, carry, marks, feeds, returns)
                      : line_marks::find_marks_in<false>(p, windows, carry, marks, feeds, returns);
}
