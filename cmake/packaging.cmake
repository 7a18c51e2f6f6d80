# Installs the program, its documentation and its CMake package, and makes the
# packages: .tar.gz and .deb elsewhere, .zip on Windows. Their time stamps are
# the last commit's time (or SOURCE_DATE_EPOCH), so one commit gives one set of bytes.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
set(package_dir lib/cmake/marvot)
install(TARGETS marvot EXPORT marvotTargets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT marvotTargets NAMESPACE marvot:: DESTINATION ${package_dir})
write_basic_package_version_file(marvotConfigVersion.cmake
  COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES cmake/marvotConfig.cmake cmake/marvot_add_header.cmake cmake/marvot_run.cmake
              ${PROJECT_BINARY_DIR}/marvotConfigVersion.cmake DESTINATION ${package_dir})
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES doc/marvot.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(package_system windows-x86_64)
else()
  set(CPACK_GENERATOR TGZ DEB)
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" package_system)
endif()
set(CPACK_PACKAGE_FILE_NAME "marvot-${PROJECT_VERSION}-${package_system}")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")
set(CPACK_PACKAGE_CONTACT "marvot maintainers <maintainers@marvot.invalid>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # marvot_1.0.0_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION devel)

set(CPACK_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
find_package(Git QUIET)
if(NOT CPACK_SOURCE_DATE_EPOCH AND GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE CPACK_SOURCE_DATE_EPOCH
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_options.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/cpack_options.cmake)
include(CPack)
