file(SIZE ${WORK}/fw.list size)
if(NOT size EQUAL listing_size)
  fail("fw.list holds ${size} bytes, not ${listing_size}")
endif()
