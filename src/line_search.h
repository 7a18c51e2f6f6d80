// Finding lines, and the points that begin them, in a block of a listing: the
// kernels that the readers of records choose between, each in SSE2 (which
// every x86-64 processor has) and in plain code.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#define MARVOT_SSE2 1
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

// The marks in the `windows` 64-byte windows from `p`, which lie within
// whole lines: the points that begin a line, and with `lone_returns` the
// carriage returns that no line feed follows. Their offsets go to `marks`, in
// order, and their count is returned; the line feeds are added to `feeds`,
// and `returns` is set where a carriage return was seen. `carry` is 1 where
// the byte before `p` ends a line, and is left so for the byte after.
std::size_t find_marks(const char* p, std::size_t windows, bool lone_returns,
                       std::uint64_t& carry, std::uint32_t* marks, std::int64_t& feeds,
                       bool& returns);

// The usual record's field, found by the conversion's rule with a few 16-byte
// comparisons: its label, a blank and its blanks end, and its field begins,
// in the 16 bytes from `label`, and its ten characters are hex digits, so
// that neither the label nor the field holds the line's end. Reads the 31
// bytes from `label`. Null for any other line, which is read the long way,
// and always without SSE2.
const char* usual_field(const char* label);
