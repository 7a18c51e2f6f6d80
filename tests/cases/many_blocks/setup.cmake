# A listing of 140,000 records over three blocks, whose header text runs
# through many write pieces: seven fields repeated, so that any piece
# written twice, left out or moved shows in the header, built here as well.
set(fields A000000001 B000000002 C000000003 D000000004 E000000005 F000000006 1234567890)
set(lines "")
set(elements "")
foreach(field IN LISTS fields)
  string(APPEND lines ".7 ${field} NOP\n")
  string(SUBSTRING ${field} 0 2 high)
  string(SUBSTRING ${field} 2 8 low)
  string(APPEND elements "\t\t0x${low},\n\t\t0x${high},\n")
endforeach()
string(REPEAT "${lines}" 20000 listing)
string(REPEAT "${elements}" 20000 elements)
file(WRITE ${WORK}/big.list "${listing}")
file(WRITE ${WORK}/want.h "const int big[] = {\n${elements}\t\t};\n")
native_line_ends(${WORK}/want.h)
set(made big.list out.h out2.h want.h)
