// A 256-bit digest of a text given in pieces of any size, the same however
// it is cut: two texts whose digests and sizes are equal are taken as equal
// (an accidental difference goes unseen once in 2^64 or less often). Four
// lanes of eight bytes each are mixed side by side, so that it keeps up
// with the reads it follows.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

class text_digest {
 public:
  void add(std::string_view text) {
    size_ += text.size();
    if (carry_size_ != 0) {
      const std::size_t take = std::min(text.size(), sizeof carry_ - carry_size_);
      std::memcpy(carry_ + carry_size_, text.data(), take);
      carry_size_ += take;
      text.remove_prefix(take);
      if (carry_size_ < sizeof carry_) return;
      mix(carry_);
      carry_size_ = 0;
    }
    for (; text.size() >= sizeof carry_; text.remove_prefix(sizeof carry_)) mix(text.data());
    std::memcpy(carry_, text.data(), text.size());
    carry_size_ = text.size();
  }

  bool operator==(const text_digest& other) const {
    return finished() == other.finished() && size_ == other.size_;
  }

 private:
  using lanes = std::array<std::uint64_t, 4>;

  static std::uint64_t mixed(std::uint64_t lane, std::uint64_t word) {
    lane = (lane ^ word) * 0x9E3779B97F4A7C15u;
    return lane ^ (lane >> 29);
  }

  void mix(const char* block) {
    for (std::size_t i = 0; i < lanes_.size(); ++i) {
      std::uint64_t word;
      std::memcpy(&word, block + 8 * i, sizeof word);
      lanes_[i] = mixed(lanes_[i], word);
    }
  }

  lanes finished() const {
    text_digest last = *this;
    char tail[sizeof carry_] = {};
    std::memcpy(tail, carry_, carry_size_);
    last.mix(tail);
    lanes result = last.lanes_;
    for (std::size_t i = 0; i < result.size(); ++i) {
      result[i] = mixed(result[i], size_ ^ last.lanes_[(i + 1) % result.size()]);
    }
    return result;
  }

  lanes lanes_ = {0x243F6A8885A308D3u, 0x13198A2E03707344u, 0xA4093822299F31D0u,
                  0x082EFA98EC4E6C89u};
  char carry_[32] = {};
  std::size_t carry_size_ = 0;
  std::uint64_t size_ = 0;
};
