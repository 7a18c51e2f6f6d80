// A fake operating system for header_file: one folder of files in memory, a
// clock that steps as the test says, and answers the test chooses (a new
// file that cannot be made or written, a refused rename, a short read, an
// edit by another writer, an interrupt). Linked in place of the platform
// layer, it plays what no machine here can show on demand.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "platform.h"

struct fake_node {
  std::string data;
  std::int64_t modified = 0;
  std::int64_t changed = 0;
  os::file_kind kind = os::file_kind::regular;
};

struct fake_system {
  std::map<int, fake_node> nodes;         // by id
  std::map<std::string, int> names;       // name in the folder -> node id
  std::map<int, int> descriptors;         // descriptor -> node id
  std::set<std::string> recorded;         // new files an interrupt removes
  std::int64_t now = 1000;                // in ticks of the file system's clock
  std::int64_t step = 1;                  // its step: 1 for nanoseconds-like, 2 s for FAT
  int next_id = 1;
  int next_descriptor = 10;

  // Answers the test chooses.
  os::make_error make_error = os::make_error::none;
  std::size_t room = SIZE_MAX;            // bytes the new file may hold
  bool short_reads = false;
  bool held = false;                      // another process holds the header: no read_alone
  bool rights_refused = false;
  bool finish_fails = false;
  os::rename_result rename = os::rename_result::done;
  bool remove_fails = false;
  // Called after each read of `node`, as another writer may act then.
  std::function<void(int node)> after_read;

  int add(const std::string& name, const std::string& data);  // a file, its node id
  const std::string* text(const std::string& name) const;     // nullptr: no such name
  void write_to(int node, const std::string& data);           // as another writer does
  void interrupt();  // what the signal handler does: each recorded name goes
  std::int64_t stamp() const { return now - now % step; }
};

// The one fake that the platform's functions act on; reset by each test.
fake_system& fake();
