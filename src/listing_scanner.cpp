// Recognises the opcode records of an assembler listing.
#include "listing_scanner.h"

#include <algorithm>
#include <bit>
#include <cstring>

#ifdef MARVOT_SSE2
#include <emmintrin.h>
#endif

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

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

// Whether all ten field characters are hex digits, the first eight at once.
bool is_hex(const char* field) {
  std::uint64_t word = 0;
  std::memcpy(&word, field, sizeof word);
  const std::uint64_t folded = word | 0x2020202020202020;  // 'A' to 'F' become 'a' to 'f'
  const std::uint64_t hex = bytes_between(word, '0', '9') | bytes_between(folded, 'a', 'f');
  return hex == 0x8080808080808080 && hex_digits[static_cast<unsigned char>(field[8])] &&
         hex_digits[static_cast<unsigned char>(field[9])];
}

// Bit 7 of each byte of the result is set where that byte of `word` is `c`.
std::uint64_t matching_bytes(std::uint64_t word, char c) {
  constexpr std::uint64_t low_bits = 0x7F7F7F7F7F7F7F7F;
  const std::uint64_t x = word ^ (0x0101010101010101 * static_cast<unsigned char>(c));
  const std::uint64_t nonzero = ((x & low_bits) + low_bits) | x;  // bit 7: byte not zero
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
      const std::uint64_t blanks = matching_bytes(word, ' ');
      const std::uint64_t hits = blank ? blanks : blanks ^ high_bits;
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
      label_tab_ = false;
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
    case phase::label: {  // up to the first blank; only a space is a blank
      const char* const label = p;
      p = find_first(p, end, true);
      label_tab_ = label_tab_ || std::memchr(label, '\t', static_cast<std::size_t>(p - label));
      if (p == end) {
        phase_ = phase::label;
        return;
      }
      [[fallthrough]];
    }
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
      kind = is_hex(field_.data()) ? line_kind::opcode_record : line_kind::non_hex_record;
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

namespace {

// Bits 7, 15, ... 63 of `hits` as bits 0 to 7.
std::uint64_t gather_bytes(std::uint64_t hits) {
  return ((hits >> 7) * 0x0102040810204080) >> 56;
}

// Bit i is set where p[i] is `c`, for the 64 bytes at p: portable code,
// eight bytes at a time where the machine is little-endian.
std::uint64_t bytes_equal_plain(const char* p, char c) {
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

// The same with the SSE2 instructions that every x86-64 processor has.
std::uint64_t bytes_equal_vectorised(const char* p, char c) {
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
  return bytes_equal_plain(p, c);
#endif
}

std::uint64_t bytes_equal(const char* p, char c, bool vectorised) {
  return vectorised ? bytes_equal_vectorised(p, c) : bytes_equal_plain(p, c);
}

// The first point in [p, end) that follows a line feed or a carriage return
// in it, or `end`: the start of each line is looked at, 64 bytes at a time.
const char* next_line_point(const char* p, const char* const end, bool vectorised) {
  std::uint64_t carry = 0;  // the last window ended with a line end
  for (; end - p >= 64; p += 64) {
    const std::uint64_t ends = bytes_equal(p, '\n', vectorised) | bytes_equal(p, '\r', vectorised);
    const std::uint64_t points = ((ends << 1) | carry) & bytes_equal(p, '.', vectorised);
    if (points != 0) return p + std::countr_zero(points);
    carry = ends >> 63;
  }
  for (bool after_end = carry != 0; p != end; ++p) {
    if (after_end && *p == '.') return p;
    after_end = *p == '\n' || *p == '\r';
  }
  return end;
}

// The last line feed in [begin, end), or null: sought 64 bytes at a time
// from the end, where a block's last line feed lies.
const char* last_line_feed(const char* begin, const char* end, bool vectorised) {
  for (; end - begin >= 64; end -= 64) {
    const std::uint64_t feeds = bytes_equal(end - 64, '\n', vectorised);
    if (feeds != 0) return end - 1 - std::countl_zero(feeds);
  }
  while (end != begin) {
    if (*--end == '\n') return end;
  }
  return nullptr;
}

// Windows of 64 bytes looked at before the records among them are taken:
// few enough that they stay in the cache, and that the byte lanes of the
// vectorised count (four line feeds a window at most) cannot overflow.
constexpr std::size_t chunk_windows = 32;
// Room for the offsets of a chunk's line points: one in two bytes at most.
// What put_offsets writes past the points of a window lands where the next
// window's may stand.
constexpr std::size_t chunk_points = chunk_windows * 32;

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

// The points that begin a line in the `windows` 64-byte windows from `p`:
// their offsets go to `points` and their count is returned; the line feeds
// are added to `feeds`, counted in byte lanes. `carry` is 1 where the byte
// before `p` ends a line, and is left so for the byte after the last window.
#ifdef MARVOT_SSE2
std::size_t find_line_points(const char* p, std::size_t windows, std::uint64_t& carry,
                             std::uint32_t* points, std::int64_t& feeds) {
  const __m128i feed = _mm_set1_epi8('\n');
  const __m128i point = _mm_set1_epi8('.');
  __m128i lanes = _mm_setzero_si128();  // each byte: the line feeds seen in its lane
  std::size_t count = 0;
  for (std::size_t window = 0; window < windows; ++window, p += 64) {
    std::uint64_t ends = 0;
    std::uint64_t points_here = 0;
    for (int at = 0; at < 64; at += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
      const __m128i is_feed = _mm_cmpeq_epi8(bytes, feed);
      lanes = _mm_sub_epi8(lanes, is_feed);
      ends |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(is_feed))} << at;
      points_here |= std::uint64_t{static_cast<unsigned>(
                         _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, point)))}
                     << at;
    }
    count = put_offsets(((ends << 1) | carry) & points_here,
                        static_cast<std::uint32_t>(window * 64), points, count);
    carry = ends >> 63;
  }
  const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
  feeds += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
  return count;
}
#else
// Without SSE2 the same with eight-byte words, for the tests: the scanner
// takes each line by default there, which costs less in plain code.
std::size_t find_line_points(const char* p, std::size_t windows, std::uint64_t& carry,
                             std::uint32_t* points, std::int64_t& feeds) {
  std::size_t count = 0;
  for (std::size_t window = 0; window < windows; ++window, p += 64) {
    const std::uint64_t ends = bytes_equal_plain(p, '\n');
    feeds += std::popcount(ends);
    count = put_offsets(((ends << 1) | carry) & bytes_equal_plain(p, '.'),
                        static_cast<std::uint32_t>(window * 64), points, count);
    carry = ends >> 63;
  }
  return count;
}
#endif

