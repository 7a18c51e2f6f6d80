// The platform layer's functions, played by the fake system in memory.
#include "fake_system.h"

#include <algorithm>
#include <cstring>

fake_system& fake() {
  static fake_system system;
  return system;
}

int fake_system::add(const std::string& name, const std::string& data) {
  const int id = next_id++;
  nodes[id] = {data, stamp(), stamp(), os::file_kind::regular};
  names[name] = id;
  return id;
}

const std::string* fake_system::text(const std::string& name) const {
  const auto found = names.find(name);
  return found == names.end() ? nullptr : &nodes.at(found->second).data;
}

void fake_system::write_to(int node, const std::string& data) {
  nodes[node].data = data;
  nodes[node].modified = nodes[node].changed = stamp();
}

void fake_system::interrupt() {
  for (const std::string& name : recorded) names.erase(name);
  recorded.clear();
}

namespace {

int node_of(int file) { return fake().descriptors.at(file); }

int open_node(int id) {
  const int file = fake().next_descriptor++;
  fake().descriptors[file] = id;
  return file;
}

os::file_status status_of(int id) {
  const fake_node& node = fake().nodes.at(id);
  os::file_status status;
  status.kind = node.kind;
  status.owner = 1000;
  status.mode = 0644;
  status.links = static_cast<std::uint64_t>(std::count_if(
      fake().names.begin(), fake().names.end(), [&](const auto& name) { return name.second == id; }));
  status.size = node.data.size();
  status.volume = 1;
  status.node = static_cast<std::uint64_t>(id);
  status.modified = node.modified;
  status.changed = node.changed;
  return status;
}

}  // namespace

namespace os {

const std::int64_t ticks_per_second = 1;
const std::string_view line_end = "\n";
const bool times_tell = true;
const char* const separators = "/";

std::ptrdiff_t read_at(int file, std::uint64_t offset, char* buffer, std::size_t size) {
  const int id = node_of(file);
  const std::string& data = fake().nodes.at(id).data;
  if (offset >= data.size()) return 0;
  std::size_t got = std::min(size, data.size() - offset);
  if (fake().short_reads && got > 1) got /= 2;
  std::memcpy(buffer, data.data() + offset, got);
  if (fake().after_read) fake().after_read(id);
  return static_cast<std::ptrdiff_t>(got);
}

bool write_all(int file, std::string_view text) {
  fake_node& node = fake().nodes.at(node_of(file));
  if (node.data.size() + text.size() > fake().room) return false;
  node.data.append(text);
  node.modified = node.changed = fake().stamp();
  return true;
}

void close_file(int file) { fake().descriptors.erase(file); }

place_result open_place(const char* path, place& at, link_rule) {
  at = {3, path};
  return place_result::found;
}

void close_place(place& at) { at.folder = -1; }

opened open_header(place& at, how mode) {
  const auto found = fake().names.find(at.name);
  // CreateFile: ERROR_SHARING_VIOLATION for as long as a writer holds it.
  if (mode == how::read_alone && fake().held) return {-1, open_error::failed, false};
  if (found != fake().names.end()) return {open_node(found->second), open_error::none, false};
  if (mode == how::read) return {-1, open_error::absent, false};
  return {open_node(fake().add(at.name, "")), open_error::none, true};
}

bool describe(int file, const place& at, found& facts) {
  facts = {};
  facts.folder.kind = file_kind::directory;
  facts.folder.mode = 0755;
  facts.user = 1000;
  if (file != -1) {
    facts.file = status_of(node_of(file));
    return true;
  }
  const auto there = fake().names.find(at.name);
  if (there == fake().names.end()) return false;
  facts.file = status_of(there->second);
  return true;
}

// The console (descriptor 1) is no disk file; any two others are told by id.
bool identity_facts(int first, bool, int second, bool, two_files& facts) {
  for (auto [file, out] : {std::pair{first, &facts.first}, std::pair{second, &facts.second}}) {
    out->disk = file != 1;
    out->volume = 1;
    out->id[0] = static_cast<unsigned char>(file == 1 ? 0 : node_of(file));
  }
  return true;
}

bool same_place(const place& a, const place& b) { return a.name == b.name; }

bool read_rights(int file, file_rights& rights) {
  rights = {};
  rights.status = status_of(node_of(file));
  return true;
}

make_error make_new_file(const place&, std::string_view stem, bool, new_file& made) {
  if (fake().make_error != make_error::none) return fake().make_error;
  made.name = std::string(stem) + "Ab3dE9.part";
  const int id = fake().add(made.name, "");
  fake().recorded.insert(made.name);
  made.file = open_node(id);
  made.made = status_of(id);
  return make_error::none;
}

bool give_rights(new_file&, const rights_plan&) { return !fake().rights_refused; }

bool finish_new_file(new_file& made) {
  fake().descriptors.erase(made.file);
  made.file = -1;
  return !fake().finish_fails;
}

rename_result put_in_place(const place& at, new_file& made) {
  if (fake().rename != rename_result::done) return fake().rename;
  fake().names[at.name] = fake().names.at(made.name);
  fake().names.erase(made.name);
  fake().recorded.erase(made.name);
  return rename_result::done;
}

bool remove_new_file(const place&, new_file& made) {
  if (made.file != -1) fake().descriptors.erase(made.file);
  made.file = -1;
  if (fake().remove_fails) return false;
  fake().names.erase(made.name);
  fake().recorded.erase(made.name);
  return true;
}

void remove_created(const place& at, const file_status& made) {
  const auto there = fake().names.find(at.name);
  if (there != fake().names.end() && static_cast<std::uint64_t>(there->second) == made.node) {
    fake().names.erase(there);
  }
}

bool begin_in_place(int file) {
  fake().nodes.at(node_of(file)).data.clear();
  return true;
}

bool finish_in_place(int file) {
  fake().descriptors.erase(file);
  return !fake().finish_fails;
}

}  // namespace os
