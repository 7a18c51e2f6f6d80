// Whether two open files are one, decided from what the system said of each:
// a plain function of facts, so that every case is tested on every system.
#pragma once

#include <array>
#include <cstdint>

// What the system said of one open file; a zero stands for "not known".
struct file_facts {
  bool disk = true;     // a disk file: devices, consoles and pipes are never compared
  bool remote = false;  // on a network share, whose server chooses ids and serials
  std::uint64_t volume = 0;                  // the volume's serial number
  std::array<unsigned char, 16> id{};        // the file's id on its volume
  std::uint32_t links = 0;                   // names that lead to the file
  std::uint64_t size = 0;
};

// How the two final paths (all links and aliases resolved) compare.
enum class path_match { unknown, equal, different };

// What a byte-range lock taken through one file and tried through the other
// said: a lock belongs to the file, so only one file refuses the second.
enum class lock_answer { not_tried, refused, granted, failed };

enum class identity { one, two, try_lock, unknown };

// One file, two files, or (only while the lock is not tried) try the lock;
// unknown where the lock cannot be tried either, which the caller refuses.
identity judge_identity(const file_facts& a, const file_facts& b, path_match paths,
                        lock_answer lock);
