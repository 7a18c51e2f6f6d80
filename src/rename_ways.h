// How a new file takes the header's place on Windows: the ways tried in
// turn and what each of the system's refusals means, a plain function of the
// answers, so that every answer is tested on every system.
#pragma once

#include <cstdint>
#include <functional>

// The ways, in the order they are tried: through the new file's handle with
// POSIX semantics ignoring a read-only target (Windows 10 1809), with POSIX
// semantics (1607), by a plain rename that replaces the target, and last by
// name (MoveFileExW).
enum class rename_way : std::uint8_t { posix_ignoring_read_only, posix, plain, by_name };

enum class rename_outcome { done, failed, read_only };

// One try of a way: 0 when it was done, else the system's error code.
using rename_try = std::function<std::uint32_t(rename_way)>;

// Tries each way in turn: a way the system refuses as unsupported gives way to
// the next; a target held by another process (access denied, a sharing or
// lock violation) is tried again after `wait`, for about two seconds; a
// read-only target is reported as such only where a way that cannot ignore
// the attribute was refused.
rename_outcome rename_in_turn(const rename_try& attempt, bool target_read_only,
                              const std::function<void()>& wait);
