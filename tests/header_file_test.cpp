// The header's life against the fake system: what is kept, replaced or left
// behind when the file system's clock is coarse, another writer edits the
// header, a read comes short, the new file cannot be made, written, given
// its rights, renamed or removed, or an interrupt comes at any stage.
#include <cstdio>
#include <string>

#include "fake_system.h"
#include "header_file.h"
#include "text_digest.h"

namespace {

int failures = 0;

void check(bool holds, const char* what) {
  if (holds) return;
  std::printf("failed: %s\n", what);
  ++failures;
}

const std::string old_text = "const int u[] = {\n\t\t0x01,\n\t\t};\n";
const std::string new_text = "const int u[] = {\n\t\t0x02,\n\t\t};\n";

// A fresh folder holding the listing and, unless empty, the old header,
// written at tick 1000 of a clock that steps by `step`; the run comes at `now`.
int reset(const std::string& header, std::int64_t now = 1010, std::int64_t step = 1) {
  fake() = fake_system{};
  fake().step = step;
  fake().add("in.list", ".1 0123456789\n");
  const int id = header.empty() ? 0 : fake().add("out.h", header);
  fake().now = now;
  return id;
}

int listing() {
  os::place at{3, "in.list"};
  return os::open_header(at, os::how::read).file;
}

struct life {
  header_result begun = header_result::done;
  bool written = false;
  bool closed = false;
  header_result committed = header_result::done;
};

// The driver's steps, the text written in two parts.
life run(header_file& header, const std::string& text) {
  char block[64];
  char scratch[8];
  life got;
  if (header.open(listing()) != header_open::opened) return {header_result::open_failed};
  header.look_inside(block, sizeof block);
  got.begun = header.begin(scratch);
  if (got.begun != header_result::done) return got;
  got.written = header.write(text.substr(0, 20)) && header.write(text.substr(20));
  got.closed = header.close();
  got.committed = header.commit();
  return got;
}

life run(const std::string& text, bool replace = true) {
  header_file header("out.h", replace);
  return run(header, text);
}

bool kept(int id) { return fake().names.at("out.h") == id; }
// Nothing but the listing and the header is left in the folder.
bool nothing_left() { return fake().names.size() == 2 && fake().recorded.empty(); }

// The digest that proves a header unchanged is the same however its text
// is cut, and tells a byte changed anywhere.
void digests_any_cut() {
  std::string text;
  for (int i = 0; i < 100; ++i) text += old_text;
  text_digest whole;
  whole.add(text);
  for (std::size_t piece = 1; piece <= 70; ++piece) {
    text_digest cut;
    for (std::size_t at = 0; at < text.size(); at += piece) cut.add(text.substr(at, piece));
    check(cut == whole, "a digest taken in pieces is the whole text's");
  }
  for (const std::size_t at : {std::size_t{0}, std::size_t{31}, text.size() - 1}) {
    std::string changed = text;
    changed[at] ^= 1;
    text_digest other;
    other.add(changed);
    check(!(other == whole), "a changed byte changes the digest");
  }
  text_digest shorter;
  shorter.add(text.substr(0, text.size() - 1));
  check(!(shorter == whole), "a shorter text has another digest");
}

// Where another writer changes a byte the run compared already, its size
// kept, and with `stamped` its times too.
void edit_after_compare(int id, bool stamped) {
  fake().after_read = [id, stamped](int node) {
    if (node != id || fake().nodes[id].data[2] == 'X') return;
    std::string edited = fake().nodes[id].data;
    edited[2] = 'X';
    if (stamped) fake().write_to(id, edited);
    if (!stamped) fake().nodes[id].data = edited;
  };
}

struct row {
  const char* what;
  std::int64_t now, step;      // the run's time, and the clock's step
  void (*arrange)(int header);  // the answers the fake gives
  bool same;                    // the run writes the old header's text
  header_result result;
  bool kept;  // the old header still stands at its name, and holds its text
};

// The answers the fake gives, set before a run.
void none(int) {}
void edited(int id) { edit_after_compare(id, false); }
void edited_stamped(int id) { edit_after_compare(id, true); }
void short_reads(int) { fake().short_reads = true; }
// Touched once looked into, before its text is compared.
void touched(int id) {
  fake().after_read = [id](int node) {
    if (node == id) fake().nodes[id].modified = fake().now;
  };
}
void held(int) { fake().held = true; }
void folder_denied(int) { fake().make_error = os::make_error::folder_not_writable; }
void no_new_file(int) { fake().make_error = os::make_error::failed; }
void disk_full(int) { fake().room = 5; }
void rename_refused(int) { fake().rename = os::rename_result::failed; }
void read_only(int) { fake().rename = os::rename_result::read_only; }
void rights_refused(int) { fake().rights_refused = true; }
void late_failure(int) { fake().finish_fails = true; }
void removal_refused(int) { fake().remove_fails = true; }

using result = header_result;
const row rows[] = {
    {"unchanged, old times: kept", 1010, 1, none, true, result::done, true},
    {"unchanged, times of this second: read again, kept", 1000, 1, none, true, result::done, true},
    {"unchanged, FAT's two-second times: read again, kept", 1001, 2, none, true, result::done, true},
    {"changed: replaced", 1010, 1, none, false, result::done, false},
    {"edited in the same second: replaced", 1000, 1, edited, true, result::done, false},
    {"edited within FAT's two seconds: replaced", 1001, 2, edited, true, result::done, false},
    {"edited later, times changed: replaced", 1010, 1, edited_stamped, true, result::done, false},
    {"a short read proves nothing: replaced", 1010, 1, short_reads, true, result::done, false},
    {"touched before the comparison: replaced", 1010, 1, touched, true, result::done, false},
    {"held by another process at the end: replaced", 1000, 1, held, true, result::done, false},
    {"folder not writable, unchanged: kept", 1010, 1, folder_denied, true, result::done, true},
    {"folder not writable, changed: left", 1010, 1, folder_denied, false,
     result::folder_not_writable, true},
    {"full disk, unchanged: kept", 1010, 1, disk_full, true, result::done, true},
    {"full disk, changed: left", 1010, 1, disk_full, false, result::write_failed, true},
    {"no new file, unchanged: kept", 1010, 1, no_new_file, true, result::done, true},
    {"no new file, changed: left", 1010, 1, no_new_file, false, result::new_file_failed, true},
    {"a refused rename", 1010, 1, rename_refused, false, result::replace_failed, true},
    {"read-only, not replaceable", 1010, 1, read_only, false, result::read_only, true},
    {"rights that cannot be given", 1010, 1, rights_refused, false, result::rights_refused, true},
    {"a write that failed late", 1010, 1, late_failure, false, result::write_failed, true},
    {"kept, its new file not removable", 1010, 1, removal_refused, true, result::remove_failed, true},
};

void header_lives() {
  for (const row& r : rows) {
    const int id = reset(old_text, r.now, r.step);
    r.arrange(id);
    const life got = run(r.same ? old_text : new_text);
    const std::string* text = fake().text("out.h");
    const bool left_alone = kept(id) && *text == old_text;
    const bool replaced = !kept(id) && *text == (r.same ? old_text : new_text);
    const bool tidy = r.result == header_result::remove_failed || nothing_left();
    check(got.committed == r.result && (r.kept ? left_alone : replaced) && tidy, r.what);
  }
}

// A file that is no header as written here is searched block by block: a
// record that begins a block is found, and an empty file holds none.
void looked_into() {
  for (const bool empty : {false, true}) {
    reset("x");
    const std::string text = empty ? "" : std::string(63, 'x') + "\n.1 0123456789\n";
    fake().nodes[fake().names.at("out.h")].data = text;
    header_file header("out.h", true);
    char block[64];
    const header_content expected =
        empty ? header_content::no_records : header_content::opcode_records;
    check(header.open(listing()) == header_open::opened &&
              header.look_inside(block, sizeof block) == expected,
          empty ? "an empty header holds no record" : "a record at a block's start is found");
  }
}

void names_taken() {
  reset(old_text);
  fake().make_error = os::make_error::names_taken;
  header_file header("out.h", true);
  check(run(header, new_text).committed == header_result::new_file_failed &&
            header.new_file_name() == "out.h.marvot-XXXXXX.part",
        "every name taken: the message names the new file");
  reset("");
  fake().make_error = os::make_error::folder_not_writable;
  check(run(new_text).begun == header_result::folder_not_writable && fake().names.size() == 1,
        "a new header where no file can be made fails at once");
}

void out_of_order() {
  reset(old_text);
  fake().finish_fails = true;
  const life got = run(new_text, false);
  check(!got.closed && got.committed == header_result::write_failed,
        "a commit after a failed close fails");
  const int id = reset(old_text);
  {
    header_file header("out.h", true);
    char scratch[8];
    header.open(listing());
    header.begin(scratch);
    header.write(new_text);
    check(header.commit() == header_result::write_failed && kept(id) && nothing_left(),
          "a commit before the close fails and removes the new file");
    header.discard();
    header.discard();
    check(header.stage() == header_stage::settled && nothing_left(), "discarded twice");
  }
}

void modes_apart_from_request() {
  reset("");
  header_file made("out.h", true);
  check(run(made, new_text).committed == header_result::done &&
            made.mode() == header_mode::new_header && *fake().text("out.h") == new_text &&
            nothing_left(),
        "--replace where there is no header makes a new one");
  reset(old_text);
  fake().nodes[fake().names.at("out.h")].kind = os::file_kind::fifo;
  header_file fifo("out.h", true);
  check(run(fifo, new_text).committed == header_result::done &&
            fifo.mode() == header_mode::in_place,
        "--replace on a FIFO writes in place");
}

// An interrupt at each stage removes each new file and never the header.
void interrupts() {
  for (int stage = 0; stage < 5; ++stage) {
    reset(old_text);
    {
      header_file header("out.h", true);
      char scratch[8];
      if (stage > 0) header.open(listing());
      if (stage > 1) header.begin(scratch);
      if (stage > 2) header.write(new_text);
      if (stage > 3) header.close();
      fake().interrupt();
      const std::string* text = fake().text("out.h");
      check(text != nullptr && *text == old_text && nothing_left(),
            "an interrupt leaves the old header and no new file");
    }
  }
  reset(old_text);
  run(new_text);
  fake().interrupt();
  check(*fake().text("out.h") == new_text && nothing_left(),
        "an interrupt after the rename leaves the new header");
}

}  // namespace

int main() {
  digests_any_cut();
  header_lives();
  looked_into();
  names_taken();
  out_of_order();
  modes_apart_from_request();
  interrupts();
  return failures == 0 ? 0 : 1;
}
