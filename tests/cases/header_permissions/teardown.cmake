# A new header may be read and written by its owner and read by all.
execute_process(COMMAND stat -c %a ${WORK}/out.h OUTPUT_VARIABLE mode
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT mode STREQUAL "644")
  fail("out.h has the mode ${mode}, expected 644")
endif()
