# A listing of 140,000 records over three blocks, whose header text runs
# through many write pieces: seven fields repeated, so that any piece
# written twice, left out or moved shows in the header, built here as well.
# big2.list differs from it in its last record only.
set(fields A000000001 B000000002 C000000003 D000000004 E000000005 F000000006 1234567890)
set(lines "")
set(elements "")
foreach(field IN LISTS fields)
  string(APPEND lines ".7 ${field} NOP\n")
  string(SUBSTRING ${field} 0 2 high)
  string(SUBSTRING ${field} 2 8 low)
  string(APPEND elements "\t\t0x${low},\n\t\t0x${high},\n")
endforeach()
string(REPEAT "${lines}" 19999 first_lines)
string(REPEAT "${elements}" 19999 first_elements)
string(REPLACE "1234567890" "1234567891" other_lines "${lines}")
string(REPLACE "34567890" "34567891" other_elements "${elements}")
file(WRITE ${WORK}/big.list "${first_lines}${lines}")
file(WRITE ${WORK}/big2.list "${first_lines}${other_lines}")
file(WRITE ${WORK}/want.h "const int big[] = {\n${first_elements}${elements}\t\t};\n")
file(WRITE ${WORK}/want2.h "const int big[] = {\n${first_elements}${other_elements}\t\t};\n")
native_line_ends(${WORK}/want.h)
native_line_ends(${WORK}/want2.h)
set(made big.list big2.list out.h out2.h twin.h want.h want2.h)
