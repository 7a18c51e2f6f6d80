# A read-only header (Wine reads a file without write permission as
# read-only) is replaced: Wine refuses a rename with POSIX semantics as
# unsupported, as Windows before 10 version 1607 does, and then carries out
# the plain rename through the new file's handle, which Windows refuses for
# a read-only target (the fake system plays that answer).
