# A listing whose first opcode record lies past its first 64 KiB, behind a
# symbol table, given as the header: it must not be emptied.
string(REPEAT "        SYM EQU 0x0001 ; symbol table\n" 1800 symbols)
file(WRITE ${WORK}/fw.list "${symbols}.0001 0123456789 NOP\n")
file(SIZE ${WORK}/fw.list listing_size)
set(made fw.list)
