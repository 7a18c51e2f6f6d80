# Cross-builds for 64-bit Arm Linux (no SSE2: the scanner's portable path).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
