# Wine, as Windows before 10 version 1809 or off NTFS, cannot rename with
# POSIX semantics, so it cannot replace a read-only header (Wine reads a
# file without write permission as read-only): the run says so at once.
