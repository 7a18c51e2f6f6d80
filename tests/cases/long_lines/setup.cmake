# Lines far longer than the blocks the listing is read in: a field 4 MiB
# out, a record-like text at the start of a block, a field cut short.
set(mib 1048576)
string(REPEAT "L" 3145728 label)
string(REPEAT " " ${mib} blanks)
set(listing ".1${label}${blanks}ABCDEF0123 far out\n")
string(LENGTH "${listing}" size)
math(EXPR size "2 * ${mib} - ${size} % ${mib}")
string(REPEAT "x" ${size} filler)
string(APPEND listing "${filler}.2 0123456789 hidden in a long line\n.3 ${blanks}short")
file(WRITE ${WORK}/long.list "${listing}")
set(made long.list)
