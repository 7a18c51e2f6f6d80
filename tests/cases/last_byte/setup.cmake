# The last byte of the listing, alone in its block, completes its record.
string(REPEAT ";\n" 524282 filler)
file(WRITE ${WORK}/last.list "${filler}.1 0123456789")
set(made last.list)
