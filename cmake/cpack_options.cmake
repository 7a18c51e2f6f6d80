# Read by cpack before it makes each package, and run again once the package's
# files are staged. The .deb installs under /usr, holds the licence in its
# copyright file and tells lintian that its program is static on purpose; the
# archives hold relative paths. Every file gets the source's time stamp and
# the usual modes, whatever the umask.
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
  # The same modes under any umask: folders 0755, files 0644, programs 0755.
  file(GLOB_RECURSE staged_files LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
  file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
  set(staged_folders "${CPACK_TEMPORARY_DIRECTORY}" ${staged})
  list(REMOVE_ITEM staged_folders ${staged_files})
  file(GLOB programs "${CPACK_TEMPORARY_DIRECTORY}/*bin/*" "${CPACK_TEMPORARY_DIRECTORY}/*/bin/*")
  set(read_only OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  set(runnable ${read_only} OWNER_EXECUTE GROUP_EXECUTE WORLD_EXECUTE)
  file(CHMOD ${staged_folders} ${programs} PERMISSIONS ${runnable})

  list(REMOVE_ITEM staged_files ${programs})
  if(staged_files)
    file(CHMOD ${staged_files} PERMISSIONS ${read_only})
  endif()
  if(CMAKE_HOST_UNIX)  # a Windows host has no touch: its .zip bears the build's times
    execute_process(COMMAND touch -h -d "@${CPACK_SOURCE_DATE_EPOCH}"
                            "${CPACK_TEMPORARY_DIRECTORY}" ${staged} COMMAND_ERROR_IS_FATAL ANY)
  endif()
endif()
