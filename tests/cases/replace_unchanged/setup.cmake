# The header as this system writes it: with CR LF line ends on Windows.
native_line_ends(${WORK}/out.h)
