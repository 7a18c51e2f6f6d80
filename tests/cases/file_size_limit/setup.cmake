# More than one block of records, so that the header fails in the first block
# and the incomplete record after it is never reached.
string(REPEAT ".1 0123456789\n" 75000 listing)
file(WRITE ${WORK}/in.list "${listing}.2 01234\n")
set(made in.list)
