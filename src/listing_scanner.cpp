// Recognises the opcode records of an assembler listing.
#include "listing_scanner.h"

#include <algorithm>
#include <cstring>

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void line_scan::feed(std::string_view part) {
  const char* p = part.data();
  const char* const end = p + part.size();
  while (p != end) {
    switch (phase_) {
      case phase::line_start:
        phase_ = *p++ == '.' ? phase::after_point : phase::other;
        break;
      case phase::after_point:
        phase_ = is_digit(*p++) ? phase::label : phase::other;
        break;
      case phase::label: {
        // The label runs up to the first blank; only a space is a blank.
        const void* blank = std::memchr(p, ' ', static_cast<std::size_t>(end - p));
        if (blank == nullptr) return;
        p = static_cast<const char*>(blank);
        phase_ = phase::blanks;
        break;
      }
      case phase::blanks:
        while (p != end && *p == ' ') ++p;
        if (p != end) phase_ = phase::field;
        break;
      case phase::field: {
        const std::size_t take = std::min(field_.size() - field_size_,
                                          static_cast<std::size_t>(end - p));
        std::memcpy(field_.data() + field_size_, p, take);
        field_size_ = static_cast<std::uint8_t>(field_size_ + take);
        p += take;
        if (field_size_ == field_.size()) phase_ = phase::complete;
        break;
      }
      case phase::complete:
      case phase::other:
        return;  // the rest of the line does not matter
    }
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
      kind = line_kind::opcode_record;
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

bool listing_scanner::next(std::string_view& input, listing_event& event) {
  while (!input.empty()) {
    const void* line_feed = std::memchr(input.data(), '\n', input.size());
    if (line_feed == nullptr) {
      line_.feed(input);
      line_open_ = true;
      input = {};
      return false;
    }
    const auto length = static_cast<std::size_t>(
        static_cast<const char*>(line_feed) - input.data());
    line_.feed(input.substr(0, length));
    input.remove_prefix(length + 1);
    line_open_ = false;
    if (end_line(event)) return true;
  }
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
