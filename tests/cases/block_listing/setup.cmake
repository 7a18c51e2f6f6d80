include(${CASE}/../block_device/setup.cmake)  # the nodes b1 and b2
