# Read by cpack before it makes each package, and run again once the package's
# files are staged. The .deb installs under /usr, holds the licence in its
# copyright file and tells lintian that its program is static on purpose; the
# archives hold relative paths. Every file gets the source's time stamp.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
set(ENV{SOURCE_DATE_EPOCH} "${CPACK_SOURCE_DATE_EPOCH}")
if(CPACK_TEMPORARY_DIRECTORY AND EXISTS "${CPACK_TEMPORARY_DIRECTORY}")
  if(CPACK_GENERATOR STREQUAL "DEB")
    file(WRITE "${CPACK_TEMPORARY_DIRECTORY}/usr/share/lintian/overrides/marvot"
         "marvot: statically-linked-binary [usr/bin/marvot]\n")
    file(REMOVE "${CPACK_TEMPORARY_DIRECTORY}/usr/share/doc/marvot/LICENSE")  # in copyright
  endif()
  file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
  execute_process(COMMAND touch -h -d "@${CPACK_SOURCE_DATE_EPOCH}"
                          "${CPACK_TEMPORARY_DIRECTORY}" ${staged} COMMAND_ERROR_IS_FATAL ANY)
endif()
