# The marvot package: the imported program marvot::marvot and the function
# marvot_add_header (see marvot_add_header.cmake).
if(CMAKE_VERSION VERSION_LESS 3.20)
  set(marvot_FOUND FALSE)
  set(marvot_NOT_FOUND_MESSAGE "marvot's package needs CMake 3.20 or newer")
  return()
endif()
include("${CMAKE_CURRENT_LIST_DIR}/marvotTargets.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/marvot_add_header.cmake")
