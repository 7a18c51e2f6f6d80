// The line-finding kernels, in SSE2 and in plain code.
#include "line_search.h"

#include "line_marks.h"

#include <bit>
#include <cstring>

#include "record_rule.h"

#ifdef MARVOT_SSE2
#include <emmintrin.h>
#endif

namespace {

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
  return line_marks::bytes_equal_words(p, c);
#endif
}

}  // namespace

std::uint64_t bytes_equal(const char* p, char c, byte_compare compare) {
  return compare == byte_compare::sse2 ? bytes_equal_sse2(p, c)
                                       : line_marks::bytes_equal_words(p, c);
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

