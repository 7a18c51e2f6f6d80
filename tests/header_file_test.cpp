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

void kept_only_by_bytes() {
  int id = reset(old_text);
  check(run(old_text).committed == header_result::done && kept(id) && nothing_left(),
        "an unchanged header with old times is kept");
  id = reset(old_text, 1000);
  check(run(old_text).committed == header_result::done && kept(id) && nothing_left(),
        "an unchanged header with times of this second is kept once read again");
  id = reset(old_text, 1001, 2);
  check(run(old_text).committed == header_result::done && kept(id),
        "FAT's two-second times: kept once read again");
  id = reset(old_text);
  check(run(new_text).committed == header_result::done && !kept(id) &&
            *fake().text("out.h") == new_text && nothing_left(),
        "a changed header is replaced");
}

// Another writer changes a byte the run compared already, the size kept.
void edited_during_comparison(std::int64_t now, std::int64_t step, bool times_change,
                              const char* what) {
  const int id = reset(old_text, now, step);
  fake().after_read = [id, times_change](int node) {
    if (node != id || fake().nodes[id].data[2] == 'X') return;
    std::string edited = fake().nodes[id].data;
    edited[2] = 'X';
    if (times_change) {
      fake().write_to(id, edited);
    } else {
      fake().nodes[id].data = edited;
    }
  };
  check(run(old_text).committed == header_result::done && !kept(id) &&
            *fake().text("out.h") == old_text && nothing_left(),
        what);
}

void held_at_the_end() {
  const int id = reset(old_text, 1000);
  fake().held = true;
  check(run(old_text).committed == header_result::done && !kept(id) &&
            *fake().text("out.h") == old_text && nothing_left(),
        "a header another process holds at the last comparison is replaced, not kept");
}

void short_read() {
  const int id = reset(old_text);
  fake().short_reads = true;
  check(run(old_text).committed == header_result::done && !kept(id) &&
            *fake().text("out.h") == old_text,
        "a short read during the comparison proves nothing: replaced");
}

// Where no new file can be made or written, the header is only compared.
void no_new_file(os::make_error error, std::size_t room, header_result why, const char* what) {
  for (const bool same : {true, false}) {
    const int id = reset(old_text);
    fake().make_error = error;
    fake().room = room;
    const life got = run(same ? old_text : new_text);
    const bool as_expected = same ? got.committed == header_result::done
                                  : got.committed == why;
    check(as_expected && kept(id) && *fake().text("out.h") == old_text && nothing_left(), what);
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

void refused_steps() {
  int id = reset(old_text);
  fake().rename = os::rename_result::failed;
  check(run(new_text).committed == header_result::replace_failed && kept(id) && nothing_left(),
        "a refused rename leaves the header and no new file");
  id = reset(old_text);
  fake().rename = os::rename_result::read_only;
  check(run(new_text).committed == header_result::read_only && kept(id) && nothing_left(),
        "a read-only header that cannot be replaced");
  id = reset(old_text);
  fake().rights_refused = true;
  check(run(new_text).committed == header_result::rights_refused && kept(id) && nothing_left(),
        "rights that cannot be given leave the header as it was");
  id = reset(old_text);
  fake().finish_fails = true;
  check(run(new_text).committed == header_result::write_failed && kept(id) && nothing_left(),
        "a write that failed late leaves the header as it was");
  id = reset(old_text);
  fake().remove_fails = true;
  check(run(old_text).committed == header_result::remove_failed && kept(id),
        "a kept header whose new file cannot be removed fails the run");
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
  kept_only_by_bytes();
  edited_during_comparison(1000, 1, false, "edited in the same second: replaced");
  edited_during_comparison(1001, 2, false, "edited within FAT's two seconds: replaced");
  edited_during_comparison(1010, 1, true, "edited later, its times changed: replaced");
  short_read();
  held_at_the_end();
  no_new_file(os::make_error::folder_not_writable, SIZE_MAX, header_result::folder_not_writable,
              "a folder that cannot be written: kept when unchanged, else left");
  no_new_file(os::make_error::none, 5, header_result::write_failed,
              "a full disk: kept when unchanged, else left");
  no_new_file(os::make_error::failed, SIZE_MAX, header_result::new_file_failed,
              "a new file that cannot be made: kept when unchanged, else left");
  names_taken();
  refused_steps();
  out_of_order();
  modes_apart_from_request();
  interrupts();
  return failures == 0 ? 0 : 1;
}