// The usual record's field: its label, a space and its blanks end, and its
// field begins, in the 16 bytes from `label`, and its ten characters are
// hex digits, so that neither the label nor the field holds the line feed;
// found with a few comparisons rather than a loop for each run. Reads the 31
// bytes from `label`. Null for any other line, which must be searched.
inline const char* usual_field(const char* label) {
#ifdef MARVOT_SSE2
  const auto load = [](const char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  };
  const auto mask = [](__m128i bytes) { return static_cast<unsigned>(_mm_movemask_epi8(bytes)); };
  const __m128i bytes = load(label);
  const unsigned spaces = mask(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')));
  if (spaces == 0) return nullptr;
  const int label_size = std::countr_zero(spaces);
  const unsigned not_blank = ~spaces & (0xFFFFu << label_size) & 0xFFFFu;
  const unsigned label_feeds =
      mask(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))) & ((1u << label_size) - 1);
  if (not_blank == 0 || label_feeds != 0) return nullptr;
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

}  // namespace

bool record_search::reading::step(char c) {
  const bool blank = c == ' ' || (tabs && c == '\t');
  if (c == '\n' || (tabs && c == '\r')) {
    now = phase::line_start;
    return false;
  }
  switch (now) {
    case phase::line_start:
      now = c == '.' ? phase::after_point : phase::other;
      break;
    case phase::after_point:
      now = is_digit(c) ? phase::label : phase::other;
      break;
    case phase::label:
      if (blank) now = phase::gap;
      break;
    case phase::gap:
      if (blank) break;
      digits = 0;
      [[fallthrough]];
    case phase::field:
      now = hex_digits[static_cast<unsigned char>(c)] ? phase::field : phase::other;
      return now == phase::field && ++digits == 10;
    case phase::other:
      break;
  }
  return false;
}

// Most lines are no record for either reading from their first character:
// once both readings have left a line, only a point at a line's start can
// begin a record, and the bytes up to it are passed over 64 at a time. A
// point after a carriage return starts a line only for the reading that
// ends lines there.
bool record_search::scan(std::string_view block) {
  using phase = reading::phase;
  const char* p = block.data();
  const char* const end = p + block.size();
  while (p != end && !found_) {
    if (plain_.now == phase::other && tabbed_.now == phase::other) {
      const char* const point = next_line_point(p, end, vectorised_);
      if (point == end) {  // what follows depends only on the block's last byte
        plain_.step(end[-1]);
        tabbed_.step(end[-1]);
        break;
      }
      plain_.now = point[-1] == '\n' ? phase::after_point : phase::other;
      tabbed_.now = phase::after_point;
      p = point + 1;
      continue;
    }
    const char c = *p++;
    found_ = plain_.step(c) || tabbed_.step(c);
  }
  return found_;
}

std::int64_t listing_scanner::line_count::at(const char* p) {
  number += std::count(counted, p, '\n');
  counted = p;
  return number;
}

