# Cross-builds for IBM Z Linux, a big-endian machine: the scanner's byte-wise path.
set(CMAKE_SYSTEM_PROCESSOR s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
