// The line-finding kernels, in SSE2 and in plain code.
#include "line_search.h"

#include <bit>
#include <cstring>

#include "record_rule.h"

#ifdef MARVOT_SSE2
#include <emmintrin.h>
#endif

namespace {

// Bit 7 of each byte of the result is set where that byte of `word` is `c`.
std::uint64_t matching_bytes(std::uint64_t word, char c) {
  constexpr std::uint64_t low_bits = 0x7F7F7F7F7F7F7F7F;
  const std::uint64_t x = word ^ (0x0101010101010101 * static_cast<unsigned char>(c));
  const std::uint64_t nonzero = ((x & low_bits) + low_bits) | x;  // bit 7: byte not zero
  return ~nonzero & ~low_bits;
}

// Bits 7, 15, ... 63 of `hits` as bits 0 to 7.
std::uint64_t gather_bytes(std::uint64_t hits) {
  return ((hits >> 7) * 0x0102040810204080) >> 56;
}

// Eight bytes at a time where the machine is little-endian.
std::uint64_t bytes_equal_words(const char* p, char c) {
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

std::uint64_t bytes_equal_sse2(const char* p, char c) {
#ifdef MARVOT_SSE2
  const __m128i wanted = _mm_set1_epi8(c);
  std::uint64_t found = 0;
  for (int at = 0; at < 64; at += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
    const auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
    found |= std::uint64_t{hits} << at;
  }
  return found;
#else
  return bytes_equal_words(p, c);
#endif
}

// Adds the offsets of the bits set in `bits`, from `base`, to `offsets` at
// `count`, and returns the new count. The first two are written whether
// they are there or not, so that the usual window, with none, one or two,
// takes no branch that depends on the listing.
std::size_t put_offsets(std::uint64_t bits, std::uint32_t base, std::uint32_t* offsets,
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
std::uint64_t lone(std::uint64_t returns, std::uint64_t ends, const char* p) {
  std::uint64_t alone = returns & ~(ends >> 1);
  if ((returns >> 63) != 0 && p[64] == '\n') alone &= ~(std::uint64_t{1} << 63);
  return alone;
}

template <bool lone_returns>
std::size_t find_marks_in(const char* p, std::size_t windows, std::uint64_t& carry,
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

}  // namespace

std::uint64_t bytes_equal(const char* p, char c, byte_compare compare) {
  return compare == byte_compare::sse2 ? bytes_equal_sse2(p, c) : bytes_equal_words(p, c);
}

const char* next_line_point(const char* p, const char* const end, byte_compare compare) {
  std::uint64_t carry = 0;  // the last window ended with a line end
  for (; end - p >= 64; p += 64) {
    const std::uint64_t ends = bytes_equal(p, '\n', compare) | bytes_equal(p, '\r', compare);
    const std::uint64_t points = ((ends << 1) | carry) & bytes_equal(p, '.', compare);
    if (points != 0) return p + std::countr_zero(points);
    carry = ends >> 63;
  }
  for (bool after_end = carry != 0; p != end; ++p) {
    if (after_end && *p == '.') return p;
    after_end = *p == '\n' || *p == '\r';
  }
  return end;
}

const char* last_line_feed(const char* begin, const char* end, byte_compare compare) {
  for (; end - begin >= 64; end -= 64) {
    const std::uint64_t feeds = bytes_equal(end - 64, '\n', compare);
    if (feeds != 0) return end - 1 - std::countl_zero(feeds);
  }
  while (end != begin) {
    if (*--end == '\n') return end;
  }
  return nullptr;
}

std::size_t find_marks(const char* p, std::size_t windows, bool lone_returns,
                       std::uint64_t& carry, std::uint32_t* marks, std::int64_t& feeds,
                       bool& returns) {
  return lone_returns ? find_marks_in<true>(p, windows, carry, marks, feeds, returns)
                      : find_marks_in<false>(p, windows, carry, marks, feeds, returns);
}

static_assert(listing_rule.blank == listing_rule.other_blank &&
              listing_rule.line_end == listing_rule.other_line_end);

const char* usual_field(const char* label) {
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
