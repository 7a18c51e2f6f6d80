# The marvot package: the imported program marvot::marvot and the function
# marvot_add_header (see marvot_add_header.cmake).
include("${CMAKE_CURRENT_LIST_DIR}/marvotTargets.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/marvot_add_header.cmake")