// A line that begins with a point, in the whole lines of a block, found by
// the vectorised code: the usual record is written at once; any other goes
// the long way.
inline void listing_scanner::take_record(const char* start, const block_lines& lines,
                                         line_count& count, header_text& text,
                                         line_reporter& reporter) {
  if (!is_digit(start[1])) return;  // a point is never the line feed
  const char* const field = lines.block_end - start >= 33 ? usual_field(start + 2) : nullptr;
  if (field != nullptr) {
    ++records_;
    write_opcode_elements(text, field + 2, field);
    return;
  }
  const char* const label = start + 2;
  take_any_record(start, static_cast<const char*>(std::memchr(
                             label, '\n', static_cast<std::size_t>(lines.end - label))),
                  count, text, reporter);
}

// A record line, a point and a digit from `start` to `line_feed`: its field
// is found as line_scan finds it, without its phases.
void listing_scanner::take_any_record(const char* start, const char* line_feed,
                                      line_count& count, header_text& text,
                                      line_reporter& reporter) {
  const char* const label = start + 2;
  const char* const label_end = find_first(label, line_feed, true);
  const char* const field = find_first(label_end, line_feed, false);
  if (line_feed - field < 10) {
    reporter.report({line_kind::incomplete_record, count.at(start), {}, false});
    return;
  }
  ++records_;
  write_opcode_elements(text, field + 2, field);
  if (is_hex(field)) return;
  reporter.report({line_kind::non_hex_record, count.at(start), {field, 10},
                   std::memchr(label, '\t', static_cast<std::size_t>(label_end - label)) !=
                       nullptr});
}

// The points that begin lines are found 64 bytes at a time, a chunk of
// windows before their records are taken, and only the lines they begin are
// looked at. Returns the start of the first line after the last window.
const char* listing_scanner::take_line_points(const block_lines& lines, line_count& count,
                                              std::int64_t& feeds, header_text& text,
                                              line_reporter& reporter) {
  const char* p = lines.begin;
  std::uint64_t carry = 1;
  std::array<std::uint32_t, chunk_points> points;
  while (lines.end - p >= 64) {
    const std::size_t windows =
        std::min(chunk_windows, static_cast<std::size_t>(lines.end - p) / 64);
    const std::size_t found = find_line_points(p, windows, carry, points.data(), feeds);
    for (std::size_t i = 0; i < found; ++i) take_record(p + points[i], lines, count, text, reporter);
    p += windows * 64;
  }
  if (carry != 0) return p;
  ++feeds;  // the line under way ends after the last window
  return static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(lines.end - p))) +
         1;
}

// The line feeds are found 64 bytes at a time, and each line's start is
// looked at. Returns the start of the line under way after the last window.
const char* listing_scanner::take_each_line(const block_lines& lines, line_count& count,
                                            std::int64_t& feeds, header_text& text,
                                            line_reporter& reporter) {
  const char* line = lines.begin;
  for (const char* window = line; lines.end - window >= 64; window += 64) {
    for (std::uint64_t ends = bytes_equal_plain(window, '\n'); ends != 0; ends &= ends - 1) {
      const char* const line_feed = window + std::countr_zero(ends);
      if (*line == '.' && is_digit(line[1])) take_any_record(line, line_feed, count, text, reporter);
      ++feeds;
      line = line_feed + 1;
    }
  }
  return line;
}

// The whole lines of a block: with SSE2 only the lines that begin with a
// point are visited, so that no branch on a line's kind is guessed wrong;
// plain code, for which finding the points costs more than that, takes each
// line. The last lines, under 64 bytes, go one by one.
void listing_scanner::scan_lines(const block_lines& lines, header_text& text,
                                 line_reporter& reporter) {
  line_count count{lines.begin, line_number_};
  std::int64_t feeds = 0;
  const char* p = vectorised_ ? take_line_points(lines, count, feeds, text, reporter)
                              : take_each_line(lines, count, feeds, text, reporter);
  while (p != lines.end) {
    const auto* line_feed = static_cast<const char*>(
        std::memchr(p, '\n', static_cast<std::size_t>(lines.end - p)));
    if (*p == '.' && is_digit(p[1])) take_any_record(p, line_feed, count, text, reporter);
    ++feeds;
    p = line_feed + 1;
  }
  line_number_ += feeds;
}

void listing_scanner::scan(std::string_view block, header_text& text, line_reporter& reporter) {
  const char* p = block.data();
  const char* const end = p + block.size();
  if (line_open_) {  // the rest of a line that began in an earlier block
    const auto* line_feed =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    if (line_feed == nullptr) {
      line_.feed(block);
      return;
    }
    line_.feed({p, line_feed});
    end_line(text, reporter);
    p = line_feed + 1;
  }
  const char* const last_feed = last_line_feed(p, end, vectorised_);
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
    write_array_element(text, {record.low_text.data(), record.low_text.size()});
    write_array_element(text, {record.high_text.data(), record.high_text.size()});
  }
  if (kind == line_kind::incomplete_record) reporter.report({kind, line_number_, {}, false});
  if (kind == line_kind::non_hex_record) {
    reporter.report({kind, line_number_, line_.field(), line_.label_tab()});
  }
  ++line_number_;
}
