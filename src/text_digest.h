// A 128-bit digest of a text given in pieces of any size, the same however
// it is cut: two texts whose digests and sizes are equal are taken as equal
// (an accidental difference goes unseen once in 2^128).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

class text_digest {
 public:
  void add(std::string_view text) {
    size_ += text.size();
    while (!text.empty() && carry_size_ != 0) {
      carry_[carry_size_++] = static_cast<unsigned char>(text.front());
      text.remove_prefix(1);
      if (carry_size_ == sizeof carry_) take_carry();
    }
    if (carry_size_ != 0) return;  // all of the text is in the carry
    for (; text.size() >= 8; text.remove_prefix(8)) {
      std::uint64_t word;
      std::memcpy(&word, text.data(), 8);
      mix(word);
    }
    std::memcpy(carry_, text.data(), text.size());
    carry_size_ = text.size();
  }

  bool operator==(const text_digest& other) const {
    return finished() == other.finished() && size_ == other.size_;
  }

 private:
  struct value {
    std::uint64_t a, b;
    bool operator==(const value&) const = default;
  };

  void take_carry() {
    std::uint64_t word;
    std::memcpy(&word, carry_, 8);
    mix(word);
    carry_size_ = 0;
  }

  void mix(std::uint64_t word) {
    a_ = (a_ ^ word) * 0x9E3779B97F4A7C15u;
    a_ ^= a_ >> 29;
    b_ = (b_ + word) * 0xC2B2AE3D27D4EB4Fu;
    b_ = b_ << 31 | b_ >> 33;
  }

  value finished() const {
    text_digest last = *this;
    std::uint64_t tail = 0;
    std::memcpy(&tail, carry_, carry_size_);
    last.mix(tail ^ size_);
    last.mix(last.a_ ^ last.b_);
    return {last.a_, last.b_};
  }

  std::uint64_t a_ = 0x243F6A8885A308D3u;
  std::uint64_t b_ = 0x13198A2E03707344u;
  unsigned char carry_[8] = {};
  std::size_t carry_size_ = 0;
  std::uint64_t size_ = 0;
};
